// What the panel's view puts on the screen while the page loads: the light
// grey dialog and the turning ring, read back from the windows' surfaces
// (window DCs keep their pixels under the headless display driver).
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/FakeContainer.h"
#include "support/FakeHost.h"
#include "support/ReferenceSpinnerFrame.h"
#include "support/TestWindows.h"

using halvet::test::FakeContainer;
using halvet::test::FakeHost;
using halvet::test::InitArguments;

namespace {

constexpr int kSpinnerId = 3038;
constexpr int kNormalPicture = 3032;
const COLORREF kPanelGrey = RGB(250, 250, 250);

std::wstring handleText(HWND window) {
    wchar_t text[32];
    swprintf(text, 32, L"0x%llx",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return text;
}

// The pixels of a window's client rectangle, row by row.
std::vector<COLORREF> windowPixels(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    std::vector<COLORREF> pixels;
    HDC dc = GetDC(window);
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x) pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(window, dc);
    return pixels;
}

// Waits `ms` milliseconds while dispatching this thread's messages.
void pumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        pumpMessages();
    }
}

void repaintNow(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

struct GdiplusScope {
    GdiplusScope() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    }
    ~GdiplusScope() { Gdiplus::GdiplusShutdown(token); }
    ULONG_PTR token = 0;
};

// The DLL's ring picture over the panel grey, turned by `angle` degrees about
// its centre by the tests' own sampling (not the image library's drawing).
halvet::test::ReferenceFrame expectedFrame(HMODULE module, float angle) {
    halvet::test::RgbaPicture picture;
    if (!halvet::test::loadRgbaPicture(module, kNormalPicture, &picture)) return {};
    return halvet::test::referenceSpinnerFrame(picture, angle, kPanelGrey);
}

// Frames on the screen against each other: exactly the same or not.
int differingPixels(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
    return halvet::test::pixelsBeyond(a, b, 0);
}

int differingPixels(const std::vector<COLORREF>& shown,
                    const halvet::test::ReferenceFrame& expected) {
    return halvet::test::pixelsOffReference(shown, expected);
}

class PanelPixelsTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.loaded()); }
    // A shown view in the host window; the container attaches no web view,
    // so the whole dialog is the panel's own drawing.
    void showView(const InitArguments& arguments = {}) {
        ASSERT_EQ(host.initialize(arguments), 1);
        container.createWebView = false;
        ASSERT_EQ(host.send(L"CreateView", L"<v><parentViewPtr>" + handleText(window.hwnd()) +
                                               L"</parentViewPtr></v>")
                      .text,
                  handleText(window.hwnd()));
        dialog = container.dialog();
        ASSERT_TRUE(IsWindow(dialog));
        spinner = GetDlgItem(dialog, kSpinnerId);
        ASSERT_NE(spinner, nullptr);
        host.send(L"ShowView");
        ASSERT_TRUE(IsWindowVisible(spinner));
        repaintNow(window.hwnd());
    }
    RECT spinnerRect() const {
        RECT rect{};
        GetWindowRect(spinner, &rect);
        MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    SIZE spinnerSize() const {
        RECT client{};
        GetClientRect(spinner, &client);
        return SIZE{client.right, client.bottom};
    }

    GdiplusScope gdiplus;
    FakeHost host;
    FakeContainer container{host};
    HostWindow window{WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 560};
    HWND dialog = nullptr;
    HWND spinner = nullptr;
};

}  // namespace

TEST_F(PanelPixelsTest, WhileTheSpinnerShowsTheRestOfTheDialogIsLightGrey) {
    showView();
    const RECT ring = spinnerRect();
    RECT client{};
    GetClientRect(dialog, &client);
    ASSERT_GT(client.right, ring.right);
    ASSERT_GT(client.bottom, ring.bottom);
    HDC dc = GetDC(dialog);
    int checked = 0;
    for (int y = 0; y < client.bottom; y += 7) {
        for (int x = 0; x < client.right; x += 7) {
            const POINT p{x, y};
            if (PtInRect(&ring, p)) continue;
            ASSERT_EQ(GetPixel(dc, x, y), kPanelGrey) << x << "," << y;
            ++checked;
        }
    }
    for (POINT p : {POINT{client.right - 1, client.bottom - 1}, POINT{ring.left - 1, ring.top},
                    POINT{ring.right, ring.bottom - 1}})
        EXPECT_EQ(GetPixel(dc, p.x, p.y), kPanelGrey) << p.x << "," << p.y;
    ReleaseDC(dialog, dc);
    EXPECT_GT(checked, 1000);
}

TEST_F(PanelPixelsTest, FirstFrameIsThePictureUpright) {
    showView();
    const SIZE size = spinnerSize();
    EXPECT_EQ(size.cx, 37);
    EXPECT_EQ(size.cy, 37);
    const std::vector<COLORREF> frame = windowPixels(spinner);
    const halvet::test::ReferenceFrame upright = expectedFrame(host.module(), 0.0f);
    ASSERT_EQ(upright.pixels.size(), 37u * 37u);
    EXPECT_EQ(differingPixels(frame, upright), 0);
    // The comparison tells one position of the ring from the next.
    EXPECT_GT(differingPixels(frame, expectedFrame(host.module(), 30.0f)), 20);
}

TEST_F(PanelPixelsTest, RingTurnsWhileShownAndStandsStillWhileHidden) {
    showView();
    std::vector<COLORREF> previous = windowPixels(spinner);
    for (int frame = 0; frame < 3; ++frame) {
        // One or two ticks of 100 ms: never the twelve of a full turn.
        pumpFor(150);
        UpdateWindow(window.hwnd());
        const std::vector<COLORREF> now = windowPixels(spinner);
        EXPECT_GT(differingPixels(now, previous), 20) << "frame " << frame;
        previous = now;
    }

    // The dialog is never asked to paint under the ring: its grey would
    // cover the ring until the next frame (it does not clip its children).
    RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    SendMessageW(spinner, WM_TIMER, 1022, 0);
    EXPECT_TRUE(GetUpdateRect(spinner, nullptr, FALSE));
    EXPECT_FALSE(GetUpdateRect(dialog, nullptr, FALSE));
    UpdateWindow(spinner);
    previous = windowPixels(spinner);

    // Hidden with its dialog, the ring keeps its position.
    host.send(L"HideView");
    pumpFor(350);
    host.send(L"ShowView");
    repaintNow(window.hwnd());
    EXPECT_EQ(differingPixels(windowPixels(spinner), previous), 0);

    // Stopped, it comes back upright when the page is loaded again.
    host.send(L"HideSpinner");
    EXPECT_FALSE(IsWindowVisible(spinner));
    pumpFor(250);
    host.send(L"ReloadHTML");
    repaintNow(window.hwnd());
    EXPECT_EQ(differingPixels(windowPixels(spinner), expectedFrame(host.module(), 0.0f)), 0);
}

TEST_F(PanelPixelsTest, HighDpiHostGetsTheLargePicture) {
    InitArguments arguments;
    arguments.isHighDPI = L"1";
    showView(arguments);
    const SIZE size = spinnerSize();
    EXPECT_EQ(size.cx, 74);
    EXPECT_EQ(size.cy, 74);
    // The large ring fills its control: dark dash at the top, grey corners.
    HDC dc = GetDC(spinner);
    EXPECT_EQ(GetPixel(dc, 0, 0), kPanelGrey);
    EXPECT_EQ(GetPixel(dc, 73, 73), kPanelGrey);
    const COLORREF dash = GetPixel(dc, 37, 10);
    ReleaseDC(spinner, dc);
    EXPECT_LT(GetRValue(dash) + GetGValue(dash) + GetBValue(dash), 400);
}
