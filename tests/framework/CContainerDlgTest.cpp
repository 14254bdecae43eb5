// Containers with real view windows: grid placement, the hook on each view,
// the stretch step, the container messages and the handshake with parents
// and child containers.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestWindows.h"
#include "dialogs/CContainerDlg.h"
#include "dialogs/FrameworkMessages.h"
#include "util/ModuleHandle.h"

namespace {

// A plain view window that counts its moves, answers FWM_ISSTRETCHABLE as
// told, and records the framework messages it receives. With `askedSize` it
// says it is grow-only and reports that size; with `addWhenAsked` it gives
// the container another view while answering whether it is grow-only.
class TestView {
public:
    TestView(HWND parent, int cx, int cy, bool visible = true, DWORD kind = WS_CHILD) {
        hwnd = CreateWindowExW(0, className(), L"", kind | (visible ? WS_VISIBLE : 0), 0, 0, cx, cy,
                               parent, nullptr, halvet::thisModule(), this);
    }
    ~TestView() {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
    TestView(const TestView&) = delete;
    TestView& operator=(const TestView&) = delete;

    RECT rectIn(HWND owner) const {
        RECT r{};
        GetWindowRect(hwnd, &r);
        MapWindowPoints(HWND_DESKTOP, owner, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    int top(HWND owner) const { return rectIn(owner).top; }
    int received(UINT message) const {
        int n = 0;
        for (UINT m : messages) n += m == message;
        return n;
    }

    HWND hwnd = nullptr;
    int moves = 0;  // SetWindowPos calls that reached the window
    bool stretchable = false;
    HWND relayoutOnMove = nullptr;  // a container asked to lay out from inside its layout
    std::optional<SIZE> askedSize;
    HWND addWhenAsked = nullptr;
    std::vector<UINT> messages;

private:
    static const wchar_t* className() {
        static const wchar_t* name = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &procedure;
            wc.hInstance = halvet::thisModule();
            wc.lpszClassName = L"HalvetContainerTestView";
            RegisterClassW(&wc);
            return L"HalvetContainerTestView";
        }();
        return name;
    }
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<TestView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self) {
            if (message >= 0x0400) self->messages.push_back(message);
            if (message == WM_WINDOWPOSCHANGING) {
                ++self->moves;
                if (self->relayoutOnMove) SendMessageW(self->relayoutOnMove, FWM_RELAYOUT, 0, 0);
            }
            if (message == FWM_ISSTRETCHABLE) return self->stretchable ? 1 : 0;
            if (message == FWM_TESTFLAGS && wParam == CF_GROWONLY) {
                if (self->addWhenAsked)
                    SendMessageW(
                        GetParent(window), FWM_ADDVIEW,
                        reinterpret_cast<WPARAM>(std::exchange(self->addWhenAsked, nullptr)), 0);
                return self->askedSize ? 1 : 0;
            }
            if (message == FWM_GETCONTENTSIZE && self->askedSize) {
                *reinterpret_cast<SIZE*>(wParam) = *self->askedSize;
                return 1;
            }
            if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
};

const DLGTEMPLATE* popupTemplate() {
    static DialogTemplate t(WS_POPUP, 100, 100);
    return t.get();
}

const DLGTEMPLATE* childTemplate() {
    static DialogTemplate t(WS_CHILD | WS_VISIBLE, 100, 100);
    return t.get();
}

const DLGTEMPLATE* withStatics() {
    static DialogTemplate t = DialogTemplate(WS_POPUP, 100, 100)
                                  .add(L"Static", 40, WS_VISIBLE, 0, 0, 20, 10)
                                  .add(L"Static", 41, WS_VISIBLE, 0, 0, 20, 30);
    return t.get();
}

// A shown container of 300 x 400 client pixels.
class CContainerDlgTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(container.CreateIndirect(popupTemplate()));
        container.setClientSize(300, 400);
        container.ShowWindow(SW_SHOWNA);
    }
    void TearDown() override {
        views.clear();
        container.DestroyWindow();
    }
    TestView& view(int cx, int cy, bool visible = true) {
        views.push_back(std::make_unique<TestView>(container.m_hWnd, cx, cy, visible));
        return *views.back();
    }
    TestView& added(int cx, int cy) {
        TestView& v = view(cx, cy);
        container.addView(v.hwnd);
        return v;
    }
    int topOf(const TestView& v) const { return v.top(container.m_hWnd); }

    CContainerDlg container{0};
    std::vector<std::unique_ptr<TestView>> views;
};

}  // namespace

// Three views of heights 100, 50, 80 in one column: y = 0, 100, 150; the
// grid needs the widest view by 230, and the container scrolls that size.
TEST_F(CContainerDlgTest, SingleColumnStacksViews) {
    TestView& a = added(200, 100);
    TestView& b = added(250, 50);
    TestView& c = added(120, 80);
    EXPECT_EQ(topOf(a), 0);
    EXPECT_EQ(topOf(b), 100);
    EXPECT_EQ(topOf(c), 150);
    const SIZE need = container.computeGridSize(CContainerDlg::kNoView, true, nullptr);
    EXPECT_EQ(need.cx, 250);
    EXPECT_EQ(need.cy, 230);
    SIZE reported{};
    EXPECT_EQ(container.SendMessage(FWM_GETCONTENTSIZE, reinterpret_cast<WPARAM>(&reported)), 1);
    EXPECT_EQ(reported.cy, 230);
    EXPECT_EQ(container.contentWidth, 250);
    EXPECT_EQ(container.contentHeight, 230);
    for (const ViewData& v : container.views) {
        EXPECT_TRUE(v.viewFlags & VF_HOOKED);
        EXPECT_FALSE(v.viewFlags & VF_ASKSIZE);
        EXPECT_TRUE(GetWindowLongPtrW(v.hwnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    }
    EXPECT_TRUE(GetWindowLongPtrW(container.m_hWnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    EXPECT_EQ(container.findGridPosition(c.hwnd).x, 2);
    EXPECT_EQ(container.findGridPosition(container.m_hWnd).x, -1);
}

// A grid taller than the client scrolls; layouts place views at their
// scrolled positions.
TEST_F(CContainerDlgTest, ScrolledGridKeepsViewsWhereTheContentIs) {
    added(200, 300);
    TestView& b = added(200, 300);
    EXPECT_EQ(container.contentHeight, 600);
    EXPECT_EQ(container.pageHeight, 400);
    container.scrollBy(0, 100);
    ASSERT_EQ(topOf(b), 200);
    container.SendMessage(FWM_RELAYOUT);
    EXPECT_EQ(topOf(b), 200);
}

// Hiding the middle view lays out while its style still says visible: the
// hook's assumption wins and the third view moves up; showing it again moves
// the third back. Resizing a view lays out again.
TEST_F(CContainerDlgTest, ShowingHidingAndSizingViewsLayOutAgain) {
    added(200, 100);
    TestView& b = added(250, 50);
    TestView& c = added(120, 80);
    ShowWindow(b.hwnd, SW_HIDE);
    EXPECT_EQ(topOf(c), 100);
    ShowWindow(b.hwnd, SW_SHOWNA);
    EXPECT_EQ(topOf(c), 150);
    SetWindowPos(b.hwnd, nullptr, 0, 0, 250, 70, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(topOf(c), 170);
}

// A hidden view that is resized takes no place in the grid.
TEST_F(CContainerDlgTest, ResizedHiddenViewStaysOutOfTheGrid) {
    added(200, 100);
    TestView& b = added(250, 50);
    TestView& c = added(120, 80);
    ShowWindow(b.hwnd, SW_HIDE);
    ASSERT_EQ(topOf(c), 100);
    SetWindowPos(b.hwnd, nullptr, 0, 0, 250, 60, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(topOf(c), 100);
}

// Not scrolling, not fitting, 400 high: of heights 100 and 50 the second,
// the only stretchable one, becomes 300 high and as wide as the client.
TEST_F(CContainerDlgTest, StretchViewTakesTheSpareSpace) {
    container.scrollEnabled = false;
    container.autoFit = false;
    container.updateScrollBars();
    TestView& a = view(200, 100);
    TestView& b = view(120, 50);
    b.stretchable = true;
    container.addView(a.hwnd);
    container.addView(b.hwnd);
    const RECT r = b.rectIn(container.m_hWnd);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(r.bottom - r.top, 300);
    EXPECT_EQ(r.right - r.left, container.clientSize().cx);
    // A view marked not to stretch is passed over.
    container.views[1].viewFlags |= VF_NOSTRETCH;
    SetWindowPos(b.hwnd, nullptr, 0, 0, 120, 50, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(b.rectIn(container.m_hWnd).bottom, 150);
}

// Two views per row and three views: each new view goes to the end of the
// complete rows, so b (added with no complete row yet) goes before a, and c
// after both. The trailing view is placed in its own row, is never the
// stretch view, and nothing reads past the tracks.
TEST_F(CContainerDlgTest, IncompleteLastRowIsPlacedButNotStretched) {
    container.scrollEnabled = false;
    container.autoFit = false;
    container.gridColumns = 2;
    TestView& a = view(100, 40);
    TestView& b = view(50, 60);
    TestView& c = view(70, 30);
    c.stretchable = true;
    for (TestView* v : {&a, &b, &c}) container.addView(v->hwnd);
    ASSERT_EQ(container.views.size(), 3u);
    EXPECT_EQ(container.views[0].hwnd, b.hwnd);
    EXPECT_EQ(container.views[1].hwnd, a.hwnd);
    EXPECT_EQ(container.views[2].hwnd, c.hwnd);
    container.relayout(1, CContainerDlg::kNoView);
    EXPECT_EQ(a.rectIn(container.m_hWnd).left, 50);  // beside b in the first row
    const RECT rc = c.rectIn(container.m_hWnd);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.right - rc.left, 70);
    EXPECT_EQ(rc.bottom - rc.top, 30);
    EXPECT_EQ(rc.top, 60);  // below the first row
    EXPECT_EQ(container.findGridPosition(c.hwnd).x, 1);
}

// Adding the last view again changes nothing; adding the first again moves
// it to the end, and it stays hooked: its destruction removes its entry.
TEST_F(CContainerDlgTest, ReaddingViewsMovesAndRehooks) {
    TestView& a = added(200, 100);
    TestView& b = added(250, 50);
    TestView& c = added(120, 80);
    const int moves = a.moves + b.moves + c.moves;
    container.addView(c.hwnd);
    EXPECT_EQ(a.moves + b.moves + c.moves, moves);  // no layout
    ASSERT_EQ(container.views.back().hwnd, c.hwnd);

    container.views[0].margins = RECT{1, 2, 3, 4};
    container.addView(a.hwnd);
    ASSERT_EQ(container.views.size(), 3u);
    EXPECT_EQ(container.views[0].hwnd, b.hwnd);
    EXPECT_EQ(container.views[2].hwnd, a.hwnd);
    EXPECT_EQ(container.views[2].margins.bottom, 4);  // the record was carried over
    EXPECT_TRUE(container.views[2].viewFlags & VF_HOOKED);
    EXPECT_EQ(topOf(b), 0);
    EXPECT_EQ(topOf(c), 50);
    EXPECT_EQ(topOf(a), 130 + 2);

    DestroyWindow(a.hwnd);
    EXPECT_EQ(container.views.size(), 2u);
    ShowWindow(b.hwnd, SW_HIDE);
    EXPECT_EQ(topOf(c), 0);
}

// Before measuring, a layout asks each visible view to lay itself out, in
// list order; a view being shown or hidden counts by what the layout is told,
// not by its style, which does not say so yet. The size handshake skips it.
TEST_F(CContainerDlgTest, ChildrenLayOutFirstByTheSameVisibilityRule) {
    TestView& a = added(200, 100);
    TestView& b = added(250, 50);
    TestView& hidden = view(100, 10, false);
    container.addView(hidden.hwnd);
    a.messages.clear();
    b.messages.clear();
    container.SendMessage(FWM_RELAYOUT);
    EXPECT_EQ(a.received(FWM_RELAYOUT), 1);
    EXPECT_EQ(b.received(FWM_RELAYOUT), 1);
    EXPECT_EQ(hidden.received(FWM_RELAYOUT), 0);

    ShowWindow(b.hwnd, SW_HIDE);  // still WS_VISIBLE while the layout runs
    EXPECT_EQ(b.received(FWM_RELAYOUT), 1);
    EXPECT_EQ(a.received(FWM_RELAYOUT), 2);
    ShowWindow(hidden.hwnd, SW_SHOWNA);  // not yet WS_VISIBLE
    EXPECT_EQ(hidden.received(FWM_RELAYOUT), 1);

    a.messages.clear();
    container.relayout(CContainerDlg::kAssumeVisible | CContainerDlg::kHandshake,
                       CContainerDlg::kNoView);
    EXPECT_EQ(a.received(FWM_RELAYOUT), 0);
}

// A grow-only view is asked for its size when attached; the grid measures it
// by its answer (without its margins), placing keeps its window size. The
// entry is found again after the question, even when the view adds another
// view to the container while answering.
TEST_F(CContainerDlgTest, GrowOnlyViewIsMeasuredByItsAnswerEvenWhenItChangesTheList) {
    TestView& a = added(200, 100);
    TestView& asking = view(80, 40);
    TestView& extra = view(60, 20);
    asking.askedSize = SIZE{90, 333};
    asking.addWhenAsked = extra.hwnd;
    container.views.shrink_to_fit();  // the nested addition moves the list
    container.addView(asking.hwnd);
    ASSERT_EQ(container.views.size(), 3u);
    EXPECT_EQ(container.views[0].hwnd, a.hwnd);
    EXPECT_EQ(container.views[1].hwnd, asking.hwnd);
    EXPECT_EQ(container.views[2].hwnd, extra.hwnd);
    EXPECT_TRUE(container.views[1].viewFlags & VF_ASKSIZE);
    EXPECT_TRUE(container.views[1].viewFlags & VF_HOOKED);
    EXPECT_FALSE(container.views[2].viewFlags & VF_ASKSIZE);

    container.views[1].margins = RECT{5, 5, 5, 5};
    const SIZE need = container.computeGridSize(CContainerDlg::kNoView, true, nullptr);
    EXPECT_EQ(need.cx, 200);
    EXPECT_EQ(need.cy, 100 + 333 + 20);
    container.SendMessage(FWM_RELAYOUT);
    const RECT r = asking.rectIn(container.m_hWnd);
    EXPECT_EQ(r.bottom - r.top, 40);
    EXPECT_EQ(r.top, 100 + 5);
    EXPECT_EQ(extra.top(container.m_hWnd), 100 + 5 + 40 + 5);
}

// A grow-only container takes the grid's size as its content size only when
// the grid outgrows the client area.
TEST_F(CContainerDlgTest, GrowOnlyContainerTakesOnlyALargerContentSize) {
    container.containerFlags |= CF_GROWONLY;
    const auto widthBefore = container.contentWidth;
    const auto heightBefore = container.contentHeight;
    added(200, 100);
    added(250, 150);
    EXPECT_EQ(container.contentWidth, widthBefore);
    EXPECT_EQ(container.contentHeight, heightBefore);
    added(120, 200);
    EXPECT_EQ(container.contentWidth, 250);
    EXPECT_EQ(container.contentHeight, 450);
}

// A layout asked for from inside a layout is dropped; FWM_SETOPTION(1, 1)
// suspends layout until FWM_SETOPTION(1, 0).
TEST_F(CContainerDlgTest, ReentrantLayoutIsIgnoredAndLayoutCanBeSuspended) {
    TestView& a = added(200, 100);
    TestView& b = added(250, 50);
    a.relayoutOnMove = container.m_hWnd;
    a.moves = b.moves = 0;
    container.SendMessage(FWM_RELAYOUT);
    EXPECT_EQ(a.moves, 1);
    EXPECT_EQ(b.moves, 1);
    a.relayoutOnMove = nullptr;

    EXPECT_EQ(container.SendMessage(FWM_SETOPTION, 1, 1), 1);
    container.SendMessage(FWM_RELAYOUT);
    SetWindowPos(a.hwnd, nullptr, 0, 0, 200, 30, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(topOf(b), 100);
    EXPECT_EQ(container.SendMessage(FWM_SETOPTION, 1, 0), 1);
    container.SendMessage(FWM_RELAYOUT);
    EXPECT_EQ(topOf(b), 30);
}

// Hidden containers do not lay out unless told to (option 0).
TEST_F(CContainerDlgTest, HiddenContainerLaysOutOnlyWithOption) {
    TestView& a = added(200, 100);
    TestView& b = added(250, 50);
    container.ShowWindow(SW_HIDE);
    SetWindowPos(a.hwnd, nullptr, 0, 0, 200, 30, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(topOf(b), 100);
    container.SendMessage(FWM_SETOPTION, 0, 1);
    EXPECT_TRUE(container.containerFlags & CF_LAYOUTHIDDEN);
    container.SendMessage(FWM_RELAYOUT);
    EXPECT_EQ(topOf(b), 30);
    container.SendMessage(FWM_SETOPTION, 7, 1);  // unknown options change nothing
    EXPECT_EQ(container.containerFlags & ~CF_LAYOUTHIDDEN, 0u);
}

// FWM_SETFLAGS sets with lParam 1 only; anything else clears.
TEST_F(CContainerDlgTest, SetFlagsSetsOnlyWithOneAndTestFlagsAnswers) {
    EXPECT_EQ(container.SendMessage(FWM_SETFLAGS, CF_GROWONLY | CF_LAYOUTHIDDEN, 1),
              static_cast<LRESULT>(CF_GROWONLY | CF_LAYOUTHIDDEN));
    EXPECT_EQ(container.SendMessage(FWM_TESTFLAGS, CF_GROWONLY), 1);
    EXPECT_EQ(container.SendMessage(FWM_SETFLAGS, CF_GROWONLY, 2),
              static_cast<LRESULT>(CF_LAYOUTHIDDEN));
    EXPECT_EQ(container.SendMessage(FWM_TESTFLAGS, CF_GROWONLY), 0);
    EXPECT_EQ(container.SendMessage(FWM_SETFLAGS, CF_LAYOUTHIDDEN, 0), 0);
}

// With no views a layout sends nothing, but the size handshake with the
// parent still happens.
TEST_F(CContainerDlgTest, EmptyContainerStillShakesHandsWithParent) {
    TestView parent(nullptr, 10, 10, true, WS_POPUP);
    CContainerDlg child{0};
    child.scrollEnabled = false;
    CWnd* parentWnd = CWnd::FromHandle(parent.hwnd);
    ASSERT_TRUE(child.CreateIndirect(childTemplate(), parentWnd));
    EXPECT_EQ(parent.received(FWM_ADDVIEW), 1);
    parent.messages.clear();
    child.setClientSize(120, 90);
    ASSERT_EQ(parent.messages.size(), 2u);
    EXPECT_EQ(parent.messages[0], FWM_SETFLAGS);
    EXPECT_EQ(parent.messages[1], FWM_TESTFLAGS);
    child.DestroyWindow();
}

// A child container announces itself at initialisation and the parent
// container adopts it; with CF_NOREGISTER it stays quiet.
TEST_F(CContainerDlgTest, ParentContainerAdoptsAnnouncingChildContainer) {
    CContainerDlg child{0};
    ASSERT_TRUE(child.CreateIndirect(childTemplate(), &container));
    ASSERT_EQ(container.views.size(), 1u);
    EXPECT_EQ(container.views[0].hwnd, child.m_hWnd);
    EXPECT_TRUE(container.views[0].viewFlags & VF_HOOKED);

    CContainerDlg quiet{0};
    quiet.containerFlags = CF_NOREGISTER;
    ASSERT_TRUE(quiet.CreateIndirect(childTemplate(), &container));
    EXPECT_EQ(container.views.size(), 1u);

    // A grow-only child is asked for its size.
    CContainerDlg grower{0};
    grower.containerFlags = CF_GROWONLY;
    ASSERT_TRUE(grower.CreateIndirect(childTemplate(), &container));
    ASSERT_EQ(container.views.size(), 2u);
    EXPECT_TRUE(container.views[1].viewFlags & VF_ASKSIZE);

    grower.DestroyWindow();
    EXPECT_EQ(container.views.size(), 1u);
    quiet.DestroyWindow();
    child.DestroyWindow();
    EXPECT_TRUE(container.views.empty());
}

// Resizing the outer container stretches the inner one; the handshake makes
// each lay out exactly once (the inner one's views are moved once).
TEST_F(CContainerDlgTest, HandshakeLaysOutEachContainerOnce) {
    container.scrollEnabled = false;
    container.autoFit = false;
    container.updateScrollBars();
    CContainerDlg inner{0};
    inner.scrollEnabled = false;  // auto-fit: stretchable, and shakes hands with its parent
    ASSERT_TRUE(inner.CreateIndirect(childTemplate(), &container));
    inner.setClientSize(100, 100);
    TestView first(inner.m_hWnd, 80, 20);
    TestView second(inner.m_hWnd, 60, 30);
    inner.addView(first.hwnd);
    inner.addView(second.hwnd);
    ASSERT_EQ(container.views.size(), 1u);

    first.moves = second.moves = 0;
    container.setClientSize(500, 450);
    RECT r{};
    GetWindowRect(inner.m_hWnd, &r);
    EXPECT_EQ(r.right - r.left, 500);
    EXPECT_EQ(r.bottom - r.top, 450);
    EXPECT_EQ(first.moves, 1);
    EXPECT_EQ(second.moves, 1);
    EXPECT_EQ(second.top(inner.m_hWnd), 20);
    EXPECT_FALSE(container.containerFlags & (CF_LAYOUTPENDING | CF_LAYOUTBUSY));
    EXPECT_FALSE(inner.containerFlags & (CF_LAYOUTPENDING | CF_LAYOUTBUSY));
    inner.DestroyWindow();
}

// CF_COLLECTCHILDREN adopts the direct children at the next layout and is
// cleared once there are views.
TEST(CContainerDlgCollectTest, CollectsDirectChildrenOnce) {
    CContainerDlg container{0};
    ASSERT_TRUE(container.CreateIndirect(withStatics()));
    container.ShowWindow(SW_SHOWNA);
    container.containerFlags |= CF_COLLECTCHILDREN;
    container.relayout(1, CContainerDlg::kNoView);
    ASSERT_EQ(container.views.size(), 2u);
    EXPECT_FALSE(container.containerFlags & CF_COLLECTCHILDREN);
    RECT first{};
    GetWindowRect(container.views[0].hwnd, &first);
    RECT second{};
    GetWindowRect(container.views[1].hwnd, &second);
    EXPECT_EQ(second.top - first.top, first.bottom - first.top);  // stacked
    container.DestroyWindow();

    CContainerDlg empty{0};
    ASSERT_TRUE(empty.CreateIndirect(popupTemplate()));
    empty.containerFlags |= CF_COLLECTCHILDREN;
    empty.relayout(1, CContainerDlg::kNoView);
    EXPECT_TRUE(empty.containerFlags & CF_COLLECTCHILDREN);
}

namespace {

// A container that moves its grid in by (10, 20) and the views marked for it
// down by 7, and records whom it was asked for (null: the grid).
class AdjustingContainer : public CContainerDlg {
public:
    AdjustingContainer() : CContainerDlg(0) {}
    std::vector<HWND> asked;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message != FWM_ADJUSTMARGINS)
            return CContainerDlg::OnWndMsg(message, wParam, lParam, result);
        auto* margins = reinterpret_cast<RECT*>(wParam);
        asked.push_back(reinterpret_cast<HWND>(lParam));
        if (lParam) {
            margins->top += 7;
        } else {
            margins->left += 10;
            margins->top += 20;
        }
        *result = 0;
        return TRUE;
    }
};

}  // namespace

// The grid's margins, and those of a view marked for it, are adjusted for
// each use; the stored margins stay as they were and unmarked views are not
// asked about.
TEST(CContainerDlgMarginsTest, AdjustedMarginsPlaceAndMeasureTheGrid) {
    AdjustingContainer container;
    ASSERT_TRUE(container.CreateIndirect(popupTemplate()));
    container.setClientSize(300, 400);
    container.ShowWindow(SW_SHOWNA);
    TestView a(container.m_hWnd, 200, 100);
    TestView b(container.m_hWnd, 50, 50);
    container.addView(a.hwnd);
    container.addView(b.hwnd);
    container.gridMargins = RECT{1, 2, 0, 0};
    container.views[0].margins = RECT{0, 3, 0, 0};
    container.views[0].viewFlags |= VF_ADJUSTMARGINS;
    container.relayout(CContainerDlg::kAssumeVisible, CContainerDlg::kNoView);
    EXPECT_EQ(a.rectIn(container.m_hWnd).left, 1);
    EXPECT_EQ(a.top(container.m_hWnd), 2 + 3 + 7);
    EXPECT_EQ(b.top(container.m_hWnd), 2 + 110);

    container.containerFlags |= CF_ADJUSTMARGINS;
    container.asked.clear();
    container.relayout(CContainerDlg::kAssumeVisible, CContainerDlg::kNoView);
    EXPECT_EQ(a.rectIn(container.m_hWnd).left, 11);
    EXPECT_EQ(a.top(container.m_hWnd), 22 + 3 + 7);
    EXPECT_EQ(b.top(container.m_hWnd), 22 + 110);
    const SIZE need = container.computeGridSize(CContainerDlg::kNoView, true, nullptr);
    EXPECT_EQ(need.cx, 11 + 200);
    EXPECT_EQ(need.cy, 22 + 110 + 50);
    EXPECT_EQ(container.gridMargins.top, 2);
    EXPECT_EQ(container.views[0].margins.top, 3);
    EXPECT_NE(std::find(container.asked.begin(), container.asked.end(), nullptr),
              container.asked.end());
    EXPECT_NE(std::find(container.asked.begin(), container.asked.end(), a.hwnd),
              container.asked.end());
    EXPECT_EQ(std::find(container.asked.begin(), container.asked.end(), b.hwnd),
              container.asked.end());
    container.DestroyWindow();
}
