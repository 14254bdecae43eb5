// Anchoring, sizing and placement of framework dialogs, read back from the
// window system.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/TestWindows.h"
#include "dialogs/CBaseDlg.h"
#include "dialogs/FrameworkMessages.h"

namespace {

RECT rectIn(HWND window, HWND owner) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, owner, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

::testing::AssertionResult isRect(const RECT& r, LONG l, LONG t, LONG rt, LONG b) {
    if (r.left == l && r.top == t && r.right == rt && r.bottom == b)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

const DLGTEMPLATE* twoControls() {
    static DialogTemplate t = DialogTemplate(WS_POPUP, 100, 100)
                                  .add(L"Static", 10, WS_VISIBLE, 0, 0, 10, 10)
                                  .add(L"Static", 11, WS_VISIBLE, 0, 0, 10, 10);
    return t.get();
}

// A dialog of 300 x 200 client pixels with two statics at known places.
class CBaseDlgTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dialog.CreateIndirect(twoControls()));
        dialog.setClientSize(300, 200);
        first = GetDlgItem(dialog.m_hWnd, 10);
        second = GetDlgItem(dialog.m_hWnd, 11);
        SetWindowPos(first, nullptr, 20, 20, 50, 20, SWP_NOZORDER);
        SetWindowPos(second, nullptr, 20, 100, 60, 30, SWP_NOZORDER);
    }
    CBaseDlg dialog{0};
    HWND first = nullptr;
    HWND second = nullptr;
};

}  // namespace

TEST_F(CBaseDlgTest, ResizeReanchorsRightEdgeAndKeepWidthMoves) {
    ResizeProp stretch;
    stretch.controlId = 10;
    stretch.flags = RF_RIGHT;
    stretch.marginRight = 10;
    dialog.resizer.addRecord(stretch);
    ResizeProp move;
    move.controlId = 11;
    move.flags = RF_RIGHT | RF_KEEPWIDTH | RF_BOTTOM | RF_KEEPHEIGHT;
    move.marginRight = 10;
    move.marginBottom = 5;
    dialog.resizer.addRecord(move);

    EXPECT_TRUE(dialog.setClientSize(400, 250));
    EXPECT_TRUE(isRect(rectIn(first, dialog.m_hWnd), 20, 20, 390, 40));
    EXPECT_TRUE(isRect(rectIn(second, dialog.m_hWnd), 330, 215, 390, 245));
}

TEST_F(CBaseDlgTest, MinimizedSizeDoesNotReanchorOtherTypesDo) {
    ResizeProp record;
    record.controlId = 10;
    record.flags = RF_RIGHT;
    record.marginRight = 100;
    dialog.resizer.addRecord(record);
    dialog.SendMessage(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(300, 200));
    EXPECT_TRUE(isRect(rectIn(first, dialog.m_hWnd), 20, 20, 70, 40));
    dialog.SendMessage(WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(300, 200));
    EXPECT_TRUE(isRect(rectIn(first, dialog.m_hWnd), 20, 20, 200, 40));
}

TEST_F(CBaseDlgTest, SiblingReferenceUsesItsTopOrWithAnchorFarItsBottom) {
    ResizeProp record;
    record.controlId = 10;
    record.flags = RF_BOTTOM;
    record.marginBottom = 4;
    record.anchorId = 11;
    dialog.resizer.addRecord(record);
    dialog.resizer.applyAll();
    EXPECT_TRUE(isRect(rectIn(first, dialog.m_hWnd), 20, 20, 70, 96));
    dialog.resizer.records[0].flags |= RF_ANCHORFAR;
    dialog.resizer.applyAll();
    EXPECT_TRUE(isRect(rectIn(first, dialog.m_hWnd), 20, 20, 70, 126));
    // A sibling that names no item is no reference: the layout is.
    dialog.resizer.records[0].anchorId = 99;
    dialog.resizer.applyAll();
    EXPECT_TRUE(isRect(rectIn(first, dialog.m_hWnd), 20, 20, 70, 196));
}

TEST_F(CBaseDlgTest, ReanchoringKeepsZOrder) {
    ASSERT_EQ(GetWindow(first, GW_HWNDNEXT), second);
    ResizeProp record;
    record.controlId = 11;
    dialog.resizer.addRecord(record);
    dialog.setClientSize(320, 220);
    EXPECT_TRUE(isRect(rectIn(second, dialog.m_hWnd), 20, 100, 321, 221));
    EXPECT_EQ(GetWindow(dialog.m_hWnd, GW_CHILD), first);
    EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), second);
}

TEST_F(CBaseDlgTest, ClientSizeKeepsDimensionsOfZeroAndNoChangeReturnsFalse) {
    EXPECT_TRUE(dialog.setClientSize(0, 150));
    EXPECT_EQ(dialog.clientSize().cx, 300);
    EXPECT_EQ(dialog.clientSize().cy, 150);
    EXPECT_FALSE(dialog.setClientSize(300, 150));
    EXPECT_FALSE(dialog.setClientSize(-1, 0));
    RECT outer{};
    GetWindowRect(dialog.m_hWnd, &outer);
    EXPECT_FALSE(dialog.setWindowSize(outer.right - outer.left, outer.bottom - outer.top));
}

TEST_F(CBaseDlgTest, PlacesBelowWithGapAndCentresInOwner) {
    ResizeProp reference;
    reference.controlId = 10;
    ResizeProp target;
    target.controlId = 11;
    target.marginRight = 0;
    target.marginBottom = 5;
    EXPECT_TRUE(dialog.resizer.placeRelative(reference, target, PL_BELOW, AL_LEFT));
    EXPECT_TRUE(isRect(rectIn(second, dialog.m_hWnd), 20, 45, 80, 75));

    // No reference: the owner's layout rectangle, odd differences round down.
    dialog.setClientSize(301, 201);
    ResizeProp none;
    target.marginBottom = 0;
    EXPECT_TRUE(dialog.resizer.placeRelative(none, target, PL_CENTERV | PL_CENTERH, 0));
    EXPECT_TRUE(isRect(rectIn(second, dialog.m_hWnd), 120, 85, 180, 115));
}

TEST_F(CBaseDlgTest, LimitRefusesAndMovesNothing) {
    ResizeProp reference;
    reference.controlId = 11;  // top at 100
    reference.marginBottom = 81;
    reference.marginRight = -1;
    ResizeProp target;
    target.controlId = 10;
    target.marginRight = 0;
    target.marginBottom = 0;
    EXPECT_FALSE(dialog.resizer.placeRelative(reference, target, PL_ABOVE, AL_LEFT));
    EXPECT_TRUE(isRect(rectIn(first, dialog.m_hWnd), 20, 20, 70, 40));
    reference.marginBottom = 80;
    EXPECT_TRUE(dialog.resizer.placeRelative(reference, target, PL_ABOVE, AL_LEFT));
    EXPECT_TRUE(isRect(rectIn(first, dialog.m_hWnd), 20, 80, 70, 100));
}

TEST_F(CBaseDlgTest, GrowOwnerReachesTheTargetButNotBelowMinimum) {
    ResizeProp reference;
    reference.controlId = 11;  // bottom at 130
    reference.marginRight = 350;
    reference.marginBottom = 0;
    ResizeProp target;
    target.controlId = 10;
    target.marginRight = 0;
    target.marginBottom = 100;
    EXPECT_TRUE(dialog.resizer.placeRelative(reference, target, PL_BELOW | PL_GROWOWNER, AL_LEFT));
    EXPECT_TRUE(isRect(rectIn(first, dialog.m_hWnd), 20, 230, 70, 250));
    EXPECT_EQ(dialog.clientSize().cx, 350);
    EXPECT_EQ(dialog.clientSize().cy, 250);
}

TEST(CBaseDlgFitTest, CoversPlainParentsClientOrFrameworkParentsLayout) {
    HostWindow host(WS_POPUP, 0, 0, 250, 150);
    CWnd hostWrapper;
    ASSERT_TRUE(hostWrapper.Attach(host.hwnd()));
    EXPECT_EQ(SendMessageW(host.hwnd(), FWM_GETLAYOUTRECT, 0, 0), 0);
    DialogTemplate childTemplate(WS_CHILD, 20, 20);
    CBaseDlg child(0, &hostWrapper);
    ASSERT_TRUE(child.CreateIndirect(childTemplate.get(), &hostWrapper));
    child.fitToParent();
    EXPECT_TRUE(isRect(rectIn(child.m_hWnd, host.hwnd()), 0, 0, 250, 150));

    // A framework parent answers with its layout rectangle.
    class WideLayout : public CBaseDlg {
    public:
        WideLayout() : CBaseDlg(0) {}
        void getLayoutRect(RECT* rect) override { *rect = RECT{0, 0, 600, 500}; }
    } parent;
    DialogTemplate parentTemplate(WS_POPUP, 50, 50);
    ASSERT_TRUE(parent.CreateIndirect(parentTemplate.get()));
    CBaseDlg inner(0);
    ASSERT_TRUE(inner.CreateIndirect(childTemplate.get(), &parent));
    inner.fitToParent();
    EXPECT_TRUE(isRect(rectIn(inner.m_hWnd, parent.m_hWnd), 0, 0, 600, 500));

    RECT answered{};
    EXPECT_EQ(inner.SendMessage(FWM_GETLAYOUTRECT, reinterpret_cast<WPARAM>(&answered)), 1);
    EXPECT_TRUE(isRect(answered, 0, 0, 600, 500));
    EXPECT_EQ(reinterpret_cast<CWnd*>(inner.SendMessage(FWM_GETPARENTWND)), &parent);
    child.DestroyWindow();
    hostWrapper.Detach();
}

TEST(CBaseDlgMetricsTest, ScrollBarSizesAndFrameInsets) {
    DialogTemplate plain(WS_POPUP | WS_CAPTION | WS_THICKFRAME, 100, 80);
    DialogTemplate scrolled(WS_POPUP | WS_VSCROLL, 100, 80);
    CBaseDlg framed(0);
    CBaseDlg bar(0);
    ASSERT_TRUE(framed.CreateIndirect(plain.get()));
    ASSERT_TRUE(bar.CreateIndirect(scrolled.get()));
    EXPECT_EQ(framed.visibleScrollBarSizes().cx, 0);
    EXPECT_EQ(bar.visibleScrollBarSizes().cx, GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(bar.visibleScrollBarSizes().cy, 0);

    RECT insets{};
    framed.frameInsets(&insets);
    RECT outer{};
    GetWindowRect(framed.m_hWnd, &outer);
    POINT origin{0, 0};
    ClientToScreen(framed.m_hWnd, &origin);
    EXPECT_EQ(insets.left, origin.x - outer.left);
    EXPECT_EQ(insets.top, origin.y - outer.top);
    EXPECT_GT(insets.top, insets.left);
    EXPECT_EQ(insets.right, insets.left);
    EXPECT_EQ(insets.bottom, insets.left);
    // The scroll bar counts as client area.
    bar.frameInsets(&insets);
    EXPECT_EQ(insets.right, 0);
    framed.frameInsets(nullptr);
}

// A target already where it belongs is not moved, and the owner does not grow
// for it either: growing follows a move only.
TEST_F(CBaseDlgTest, TargetInPlaceLeavesTheOwnerAsItIs) {
    ResizeProp reference;
    reference.controlId = 11;  // bottom at 130
    reference.marginRight = 0;
    reference.marginBottom = 0;
    ResizeProp target;
    target.controlId = 10;
    target.marginRight = 0;
    target.marginBottom = 100;
    SetWindowPos(first, nullptr, 20, 230, 50, 20, SWP_NOZORDER);  // already below, past the client
    EXPECT_TRUE(dialog.resizer.placeRelative(reference, target, PL_BELOW | PL_GROWOWNER, AL_LEFT));
    EXPECT_TRUE(isRect(rectIn(first, dialog.m_hWnd), 20, 230, 70, 250));
    EXPECT_EQ(dialog.clientSize().cx, 300);
    EXPECT_EQ(dialog.clientSize().cy, 200);
}
