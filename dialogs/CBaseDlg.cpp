#include "dialogs/CBaseDlg.h"

#include "dialogs/FrameworkMessages.h"
#include "dialogs/WindowMetrics.h"

BOOL CBaseDlg::createChild(CWnd* parent) {
    if (!parent) parent = m_pParentWnd;
    m_pParentWnd = parent;
    return Create(m_lpszTemplateName, parent);
}

void CBaseDlg::getLayoutRect(RECT* rect) {
    GetClientRect(rect);
}

void CBaseDlg::fitToParent() {
    CWnd* parent = m_pParentWnd ? m_pParentWnd : GetParent();
    if (!parent || !parent->m_hWnd) return;
    RECT layout{};
    const HWND parentWindow = parent->m_hWnd;
    // The parent may be the host's window, which may destroy this one (and
    // the parent's wrapper) in its answer.
    if (!::SendMessageW(parentWindow, FWM_GETLAYOUTRECT, reinterpret_cast<WPARAM>(&layout), 0))
        ::GetClientRect(parentWindow, &layout);
    if (!m_hWnd) return;
    SetWindowPos(nullptr, layout.left, layout.top, layout.right - layout.left,
                 layout.bottom - layout.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CBaseDlg::setWindowSize(int cx, int cy) {
    RECT outer{};
    GetWindowRect(&outer);
    if (outer.right - outer.left == cx && outer.bottom - outer.top == cy) return false;
    SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

bool CBaseDlg::setClientSize(int cx, int cy) {
    RECT outer{};
    GetWindowRect(&outer);
    const SIZE client = clientSize();
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    return setWindowSize(cx > 0 ? width - client.cx + cx : width,
                         cy > 0 ? height - client.cy + cy : height);
}

SIZE CBaseDlg::clientSize() const {
    RECT client{};
    GetClientRect(&client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

SIZE CBaseDlg::visibleScrollBarSizes() const {
    return windowMetrics::visibleScrollBarSizes(m_hWnd);
}

void CBaseDlg::frameInsets(RECT* insets) const {
    if (insets) *insets = windowMetrics::frameInsets(m_hWnd);
}

BOOL CBaseDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            *result = 0;
            return TRUE;
        case WM_SHOWWINDOW:
            OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam));
            *result = 0;
            return TRUE;
        case WM_DESTROY:
            OnDestroy();
            *result = 0;
            return TRUE;
        case FWM_GETLAYOUTRECT:
            if (!wParam) return FALSE;
            getLayoutRect(reinterpret_cast<RECT*>(wParam));
            *result = 1;
            return TRUE;
        case FWM_GETPARENTWND: {
            CWnd* parent = GetParent();
            *result = reinterpret_cast<LRESULT>(parent ? parent : m_pParentWnd);
            return TRUE;
        }
        default:
            return CNEXDlg::OnWndMsg(message, wParam, lParam, result);
    }
}

void CBaseDlg::OnSize(UINT type, int cx, int cy) {
    CNEXDlg::OnSize(type, cx, cy);
    if (type != SIZE_MINIMIZED) resizer.applyAll();
}

void CBaseDlg::OnShowWindow(BOOL show, UINT status) {
    CNEXDlg::OnShowWindow(show, status);
    onShowChanged(show, status);
}

void CBaseDlg::OnDestroy() {
    onDestroying();
    CNEXDlg::OnDestroy();
}
