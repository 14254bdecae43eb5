// Painted backgrounds, transparent children, size invalidation and following
// the owner window, checked by pixels and by what the window system reports.
#include <windows.h>

#include <algorithm>
using std::max;
using std::min;
#include <commctrl.h>
#include <gdiplus.h>

#include <memory>

#include <gtest/gtest.h>

#include "support/TestWindows.h"
#include "dialogs/CImageDlg.h"
#include "drawing/GdiplusSession.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);

// 40 x 30, green with a red 10 x 10 block at its top-left corner.
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

class CImageDlgTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gdiplus.ok());
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
    GdiplusSession gdiplus;
    CImageDlg dialog{0};
};

}  // namespace

TEST_F(CImageDlgTest, WithoutBackgroundErasesAndAnswersAsStandardDialog) {
    PixelSurface surface(100, 70, kRed);
    erase(surface);
    EXPECT_EQ(surface.pixel(50, 35), GetSysColor(COLOR_BTNFACE));
    HWND label = GetDlgItem(dialog.m_hWnd, 20);
    EXPECT_NE(ctlColor(surface.dc(), label), GetStockObject(NULL_BRUSH));
    EXPECT_NE(GetBkMode(surface.dc()), TRANSPARENT);
}

TEST_F(CImageDlgTest, TiledPictureIsDrawnAtEveryStepClippedByTheLayout) {
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

TEST_F(CImageDlgTest, SavedBackgroundIsStretchedIntoItsRectangle) {
    PixelSurface source(4, 4, kBlue);
    HBITMAP bitmap = CreateCompatibleBitmap(source.dc(), 4, 4);
    HDC dc = CreateCompatibleDC(source.dc());
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, 4, 4, source.dc(), 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    CImage image;
    image.Attach(bitmap);
    dialog.setSavedBackground(GetDlgItem(dialog.m_hWnd, 20), RECT{10, 10, 30, 20},
                              std::move(image));
    PixelSurface surface(100, 70, kWhite);
    EXPECT_EQ(dialog.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(surface.dc())), TRUE);
    EXPECT_EQ(surface.pixel(10, 10), kBlue);
    EXPECT_EQ(surface.pixel(29, 19), kBlue);
    EXPECT_NE(surface.pixel(30, 20), kBlue);
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

TEST_F(FollowTest, DestroyedOrDeletedDialogLeavesNoHookBehind) {
    {
        CImageDlg second(0);
        ASSERT_TRUE(second.CreateIndirect(popup.get(), &parentWrapper));
        ASSERT_TRUE(second.startFollowing());
        ShowWindow(second.m_hWnd, SW_SHOWNA);
    }  // deleted with its window alive
    ASSERT_TRUE(dialog.startFollowing());
    dialog.DestroyWindow();
    EXPECT_EQ(dialog.imageFlags & CImageDlg::kFollowing, 0u);
    // Moving the window now reaches no dialog.
    SetWindowPos(top.hwnd(), nullptr, 50, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(top.hwnd(), SW_HIDE);
    SUCCEED();
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
