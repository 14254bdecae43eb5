// The spinner's kept frames: each one is the frame a fresh draw gives, and
// whatever a frame depends on drops them.
#include <windows.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "drawing/CStaticImageCtrl.h"
#include "drawing/SharedGdiplusSession.h"
#include "util/ModuleHandle.h"
#include "resources/resource.h"
#include "support/ReferenceSpinnerFrame.h"
#include "support/TestWindows.h"

using halvet::test::pixelsBeyond;
using halvet::test::pixelsOffReference;
using halvet::test::ReferenceFrame;
using halvet::test::referenceSpinnerFrame;
using halvet::test::RgbaPicture;
using halvet::test::shownPixels;
using halvet::test::surfacePixels;

namespace {

const COLORREF kPanelGrey = RGB(250, 250, 250);
const COLORREF kHostWhite = RGB(255, 255, 255);

// The frame the control draws without keeping it: printed before the screen
// has had that angle.
std::vector<COLORREF> printedPixels(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    PixelSurface surface(client.right, client.bottom, RGB(255, 0, 255));
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.dc()), PRF_CLIENT);
    return surfacePixels(surface, client.right, client.bottom);
}

COLORREF shownPixel(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

class SpinnerFrameCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gdiplus && gdiplus->ok());
        control =
            CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 20, 30, 30, 30, host.hwnd(),
                            reinterpret_cast<HMENU>(IDC_SPINNER), halvet::thisModule(), nullptr);
        ASSERT_NE(control, nullptr);
        spinner = std::make_unique<CStaticImageCtrl>();
        ASSERT_TRUE(spinner->SubclassWindow(control));
    }
    void tick() { SendMessageW(control, WM_TIMER, CStaticImageCtrl::kTimerId, 0); }
    void paint() {
        UpdateWindow(host.hwnd());
        UpdateWindow(control);
    }
    void frame() {
        tick();
        paint();
    }
    size_t kept() const { return spinner->frameCache().frameCount(); }
    ReferenceFrame reference(int id, COLORREF background) const {
        RgbaPicture picture;
        if (!halvet::test::loadRgbaPicture(halvet::thisModule(), id, &picture)) return {};
        return referenceSpinnerFrame(picture, spinner->angle, background);
    }

    std::shared_ptr<GdiplusSession> gdiplus = halvet::sharedGdiplusSession();
    // Like the panel's dialog, the parent does not clip its children: its
    // background repainted under the control reaches the copy taken of it.
    HostWindow host{WS_POPUP | WS_VISIBLE, 0, 0, 200, 160};
    HWND control = nullptr;
    std::unique_ptr<CStaticImageCtrl> spinner;
};

}  // namespace

// A full turn keeps twelve frames (thirteen with the upright one it starts
// from: 0 and 360 degrees are drawn differently); on the next turn every frame
// the screen shows comes from the cache and is the frame the control draws
// afresh (the same pixels) and the frame the tests compute themselves.
TEST_F(SpinnerFrameCacheTest, EveryKeptFrameIsTheFrameDrawnAfresh) {
    for (int id : {IDB_SPINNER_NORMAL, IDB_SPINNER_HIGHDPI}) {
        spinner->backgroundColor = kPanelGrey;
        ASSERT_TRUE(spinner->SetImageResource(id));
        spinner->angle = 0.0f;
        paint();
        std::vector<std::vector<COLORREF>> fresh;
        for (int i = 0; i < 12; ++i) {
            tick();
            fresh.push_back(printedPixels(control));
            paint();
            EXPECT_EQ(pixelsBeyond(shownPixels(control), fresh.back(), 0), 0)
                << id << " at " << spinner->angle;
        }
        const size_t side = id == IDB_SPINNER_NORMAL ? 37 : 74;
        EXPECT_EQ(kept(), 13u);
        EXPECT_EQ(spinner->frameCache().bytes(), 13 * side * side * 4);
        for (int i = 0; i < 12; ++i) {
            frame();
            const std::vector<COLORREF> shown = shownPixels(control);
            EXPECT_EQ(pixelsBeyond(shown, fresh[i], 0), 0) << id << " at " << spinner->angle;
            const ReferenceFrame expected = reference(id, kPanelGrey);
            EXPECT_EQ(pixelsOffReference(shown, expected), 0) << id << " at " << spinner->angle;
        }
        EXPECT_EQ(kept(), 13u);
    }
}

// Without a colour the frames are kept over the copy of the parent.
TEST_F(SpinnerFrameCacheTest, FramesOverTheParentsCopyAreKeptToo) {
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    for (int i = 0; i < 24; ++i) {
        frame();
        ASSERT_TRUE(spinner->hasParentSnapshot());
        EXPECT_EQ(
            pixelsOffReference(shownPixels(control), reference(IDB_SPINNER_NORMAL, kHostWhite)), 0)
            << spinner->angle;
    }
    EXPECT_EQ(kept(), 12u);
}

// A frame kept for an old picture, size or background would show the old
// one: each change drops what was kept.
TEST_F(SpinnerFrameCacheTest, EachDependencyDropsTheKeptFrames) {
    spinner->backgroundColor = kPanelGrey;
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    for (int i = 0; i < 12; ++i) frame();
    ASSERT_EQ(kept(), 12u);

    // A new colour: every angle of the next turn is painted over it.
    const COLORREF blue = RGB(200, 220, 240);
    spinner->backgroundColor = blue;
    for (int i = 0; i < 12; ++i) {
        frame();
        ASSERT_EQ(shownPixel(control, 0, 0), blue) << spinner->angle;
        ASSERT_EQ(kept(), size_t(i + 1));
    }

    // Another picture.
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_HIGHDPI));
    EXPECT_EQ(kept(), 0u);
    frame();
    EXPECT_EQ(kept(), 1u);
    EXPECT_EQ(spinner->frameCache().bytes(), 74u * 74u * 4u);

    // The background asked for again.
    spinner->ResetBackground();
    EXPECT_EQ(kept(), 0u);
    frame();
    frame();
    EXPECT_EQ(kept(), 2u);

    // Another size, set by the owner on the window.
    SetWindowPos(control, nullptr, 0, 0, 80, 60, SWP_NOMOVE | SWP_NOZORDER);
    frame();
    EXPECT_EQ(kept(), 1u);
    EXPECT_EQ(spinner->frameCache().bytes(), 80u * 60u * 4u);
    EXPECT_EQ(shownPixel(control, 79, 59), blue);

    // A new copy of the parent: its new colour shows at every angle.
    spinner->backgroundColor.reset();
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    for (int i = 0; i < 12; ++i) frame();
    ASSERT_EQ(shownPixel(control, 0, 0), kHostWhite);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    const LONG_PTR white =
        SetClassLongPtrW(host.hwnd(), GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(red));
    spinner->ResetBackground();
    for (int i = 0; i < 12; ++i) {
        frame();
        EXPECT_EQ(shownPixel(control, 0, 0), RGB(255, 0, 0)) << spinner->angle;
    }
    SetClassLongPtrW(host.hwnd(), GCLP_HBRBACKGROUND, white);
    DeleteObject(red);
}

// A step that never comes back to the same angles fills the cache up to its
// bound and no further; frames beyond it are still drawn right.
TEST_F(SpinnerFrameCacheTest, AnUnusualStepKeepsNoMoreThanTheBound) {
    spinner->backgroundColor = kPanelGrey;
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_HIGHDPI));
    spinner->step = 7.3f;
    for (int i = 0; i < 60; ++i) frame();
    EXPECT_EQ(kept(), SpinnerFrameCache::kMaxFrames);
    EXPECT_LE(spinner->frameCache().bytes(), SpinnerFrameCache::kMaxBytes);
    EXPECT_EQ(pixelsOffReference(shownPixels(control), reference(IDB_SPINNER_HIGHDPI, kPanelGrey)),
              0);

    // A control too large for even one frame within the bytes keeps none.
    SetWindowPos(control, nullptr, 0, 0, 600, 600, SWP_NOMOVE | SWP_NOZORDER);
    frame();
    EXPECT_EQ(kept(), 0u);
    EXPECT_EQ(shownPixel(control, 150, 100), kPanelGrey);
}
