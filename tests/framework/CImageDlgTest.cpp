// Painted backgrounds, transparent children, size invalidation and following
// the owner window, checked by pixels and by what the window system reports.
#include <windows.h>

#include <algorithm>
using std::max;
using std::min;
#include <commctrl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>

#include <gtest/gtest.h>

#include "support/TestWindows.h"
#include "dialogs/CImageDlg.h"
#include "drawing/SharedGdiplusSession.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);

// 40 x 30, green with a red 10 x 10 block at its top-left corner. The caller
// holds the image library while the picture exists.
std::unique_ptr<Gdiplus::Bitmap> markedTile() {
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(40, 30, PixelFormat32bppARGB);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            bitmap->SetPixel(x, y,
                             (x < 10 && y < 10) ? Gdiplus::Color(255, 255, 0, 0)
                                                : Gdiplus::Color(255, 0, 255, 0));
    return bitmap;
}

const DLGTEMPLATE* controlsTemplate() {
    static DialogTemplate t = DialogTemplate(WS_POPUP, 100, 80)
                                  .add(L"Static", 20, WS_VISIBLE, 0, 0, 20, 10, L"text")
                                  .add(L"Button", 21, WS_VISIBLE, 0, 20, 20, 10, L"press")
                                  .add(L"Edit", 22, WS_VISIBLE, 0, 40, 20, 10);
    return t.get();
}

// A 32-bit top-down picture filled with one pixel value (0xAARRGGBB).
HBITMAP filledDib(int width, int height, uint32_t pixel) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap) std::fill_n(static_cast<uint32_t*>(bits), width * height, pixel);
    return bitmap;
}

// The dialogs paint through the image library without the tests starting it:
// only tests that make pictures hold it, and only for the pictures.
class CImageDlgTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dialog.CreateIndirect(controlsTemplate()));
        dialog.setClientSize(100, 70);
    }
    void TearDown() override { dialog.DestroyWindow(); }
    void erase(PixelSurface& surface) {
        dialog.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(surface.dc()));
    }
    HBRUSH ctlColor(HDC dc, HWND control, UINT message = WM_CTLCOLORSTATIC) {
        return reinterpret_cast<HBRUSH>(dialog.SendMessage(message, reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(control)));
    }
    CImageDlg dialog{0};
};

}  // namespace

TEST_F(CImageDlgTest, WithoutBackgroundErasesAndAnswersAsStandardDialog) {
    PixelSurface surface(100, 70, kRed);
    erase(surface);
    EXPECT_EQ(surface.pixel(50, 35), GetSysColor(COLOR_BTNFACE));
    HWND label = GetDlgItem(dialog.m_hWnd, 20);
    PixelSurface standard(4, 4, kRed);
    const auto expected = reinterpret_cast<HBRUSH>(
        DefDlgProcW(dialog.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(standard.dc()),
                    reinterpret_cast<LPARAM>(label)));
    ASSERT_NE(expected, nullptr);
    EXPECT_EQ(ctlColor(surface.dc(), label), expected);
    EXPECT_EQ(GetBkMode(surface.dc()), GetBkMode(standard.dc()));
}

TEST_F(CImageDlgTest, TiledPictureIsDrawnAtEveryStepClippedByTheLayout) {
    const auto library = halvet::sharedGdiplusSession();
    auto tile = markedTile();
    dialog.SetBackgroundImageLocation(CDialogEx::BACKGR_TILE);
    dialog.setBackgroundImage(tile.get(), false);
    PixelSurface surface(100, 70, kWhite);
    erase(surface);
    for (int x : {0, 40, 80}) {
        for (int y : {0, 30, 60}) {
            EXPECT_EQ(surface.pixel(x + 5, y + 5), kRed) << x << ", " << y;
            if (x + 20 < 100 && y + 15 < 70) {
                EXPECT_EQ(surface.pixel(x + 20, y + 15), kGreen);
            }
        }
    }
    EXPECT_EQ(surface.pixel(95, 68), kGreen);
    dialog.setBackgroundImage(nullptr, false);
}

TEST_F(CImageDlgTest, StretchedPictureCoversTheLayout) {
    const auto library = halvet::sharedGdiplusSession();
    auto tile = markedTile();  // the red block is a quarter by a third
    dialog.setBackgroundImage(tile.get(), false);
    PixelSurface surface(100, 70, kWhite);
    erase(surface);
    EXPECT_EQ(surface.pixel(10, 10), kRed);
    EXPECT_EQ(surface.pixel(40, 10), kGreen);
    // (The outermost pixels blend with the picture's edge.)
    EXPECT_EQ(surface.pixel(95, 65), kGreen);
    dialog.setBackgroundImage(nullptr, false);
}

TEST_F(CImageDlgTest, GradientDirectionThreeRunsBottomLeftToTopRightOpaque) {
    GradientSettings gradient;
    gradient.colorFrom = kRed;
    gradient.colorTo = kBlue;
    gradient.direction = 3;
    dialog.setBackgroundGradient(gradient);
    PixelSurface surface(100, 70, kGreen);
    erase(surface);
    EXPECT_TRUE(closeColour(surface.pixel(0, 69), kRed, 12));
    EXPECT_TRUE(closeColour(surface.pixel(99, 0), kBlue, 12));
    // Colour lines run across the direction: the top-left corner lies a third
    // of the way along it, the bottom-right corner two thirds.
    EXPECT_TRUE(closeColour(surface.pixel(0, 0), RGB(171, 0, 84), 24))
        << std::hex << surface.pixel(0, 0);
    EXPECT_TRUE(closeColour(surface.pixel(99, 69), RGB(84, 0, 171), 24))
        << std::hex << surface.pixel(99, 69);
    EXPECT_EQ(GetGValue(surface.pixel(50, 35)), 0) << "opaque: nothing of the old picture shows";
}

// Direction 1 runs down (rows are one colour), direction 2 from the top-left
// to the bottom-right corner, with colour lines across it.
TEST_F(CImageDlgTest, GradientDirectionsOneAndTwoRunDownAndDiagonally) {
    GradientSettings gradient;
    gradient.colorFrom = kRed;
    gradient.colorTo = kBlue;
    gradient.direction = 1;
    dialog.setBackgroundGradient(gradient);
    PixelSurface down(100, 70, kGreen);
    erase(down);
    EXPECT_TRUE(closeColour(down.pixel(50, 0), kRed, 12)) << std::hex << down.pixel(50, 0);
    EXPECT_TRUE(closeColour(down.pixel(50, 69), kBlue, 12)) << std::hex << down.pixel(50, 69);
    EXPECT_TRUE(closeColour(down.pixel(0, 35), down.pixel(99, 35), 4));
    EXPECT_TRUE(closeColour(down.pixel(0, 35), RGB(128, 0, 127), 12));

    gradient.direction = 2;
    dialog.setBackgroundGradient(gradient);
    PixelSurface diagonal(100, 70, kGreen);
    erase(diagonal);
    // Exactly at the end points the tiled brush may already wrap round: one
    // pixel in is where the colours are certain.
    EXPECT_TRUE(closeColour(diagonal.pixel(1, 1), kRed, 16)) << std::hex << diagonal.pixel(1, 1);
    EXPECT_TRUE(closeColour(diagonal.pixel(98, 68), kBlue, 16))
        << std::hex << diagonal.pixel(98, 68);
    // The bottom-left corner lies a third of the way, the top-right two thirds.
    EXPECT_TRUE(closeColour(diagonal.pixel(0, 69), RGB(171, 0, 84), 24))
        << std::hex << diagonal.pixel(0, 69);
    EXPECT_TRUE(closeColour(diagonal.pixel(99, 0), RGB(84, 0, 171), 24))
        << std::hex << diagonal.pixel(99, 0);
}

// The dialog takes the shared image library for its background and holds it
// as long as it lives; the test starts none.
TEST(CImageDlgLibraryTest, GradientIsPaintedThroughTheLibraryTheDialogHolds) {
    std::weak_ptr<GdiplusSession> held;
    {
        CImageDlg dialog(0);
        ASSERT_TRUE(dialog.CreateIndirect(controlsTemplate()));
        dialog.setClientSize(100, 70);
        GradientSettings gradient;
        gradient.colorFrom = kBlue;
        gradient.colorTo = kBlue;
        dialog.setBackgroundGradient(gradient);
        PixelSurface surface(100, 70, kWhite);
        dialog.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(surface.dc()));
        EXPECT_EQ(surface.pixel(50, 35), kBlue);
        const auto shared = halvet::sharedGdiplusSession();
        ASSERT_TRUE(shared && shared->ok());
        EXPECT_GE(shared.use_count(), 2) << "the dialog holds the same library";
        held = shared;
    }
    EXPECT_TRUE(held.expired()) << "let go with the dialog";
}

TEST_F(CImageDlgTest, GradientTransparencyBlendsWithWhatWasThere) {
    GradientSettings gradient;
    gradient.colorFrom = kRed;
    gradient.colorTo = kRed;
    gradient.transparency = 255;
    dialog.setBackgroundGradient(gradient);
    PixelSurface clear(100, 70, kGreen);
    erase(clear);
    EXPECT_EQ(clear.pixel(50, 35), kGreen);
    gradient.transparency = 128;
    dialog.setBackgroundGradient(gradient);
    PixelSurface half(100, 70, kGreen);
    erase(half);
    EXPECT_TRUE(closeColour(half.pixel(50, 35), RGB(127, 128, 0), 12));
}

TEST_F(CImageDlgTest, BorderIsDrawnAlongTheLayoutEdgesOnly) {
    dialog.setBorder(kRed, 3);
    PixelSurface surface(100, 70, kWhite);
    erase(surface);
    EXPECT_EQ(surface.pixel(0, 0), kRed);
    EXPECT_EQ(surface.pixel(1, 35), kRed);
    EXPECT_EQ(surface.pixel(50, 1), kRed);
    EXPECT_EQ(surface.pixel(98, 35), kRed);
    EXPECT_EQ(surface.pixel(50, 68), kRed);
    // The hollow brush leaves the inside alone (the dialog's erase painted it).
    EXPECT_EQ(surface.pixel(50, 35), GetSysColor(COLOR_BTNFACE));
    EXPECT_NE(surface.pixel(5, 35), kRed);
}

// Saved pictures over a green background: one without alpha is stretched
// into its rectangle; one with alpha is blended; one keyed on a colour shows
// the background where it has that colour. Something that is no bitmap is
// refused.
TEST_F(CImageDlgTest, SavedBackgroundsAreStretchedBlendedOrKeyed) {
    GradientSettings green;
    green.colorFrom = kGreen;
    green.colorTo = kGreen;
    dialog.setBackgroundGradient(green);
    HWND label = GetDlgItem(dialog.m_hWnd, 20);
    HWND button = GetDlgItem(dialog.m_hWnd, 21);
    HWND edit = GetDlgItem(dialog.m_hWnd, 22);
    // Blue with zero alpha bytes: copied, not blended away.
    ASSERT_TRUE(
        dialog.setSavedBackground(label, RECT{10, 10, 30, 20}, filledDib(4, 4, 0x000000FF)));
    // Premultiplied red at half alpha.
    ASSERT_TRUE(
        dialog.setSavedBackground(button, RECT{40, 10, 60, 20}, filledDib(4, 4, 0x80800000)));
    // Blue keyed on blue: nothing of it shows.
    ASSERT_TRUE(
        dialog.setSavedBackground(edit, RECT{70, 10, 90, 20}, filledDib(4, 4, 0x000000FF), kBlue));
    EXPECT_FALSE(dialog.setSavedBackground(edit, RECT{0, 0, 5, 5},
                                           static_cast<HBITMAP>(GetStockObject(WHITE_BRUSH))));
    PixelSurface surface(100, 70, kWhite);
    EXPECT_EQ(dialog.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(surface.dc())), TRUE);
    EXPECT_EQ(surface.pixel(10, 10), kBlue);
    EXPECT_EQ(surface.pixel(29, 19), kBlue);
    EXPECT_EQ(surface.pixel(30, 20), kGreen);
    EXPECT_TRUE(closeColour(surface.pixel(50, 15), RGB(128, 127, 0), 4))
        << std::hex << surface.pixel(50, 15);
    EXPECT_EQ(surface.pixel(80, 15), kGreen);
    EXPECT_EQ(dialog.savedBackgrounds.size(), 3u);
}

TEST_F(CImageDlgTest, StaticButtonAndLinkBecomeTransparentEditDoesNot) {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_LINK_CLASS};
    InitCommonControlsEx(&init);
    HWND link = CreateWindowExW(0, L"SysLink", L"<a>link</a>", WS_CHILD | WS_VISIBLE, 0, 60, 40, 10,
                                dialog.m_hWnd, reinterpret_cast<HMENU>(23), nullptr, nullptr);
    ASSERT_NE(link, nullptr) << "no SysLink class";
    GradientSettings gradient;
    dialog.setBackgroundGradient(gradient);
    HBRUSH hollow = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    for (HWND control : {GetDlgItem(dialog.m_hWnd, 20), GetDlgItem(dialog.m_hWnd, 21), link}) {
        PixelSurface surface(4, 4, kWhite);
        SetBkMode(surface.dc(), OPAQUE);
        EXPECT_EQ(ctlColor(surface.dc(), control), hollow);
        EXPECT_EQ(GetBkMode(surface.dc()), TRANSPARENT);
    }
    PixelSurface surface(4, 4, kWhite);
    SetBkMode(surface.dc(), OPAQUE);
    EXPECT_NE(ctlColor(surface.dc(), GetDlgItem(dialog.m_hWnd, 22)), hollow);
    EXPECT_NE(ctlColor(surface.dc(), GetDlgItem(dialog.m_hWnd, 21), WM_CTLCOLORBTN), hollow);
    EXPECT_EQ(GetBkMode(surface.dc()), OPAQUE);
}

TEST_F(CImageDlgTest, SizeInvalidatesForStretchedPictureNotForTiledOne) {
    const auto library = halvet::sharedGdiplusSession();
    auto tile = markedTile();
    ShowWindow(dialog.m_hWnd, SW_SHOWNA);
    UpdateWindow(dialog.m_hWnd);
    RECT update{};
    auto sizeAndCheck = [&](WPARAM type) {
        ValidateRect(dialog.m_hWnd, nullptr);
        dialog.SendMessage(WM_SIZE, type, MAKELPARAM(100, 70));
        return GetUpdateRect(dialog.m_hWnd, &update, FALSE);
    };
    dialog.SetBackgroundImageLocation(CDialogEx::BACKGR_TILE);
    dialog.setBackgroundImage(tile.get(), false);
    EXPECT_FALSE(sizeAndCheck(SIZE_RESTORED));
    dialog.SetBackgroundImageLocation(CDialogEx::BACKGR_TOPLEFT);
    EXPECT_TRUE(sizeAndCheck(SIZE_RESTORED));
    EXPECT_EQ(update.right, 100);
    EXPECT_EQ(update.bottom, 70);

    // Minimized: still invalidated, not re-anchored.
    ResizeProp record;
    record.controlId = 20;
    record.flags = RF_RIGHT;
    record.marginRight = 0;
    dialog.resizer.addRecord(record);
    EXPECT_TRUE(sizeAndCheck(SIZE_MINIMIZED));
    RECT label{};
    GetWindowRect(GetDlgItem(dialog.m_hWnd, 20), &label);
    MapWindowPoints(HWND_DESKTOP, dialog.m_hWnd, reinterpret_cast<POINT*>(&label), 2);
    EXPECT_NE(label.right, 100);
    dialog.setBackgroundImage(nullptr, false);
}

TEST_F(CImageDlgTest, PrintWindowShowsThePaintedBackground) {
    GradientSettings gradient;
    gradient.colorFrom = kBlue;
    gradient.colorTo = kBlue;
    dialog.setBackgroundGradient(gradient);
    ShowWindow(dialog.m_hWnd, SW_SHOWNA);
    PixelSurface surface(100, 70, kWhite);
    ASSERT_TRUE(PrintWindow(dialog.m_hWnd, surface.dc(), 0));
    EXPECT_EQ(surface.pixel(90, 65), kBlue);
}

namespace {

// A top-level window with a child that serves as the dialogs' parent, and a
// popup framework dialog that follows the top-level window.
class FollowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(parentWrapper.Attach(inner.hwnd()));
        ASSERT_TRUE(dialog.CreateIndirect(popup.get(), &parentWrapper));
    }
    void TearDown() override {
        dialog.DestroyWindow();
        parentWrapper.Detach();
    }
    RECT clientOnScreen() const {
        RECT r{};
        GetClientRect(top.hwnd(), &r);
        MapWindowPoints(top.hwnd(), HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    bool coversClient() const {
        RECT d{};
        GetWindowRect(dialog.m_hWnd, &d);
        const RECT c = clientOnScreen();
        return EqualRect(&d, &c);
    }
    HostWindow top{WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 120, 400, 300};
    HostWindow inner{WS_CHILD | WS_VISIBLE, 10, 10, 100, 100, top.hwnd()};
    DialogTemplate popup{WS_POPUP, 50, 50};
    CWnd parentWrapper;
    CImageDlg dialog{0};
};

}  // namespace

TEST_F(FollowTest, ShownDialogCoversTopLevelClientAndFollowsMovesAndSizes) {
    ASSERT_TRUE(dialog.startFollowing());
    dialog.followOwner(FALSE);  // hidden: nothing happens
    EXPECT_FALSE(coversClient());
    ShowWindow(dialog.m_hWnd, SW_SHOWNA);
    EXPECT_TRUE(coversClient());
    SetWindowPos(top.hwnd(), nullptr, 150, 170, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(coversClient());
    SetWindowPos(top.hwnd(), nullptr, 0, 0, 500, 350, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(coversClient());
    RECT d{};
    GetWindowRect(dialog.m_hWnd, &d);
    EXPECT_GT(d.right - d.left, 400);
}

TEST_F(FollowTest, ShowsAndHidesWithTheTopLevelWindow) {
    ASSERT_TRUE(dialog.startFollowing());
    ShowWindow(top.hwnd(), SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(dialog.m_hWnd));
    ShowWindow(top.hwnd(), SW_SHOWNA);
    EXPECT_TRUE(IsWindowVisible(dialog.m_hWnd));
    EXPECT_TRUE(coversClient());
}

TEST_F(FollowTest, ShowChangeForcesPlacementBeforeVisibility) {
    ASSERT_TRUE(dialog.startFollowing());
    dialog.onShowChanged(TRUE, 0);
    EXPECT_FALSE(IsWindowVisible(dialog.m_hWnd));
    EXPECT_TRUE(coversClient());
}

// The top-level window gets its own procedure back once the last follower
// has gone, whether deleted with its window alive or destroyed.
TEST_F(FollowTest, DestroyedOrDeletedDialogLeavesNoHookBehind) {
    const LONG_PTR original = GetWindowLongPtrW(top.hwnd(), GWLP_WNDPROC);
    {
        CImageDlg second(0);
        ASSERT_TRUE(second.CreateIndirect(popup.get(), &parentWrapper));
        ASSERT_TRUE(second.startFollowing());
        ShowWindow(second.m_hWnd, SW_SHOWNA);
        ASSERT_NE(GetWindowLongPtrW(top.hwnd(), GWLP_WNDPROC), original);
    }  // deleted with its window alive
    EXPECT_EQ(GetWindowLongPtrW(top.hwnd(), GWLP_WNDPROC), original);
    ASSERT_TRUE(dialog.startFollowing());
    ASSERT_NE(GetWindowLongPtrW(top.hwnd(), GWLP_WNDPROC), original);
    dialog.DestroyWindow();
    EXPECT_EQ(dialog.imageFlags & CImageDlg::kFollowing, 0u);
    EXPECT_EQ(GetWindowLongPtrW(top.hwnd(), GWLP_WNDPROC), original);
}

TEST(FollowSelfTest, DialogThatIsItsOwnTopLevelDoesNotFollow) {
    DialogTemplate t =
        DialogTemplate(WS_POPUP, 50, 50).add(L"Static", 30, WS_VISIBLE, 0, 0, 10, 10);
    CImageDlg dialog(0);
    ASSERT_TRUE(dialog.CreateIndirect(t.get()));
    CWnd label;
    ASSERT_TRUE(label.Attach(GetDlgItem(dialog.m_hWnd, 30)));
    dialog.m_pParentWnd = &label;
    EXPECT_FALSE(dialog.startFollowing());
    dialog.imageFlags |= CImageDlg::kFollowing;
    RECT before{};
    GetWindowRect(dialog.m_hWnd, &before);
    dialog.followOwner(TRUE);
    RECT after{};
    GetWindowRect(dialog.m_hWnd, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    dialog.imageFlags &= ~CImageDlg::kFollowing;
    label.Detach();
}
