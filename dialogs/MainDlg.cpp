#include "dialogs/MainDlg.h"

#include "dialogs/FrameworkMessages.h"
#include "host/HalvetAppUIMessageProcessor.h"
#include "resources/resource.h"

namespace {
constexpr wchar_t kWindowText[] = L"HalvetPanel Dialog";
constexpr float kSpinnerStep = 30.0f;
}  // namespace

MainDlg::MainDlg(CWnd* parent) : CContainerDlg(kTemplateId, parent), backgroundBrush(kBackground) {}

MainDlg::~MainDlg() = default;

BOOL MainDlg::OnInitDialog() {
    // Both steps send messages to the host's window, where the host may
    // destroy this dialog: without a window nothing more is set up.
    fitToParent();
    if (!m_hWnd) return FALSE;
    CContainerDlg::OnInitDialog();
    if (!m_hWnd) return FALSE;
    if (scrollEnabled) {
        scrollEnabled = false;
        updateScrollBars();
    }
    autoFit = true;
    SetWindowText(kWindowText);
    SetBackgroundColor(kBackground, TRUE);

    spinner.SubclassDlgItem(kSpinnerId, this);
    spinner.backgroundColor = kBackground;
    spinner.ResetBackground();
    const bool highDpi = HalvetAppUIMessageProcessor::instance()->isHighDPI;
    spinner.SetImageResource(highDpi ? IDB_SPINNER_HIGHDPI : IDB_SPINNER_NORMAL);
    spinner.step = kSpinnerStep;
    spinner.startTurning();
    initialised_ = true;
    return TRUE;
}

BOOL MainDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_ERASEBKGND:
            *result = onEraseBackground(reinterpret_cast<HDC>(wParam));
            return TRUE;
        case WM_SIZE: {
            const BOOL handled = CContainerDlg::OnWndMsg(message, wParam, lParam, result);
            // Looking for a web view costs a round trip to the window manager
            // per child; while fitting itself at start there is none. The
            // container's handling asks the host's window, which may have
            // destroyed this dialog.
            if (initialised_ && m_hWnd) fillWithContent(LOWORD(lParam), HIWORD(lParam));
            return handled;
        }
        case WM_SHOWWINDOW: {
            const BOOL handled = CContainerDlg::OnWndMsg(message, wParam, lParam, result);
            if (wParam && m_hWnd) focusContent();
            return handled;
        }
        case WM_SETFOCUS:
            // The dialog's focus goes on to its web view. Not left to the
            // dialog manager, which may still write to its data of the dialog
            // after handing the focus on; the web view is the host's window,
            // where the host may destroy this dialog.
            if (HWND content = contentWindow()) ::SetFocus(content);
            *result = 0;
            return TRUE;
        case FWM_FOCUSCONTENT:
            focusContent();
            *result = 1;
            return TRUE;
        default:
            return CContainerDlg::OnWndMsg(message, wParam, lParam, result);
    }
}

BOOL MainDlg::onEraseBackground(HDC dc) {
    // While the spinner shows, the dialog is what the user sees; afterwards
    // the web view covers it, so only the view is asked to repaint.
    if (spinner.m_hWnd && ::IsWindowVisible(spinner.m_hWnd)) {
        RECT client{};
        GetClientRect(&client);
        ::FillRect(dc, &client, backgroundBrush);
        return FALSE;
    }
    if (HWND first = ::GetWindow(m_hWnd, GW_CHILD)) ::InvalidateRect(first, nullptr, TRUE);
    return TRUE;
}

HWND MainDlg::contentWindow() const {
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (::GetDlgCtrlID(child) != kSpinnerId) return child;
    return nullptr;
}

void MainDlg::fillWithContent(int cx, int cy) {
    if (HWND content = contentWindow()) ::SetWindowPos(content, nullptr, 0, 0, cx, cy, 0);
}

void MainDlg::focusContent() {
    HWND content = contentWindow();
    if (!content) return;
    // The web view is the host's window and runs the host's code on each of
    // these calls: the next one is made only while both windows remain.
    const auto stillThere = [this, content] {
        return m_hWnd && ::IsWindow(content) && ::GetParent(content) == m_hWnd;
    };
    ::BringWindowToTop(content);
    if (!stillThere()) return;
    ::SetForegroundWindow(content);
    if (!stillThere()) return;
    ::SetFocus(content);
}
