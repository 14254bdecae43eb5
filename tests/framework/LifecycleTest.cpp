// Creating, painting and destroying framework dialogs leaves no windows,
// wrappers or GDI objects behind.
#include <windows.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestWindows.h"
#include "dialogs/CImageDlg.h"
#include "drawing/SharedGdiplusSession.h"
#include "framework/CStatic.h"
#include "resources/resource.h"

namespace {

// Every window a round made, to check afterwards that none still leads to a
// wrapper.
void paintedCycle(CWnd& host, int round, std::vector<HWND>& made) {
    auto dialog = std::make_unique<CImageDlg>(IDD_MAIN_PANEL, &host);
    ASSERT_TRUE(dialog->Create(IDD_MAIN_PANEL, &host));
    made.push_back(dialog->m_hWnd);
    // Small, so that 500 rounds of painting through the image library stay quick.
    dialog->setWindowSize(60, 40);
    CStatic spinner;
    ASSERT_TRUE(spinner.SubclassDlgItem(IDC_SPINNER, dialog.get()));
    made.push_back(spinner.m_hWnd);
    dialog->SetBackgroundColor(RGB(250, 250, 250));
    if (round % 2) {
        dialog->setBackgroundImage(new Gdiplus::Bitmap(40, 30, PixelFormat32bppARGB), true);
    } else {
        GradientSettings gradient;
        gradient.direction = round % 4;
        dialog->setBackgroundGradient(gradient);
    }
    dialog->setBorder(RGB(1, 2, 3), 2);
    dialog->ShowWindow(SW_SHOWNA);
    PixelSurface surface(60, 40, RGB(0, 0, 0));
    dialog->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(surface.dc()));
    dialog->SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(surface.dc()),
                        reinterpret_cast<LPARAM>(spinner.m_hWnd));
    PrintWindow(dialog->m_hWnd, surface.dc(), 0);
    dialog->SetWindowPos(nullptr, 0, 0, 50 + round % 7, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    dialog->UpdateWindow();
    pumpMessages();
    // Half the dialogs are destroyed explicitly, half by their destructor.
    if (round % 2) dialog->DestroyWindow();
}

}  // namespace

TEST(LifecycleTest, FiveHundredPaintedDialogsLeaveNothingBehind) {
    // The pictures of the odd rounds need the image library; holding it for
    // the whole test keeps its own caches out of the counts. (That the dialog
    // takes the library itself is checked with the image-background dialog.)
    const auto gdiplus = halvet::sharedGdiplusSession();
    ASSERT_TRUE(gdiplus && gdiplus->ok());
    HostWindow top(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200);
    CWnd host;
    ASSERT_TRUE(host.Attach(top.hwnd()));
    std::vector<HWND> made;
    paintedCycle(host, 0, made);  // first-use caches (stock objects, fonts)
    const size_t gdiBefore = liveGdiObjects();
    const size_t windowsBefore = liveThreadWindows();
    for (int round = 1; round <= 500; ++round) {
        paintedCycle(host, round, made);
        if (testing::Test::HasFatalFailure()) return;
    }
    EXPECT_EQ(liveGdiObjects(), gdiBefore);
    EXPECT_EQ(liveThreadWindows(), windowsBefore);
    size_t stillRouted = 0;
    for (HWND window : made) stillRouted += CWnd::FromHandlePermanent(window) != nullptr;
    EXPECT_EQ(stillRouted, 0u);
    host.Detach();
}

TEST(LifecycleTest, PanelTemplateMakesHiddenChildWithVisibleSpinnerStatic) {
    HostWindow top(WS_OVERLAPPEDWINDOW, 0, 0, 300, 200);
    CWnd host;
    ASSERT_TRUE(host.Attach(top.hwnd()));
    CBaseDlg dialog(IDD_MAIN_PANEL, &host);
    ASSERT_TRUE(dialog.createChild(nullptr));
    EXPECT_EQ(GetParent(dialog.m_hWnd), top.hwnd());
    EXPECT_EQ(dialog.GetStyle() & (WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_BORDER),
              DWORD(WS_CHILD));
    HWND spinner = GetDlgItem(dialog.m_hWnd, IDC_SPINNER);
    ASSERT_NE(spinner, nullptr);
    wchar_t name[32] = {};
    GetClassNameW(spinner, name, 32);
    EXPECT_STREQ(name, L"Static");
    EXPECT_EQ(GetWindowLongW(spinner, GWL_STYLE) & (WS_VISIBLE | SS_TYPEMASK),
              DWORD(WS_VISIBLE | SS_BLACKFRAME));
    dialog.fitToParent();
    RECT client{};
    GetClientRect(top.hwnd(), &client);
    RECT r{};
    GetWindowRect(dialog.m_hWnd, &r);
    EXPECT_EQ(r.right - r.left, client.right);
    EXPECT_EQ(r.bottom - r.top, client.bottom);

    CBaseDlg plain(IDD_MAIN_PANEL_PLAIN, &host);
    ASSERT_TRUE(plain.createChild(nullptr));
    EXPECT_EQ(GetWindow(plain.m_hWnd, GW_CHILD), nullptr);
    EXPECT_FALSE(CBaseDlg(999, &host).createChild(nullptr)) << "no such template";
    host.Detach();
}

TEST(LifecycleTest, DestroyedWindowLeavesNoRoutingEntry) {
    DialogTemplate t(WS_POPUP, 40, 40);
    CBaseDlg dialog(0);
    ASSERT_TRUE(dialog.CreateIndirect(t.get()));
    HWND window = dialog.m_hWnd;
    EXPECT_EQ(CWnd::FromHandlePermanent(window), &dialog);
    DestroyWindow(window);  // from outside the object
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(window), nullptr);
}

namespace {

// What a dialog saw while its own message ran.
struct CloseRecord {
    bool freed = false;
    bool freedInside = true;
    bool windowGoneInside = false;
};

// On WM_APP its window is destroyed and the object handed to DeleteWhenIdle,
// as a host window procedure reached from the dialog may do; the handling
// then goes on using the object.
class SelfClosingDialog : public CDialog {
public:
    explicit SelfClosingDialog(CloseRecord* record) : CDialog(IDD_MAIN_PANEL), record_(record) {}
    ~SelfClosingDialog() override { record_->freed = true; }

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message != WM_APP) return CDialog::OnWndMsg(message, wParam, lParam, result);
        DestroyWindow();
        CWnd::DeleteWhenIdle(this);
        record_->freedInside = record_->freed;
        record_->windowGoneInside = m_hWnd == nullptr;
        *result = 1;
        return TRUE;
    }

private:
    CloseRecord* record_;
};

}  // namespace

TEST(LifecycleTest, DialogDeletedInsideItsOwnMessageIsFreedWhenTheMessageEnds) {
    HostWindow host(WS_OVERLAPPEDWINDOW, 0, 0, 300, 200);
    CWnd parent;
    ASSERT_TRUE(parent.Attach(host.hwnd()));
    CloseRecord record;
    auto* dialog = new SelfClosingDialog(&record);
    ASSERT_TRUE(dialog->Create(IDD_MAIN_PANEL, &parent));
    const HWND window = dialog->m_hWnd;
    EXPECT_EQ(SendMessageW(window, WM_APP, 0, 0), 1);
    EXPECT_FALSE(record.freedInside);
    EXPECT_TRUE(record.windowGoneInside);
    EXPECT_TRUE(record.freed);
    EXPECT_FALSE(IsWindow(window));

    // Outside any message it is freed at once.
    CloseRecord idle;
    CWnd::DeleteWhenIdle(new SelfClosingDialog(&idle));
    EXPECT_TRUE(idle.freed);
    parent.Detach();
}
