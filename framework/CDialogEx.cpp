#include "framework/CDialogEx.h"

#include <cwchar>

#include "framework/CDC.h"

namespace {

bool hasClass(const CWnd* control, const wchar_t* name) {
    if (!control || !control->m_hWnd) return false;
    wchar_t className[256] = {};
    ::GetClassNameW(control->m_hWnd, className, 255);
    return std::wcscmp(className, name) == 0;
}

}  // namespace

void CDialogEx::SetBackgroundColor(COLORREF color, BOOL repaint) {
    m_brBkgr.CreateSolidBrush(color);
    // A window that cannot be seen is painted whole when it is shown.
    if (repaint && m_hWnd && IsWindowVisible()) {
        Invalidate();
        UpdateWindow();
    }
}

BOOL CDialogEx::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_ERASEBKGND) {
        CDC dc(reinterpret_cast<HDC>(wParam));
        *result = OnEraseBkgnd(&dc);
        return TRUE;
    }
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        CDC dc(reinterpret_cast<HDC>(wParam));
        *result = reinterpret_cast<LRESULT>(OnCtlColor(
            &dc, CWnd::FromHandle(reinterpret_cast<HWND>(lParam)), message - WM_CTLCOLORMSGBOX));
        return TRUE;
    }
    if (message == WM_DESTROY) {
        OnDestroy();
        return TRUE;
    }
    return CDialog::OnWndMsg(message, wParam, lParam, result);
}

BOOL CDialogEx::OnEraseBkgnd(CDC* dc) {
    if (!m_brBkgr.GetSafeHandle()) return CDialog::OnEraseBkgnd(dc);
    RECT client{};
    GetClientRect(&client);
    dc->FillRect(&client, &m_brBkgr);
    return TRUE;
}

HBRUSH CDialogEx::OnCtlColor(CDC* dc, CWnd* control, UINT type) {
    if (m_brBkgr.GetSafeHandle()) {
        if (type == CTLCOLOR_DLG) return m_brBkgr;
        if (type == CTLCOLOR_STATIC &&
            (hasClass(control, L"Static") || hasClass(control, L"Button"))) {
            dc->SetBkMode(TRANSPARENT);
            return m_brBkgr;
        }
    }
    return CDialog::OnCtlColor(dc, control, type);
}
