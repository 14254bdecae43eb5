// Scrolling dialogs with real scroll bars: ranges, pages, positions, the
// children moved by ScrollWindow, notifications, the wheel and auto-fit.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/TestWindows.h"
#include "dialogs/CScrollDlg.h"
#include "dialogs/FrameworkMessages.h"

namespace {

const DLGTEMPLATE* oneChild() {
    static DialogTemplate t =
        DialogTemplate(WS_POPUP, 100, 100).add(L"Static", 30, WS_VISIBLE, 0, 0, 10, 10);
    return t.get();
}

SCROLLINFO barInfo(HWND window, int bar) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(window, bar, &info);
    return info;
}

// Restores the wheel setting that a test changes.
class WheelLines {
public:
    WheelLines() { SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &saved_, 0); }
    ~WheelLines() { set(saved_); }
    void set(UINT lines) { SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, lines, nullptr, 0); }

private:
    UINT saved_ = 3;
};

// A 300 x 400 client area with a child at (10, 700), below the visible part.
class CScrollDlgTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dialog.CreateIndirect(oneChild()));
        dialog.setClientSize(300, 400);
        child = GetDlgItem(dialog.m_hWnd, 30);
        SetWindowPos(child, nullptr, 10, 700, 20, 20, SWP_NOZORDER);
    }
    void TearDown() override { dialog.DestroyWindow(); }

    int childTop() const {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, dialog.m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        return r.top;
    }
    int childLeft() const {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, dialog.m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        return r.left;
    }
    LRESULT wheel(short delta) {
        return dialog.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), 0);
    }
    void vscroll(WORD code) { dialog.SendMessage(WM_VSCROLL, MAKEWPARAM(code, 0), 0); }

    CScrollDlg dialog{0};
    HWND child = nullptr;
};

}  // namespace

// Content 1000 high in a 400 view: range 0..999, page 400; scrolling stops at
// 600 and moves the child by the difference; scrolling back returns to 0.
TEST_F(CScrollDlgTest, TallContentScrollsWithinItsRange) {
    dialog.setContentSize(0, 1000);
    SCROLLINFO info = barInfo(dialog.m_hWnd, SB_VERT);
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 999);
    EXPECT_EQ(info.nPage, 400u);
    EXPECT_EQ(dialog.pageHeight, 400);
    EXPECT_EQ(barInfo(dialog.m_hWnd, SB_HORZ).nMax, 0);  // width fits

    dialog.scrollBy(0, 5000);
    EXPECT_EQ(dialog.scrollY, 600);
    EXPECT_EQ(GetScrollPos(dialog.m_hWnd, SB_VERT), 600);
    EXPECT_EQ(childTop(), 100);

    dialog.scrollBy(0, -5000);
    EXPECT_EQ(dialog.scrollY, 0);
    EXPECT_EQ(childTop(), 700);
}

// A shown dialog scrolls its children with the window system; a hidden one
// moves them itself (ScrollWindow leaves a window that cannot be drawn alone):
// both keep the children in step with the position.
TEST_F(CScrollDlgTest, ShownAndHiddenDialogsMoveChildrenAlike) {
    dialog.setContentSize(0, 1000);
    dialog.ShowWindow(SW_SHOWNA);
    dialog.scrollBy(0, 250);
    EXPECT_EQ(childTop(), 450);
    dialog.ShowWindow(SW_HIDE);
    dialog.scrollBy(0, -50);
    EXPECT_EQ(childTop(), 500);
}

// Growing the view from 400 to 500 at 300 rescales the position to 375; a
// later growth to 700 clamps it to 1000 - 700 - 1.
TEST_F(CScrollDlgTest, GrowingTheViewRescalesAndClampsThePosition) {
    dialog.setContentSize(0, 1000);
    dialog.scrollBy(0, 300);
    ASSERT_EQ(childTop(), 400);

    dialog.setClientSize(0, 500);
    EXPECT_EQ(dialog.pageHeight, 500);
    EXPECT_EQ(dialog.scrollY, 375);
    EXPECT_EQ(GetScrollPos(dialog.m_hWnd, SB_VERT), 375);
    EXPECT_EQ(childTop(), 700 - 375);

    dialog.setClientSize(0, 700);
    EXPECT_EQ(dialog.scrollY, 299);
    EXPECT_EQ(childTop(), 700 - 299);
}

// Content shrinking below the view: page and position 0, the bar disabled
// rather than hidden, the child moved back by the old position.
TEST_F(CScrollDlgTest, ShrinkingContentResetsAndDisablesTheBar) {
    dialog.setContentSize(0, 1000);
    dialog.scrollBy(0, 300);
    dialog.setContentSize(0, 300);
    const SCROLLINFO info = barInfo(dialog.m_hWnd, SB_VERT);
    EXPECT_EQ(info.nMax, 0);
    EXPECT_EQ(info.nPos, 0);
    EXPECT_EQ(dialog.pageHeight, 0);
    EXPECT_EQ(dialog.scrollY, 0);
    EXPECT_EQ(childTop(), 700);
    SCROLLBARINFO bar{};
    bar.cbSize = sizeof bar;
    ASSERT_TRUE(GetScrollBarInfo(dialog.m_hWnd, OBJID_VSCROLL, &bar));
    EXPECT_FALSE(bar.rgstate[0] & STATE_SYSTEM_INVISIBLE);
    EXPECT_TRUE(bar.rgstate[0] & STATE_SYSTEM_UNAVAILABLE);
}

// Line, page and thumb notifications; unknown codes do nothing.
TEST_F(CScrollDlgTest, NotificationCodesScroll) {
    dialog.setContentSize(0, 1000);
    vscroll(SB_LINEDOWN);
    EXPECT_EQ(dialog.scrollY, 60);
    vscroll(SB_PAGEDOWN);
    EXPECT_EQ(dialog.scrollY, 460);
    vscroll(SB_PAGEUP);
    vscroll(SB_LINEUP);
    EXPECT_EQ(dialog.scrollY, 0);
    vscroll(SB_ENDSCROLL);
    vscroll(SB_BOTTOM);
    EXPECT_EQ(dialog.scrollY, 0);

    // Thumb tracking to 250 from 100 scrolls by 150. Outside a drag the
    // tracking position is the bar's position, which the test sets.
    dialog.scrollBy(0, 100);
    SetScrollPos(dialog.m_hWnd, SB_VERT, 250, FALSE);
    ASSERT_EQ(dialog.trackPosition(1), 250);
    vscroll(SB_THUMBTRACK);
    EXPECT_EQ(dialog.scrollY, 250);
    EXPECT_EQ(childTop(), 700 - 250);
}

TEST_F(CScrollDlgTest, HorizontalNotificationsScrollTheOtherAxis) {
    dialog.setContentSize(1000, 0);
    dialog.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
    EXPECT_EQ(dialog.scrollX, 60);
    EXPECT_EQ(childLeft(), 10 - 60);
    dialog.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_PAGERIGHT, 0), 0);
    EXPECT_EQ(dialog.scrollX, 60 + dialog.pageWidth);
    dialog.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    EXPECT_EQ(dialog.scrollY, 0);  // no vertical content
}

// The wheel: lines of 60 by the system setting, page mode, direction.
TEST_F(CScrollDlgTest, WheelScrollsLinesOrPages) {
    WheelLines lines;
    lines.set(3);
    dialog.setContentSize(0, 1000);
    dialog.scrollBy(0, 300);

    EXPECT_EQ(wheel(120), TRUE);
    EXPECT_EQ(dialog.scrollY, 240);  // one line up
    wheel(-240);
    EXPECT_EQ(dialog.scrollY, 360);  // two lines down
    wheel(60);
    EXPECT_EQ(dialog.scrollY, 300);  // less than a notch: still a line up
    wheel(0);
    EXPECT_EQ(dialog.scrollY, 360);  // zero: a line down

    lines.set(WHEEL_PAGESCROLL);
    wheel(120);
    EXPECT_EQ(dialog.scrollY, 0);  // a page (400) up, stopped at 0
    wheel(-120);
    EXPECT_EQ(dialog.scrollY, 400);

    lines.set(9);
    wheel(-120);
    EXPECT_EQ(dialog.scrollY, 580);  // three lines
    EXPECT_EQ(childTop(), 700 - 580);
}

// A huge wheel setting ends at the end of the content.
TEST_F(CScrollDlgTest, WheelWithHugeSettingStopsAtTheEnd) {
    WheelLines lines;
    lines.set(0x7FFFFFF0);
    dialog.setContentSize(0, 1000);
    wheel(-120);
    EXPECT_EQ(dialog.scrollY, 600);
}

// With only a horizontal range the wheel scrolls sideways; with none it
// answers FALSE and scrolls nothing.
TEST_F(CScrollDlgTest, WheelChoosesAxisOrRefuses) {
    WheelLines lines;
    lines.set(3);
    EXPECT_EQ(wheel(-120), FALSE);
    EXPECT_EQ(childTop(), 700);

    dialog.setContentSize(1000, 0);
    EXPECT_EQ(wheel(-120), TRUE);
    EXPECT_EQ(dialog.scrollX, 60);
    EXPECT_EQ(dialog.scrollY, 0);
}

// Auto-fit: with scrolling off, the content size sizes the client area; 0
// means the initial client width. With auto-fit off too it is only stored.
TEST_F(CScrollDlgTest, AutoFitSizesTheClientArea) {
    ASSERT_GT(dialog.initialClientWidth, 0);
    dialog.scrollEnabled = false;
    dialog.setContentSize(0, 300);
    EXPECT_EQ(dialog.contentWidth, dialog.initialClientWidth);
    EXPECT_EQ(dialog.contentHeight, 300);
    SIZE client = dialog.clientSize();
    EXPECT_EQ(client.cx, dialog.initialClientWidth);
    EXPECT_EQ(client.cy, 300);
    EXPECT_EQ(barInfo(dialog.m_hWnd, SB_VERT).nMax, 0);

    dialog.autoFit = false;
    dialog.setContentSize(900, 1200);
    EXPECT_EQ(dialog.contentWidth, 900);
    EXPECT_EQ(dialog.contentHeight, 1200);
    client = dialog.clientSize();
    EXPECT_EQ(client.cy, 300);
    EXPECT_EQ(barInfo(dialog.m_hWnd, SB_VERT).nMax, 0);  // scrolling is off
}

// The layout rectangle covers larger content; FWM_ISSTRETCHABLE follows the
// two switches.
TEST_F(CScrollDlgTest, LayoutRectAndStretchableAnswer) {
    dialog.setClientSize(400, 300);
    dialog.contentWidth = 1000;
    dialog.contentHeight = 200;
    RECT layout{};
    ASSERT_EQ(dialog.SendMessage(FWM_GETLAYOUTRECT, reinterpret_cast<WPARAM>(&layout)), 1);
    EXPECT_EQ(layout.left, 0);
    EXPECT_EQ(layout.top, 0);
    EXPECT_EQ(layout.right, 1000);
    EXPECT_EQ(layout.bottom, 300);

    EXPECT_EQ(dialog.SendMessage(FWM_ISSTRETCHABLE, 5, 7), 1);
    dialog.scrollEnabled = false;
    EXPECT_EQ(dialog.SendMessage(FWM_ISSTRETCHABLE), 1);
    dialog.autoFit = false;
    EXPECT_EQ(dialog.SendMessage(FWM_ISSTRETCHABLE), 0);
}

// A minimised size still brings the bars in line with the content.
TEST_F(CScrollDlgTest, MinimizedSizeStillUpdatesTheBars) {
    dialog.contentHeight = 1000;
    dialog.SendMessage(WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(barInfo(dialog.m_hWnd, SB_VERT).nMax, 999);
}

// Placing a control below the visible part of a scrolling owner grows its
// content, not its window: the bars then reach the control.
TEST_F(CScrollDlgTest, GrowingAScrollingOwnerSetsItsContentSize) {
    ResizeProp reference;
    reference.control = CWnd::FromHandle(child);  // bottom at 720
    reference.marginRight = 0;
    reference.marginBottom = 0;
    ResizeProp target;
    target.control = CWnd::FromHandle(child);
    target.marginRight = 0;
    target.marginBottom = 10;
    EXPECT_TRUE(dialog.resizer.placeRelative(reference, target, PL_BELOW | PL_GROWOWNER, AL_LEFT));
    RECT client{};
    GetClientRect(dialog.m_hWnd, &client);
    EXPECT_EQ(client.bottom, 400);  // the window keeps its size
    EXPECT_GE(dialog.contentHeight, 750);
    EXPECT_EQ(barInfo(dialog.m_hWnd, SB_VERT).nMax, dialog.contentHeight - 1);
}
