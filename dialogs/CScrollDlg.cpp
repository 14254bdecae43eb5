#include "dialogs/CScrollDlg.h"

#include <climits>
#include <vector>

#include "dialogs/FrameworkMessages.h"
#include "dialogs/ScrollMath.h"

void CScrollDlg::getLayoutRect(RECT* rect) {
    if (!rect) return;
    RECT client{};
    GetClientRect(&client);
    *rect = scrollMath::layoutRect(client, SIZE{contentWidth, contentHeight}, scrollEnabled,
                                   excludeScrollBars, visibleScrollBarSizes());
}

void CScrollDlg::setContentSize(int width, int height) {
    const bool fits = !scrollEnabled && autoFit;
    if (fits) {
        if (width <= 0) width = initialClientWidth;
        if (height <= 0) height = initialClientHeight;
    }
    if (width == contentWidth && height == contentHeight) return;
    contentWidth = width;
    contentHeight = height;
    updateScrollBars();
    if (fits) setClientSize(width, height);
}

SIZE CScrollDlg::effectiveContent() const {
    return scrollEnabled ? SIZE{contentWidth, contentHeight} : SIZE{0, 0};
}

void CScrollDlg::updateScrollBars() {
    if (!m_hWnd) return;
    RECT client{};
    GetClientRect(&client);
    const SIZE bars = visibleScrollBarSizes();
    const SIZE content = effectiveContent();
    const int dx =
        updateAxis(SB_HORZ, client.right - client.left + bars.cx, content.cx, pageWidth, scrollX);
    const int dy =
        updateAxis(SB_VERT, client.bottom - client.top + bars.cy, content.cy, pageHeight, scrollY);
    if (dx || dy) scrollChildren(dx, dy);
}

namespace {

BOOL CALLBACK collectDirectChild(HWND child, LPARAM data) {
    auto* list = reinterpret_cast<std::vector<HWND>*>(data);
    if (::GetParent(child) == list->front()) list->push_back(child);
    return TRUE;
}

}  // namespace

void CScrollDlg::scrollChildren(int dx, int dy) {
    if (::IsWindowVisible(m_hWnd)) {
        ::ScrollWindow(m_hWnd, dx, dy, nullptr, nullptr);
        return;
    }
    // ScrollWindow does nothing to a window that cannot be drawn, children
    // included: a hidden dialog moves its children itself, so that they stay
    // in step with the positions.
    std::vector<HWND> children{m_hWnd};
    ::EnumChildWindows(m_hWnd, &collectDirectChild, reinterpret_cast<LPARAM>(&children));
    for (size_t i = 1; i < children.size(); ++i) {
        RECT r{};
        ::GetWindowRect(children[i], &r);
        ::MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        ::SetWindowPos(children[i], nullptr, r.left + dx, r.top + dy, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

int CScrollDlg::updateAxis(int bar, int avail, int content, int32_t& page, int32_t& position) {
    const scrollMath::AxisState axis = scrollMath::updateAxis(avail, content, page, position);
    const int delta = ::GetScrollPos(m_hWnd, bar) - axis.position;
    // Stored before the bar changes: showing or hiding a bar resizes the
    // client area, and the WM_SIZE that follows must see the new state.
    page = axis.page;
    position = axis.position;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = axis.maximum;
    info.nPage = static_cast<UINT>(axis.page);
    info.nPos = axis.position;
    ::SetScrollInfo(m_hWnd, bar, &info, TRUE);
    return delta;
}

void CScrollDlg::scrollBy(int dx, int dy) {
    if (!m_hWnd || (dx == 0 && dy == 0)) return;
    const SIZE content = effectiveContent();
    stepAxis(SB_HORZ, content.cx, pageWidth, scrollX, dx);
    stepAxis(SB_VERT, content.cy, pageHeight, scrollY, dy);
}

bool CScrollDlg::stepAxis(int bar, int content, int page, int32_t& position, int requested) {
    const int32_t step = scrollMath::clampedStep(content, page, position, requested);
    if (step == 0) return false;
    position += step;
    ::SetScrollPos(m_hWnd, bar, position, TRUE);
    if (bar == SB_HORZ) {
        scrollChildren(-step, 0);
    } else {
        scrollChildren(0, -step);
    }
    return true;
}

int CScrollDlg::trackPosition(int bar) const {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_TRACKPOS;
    if (!::GetScrollInfo(m_hWnd, bar == 0 ? SB_HORZ : SB_VERT, &info)) return 0;
    return info.nTrackPos;
}

void CScrollDlg::captureInitialClientSize() {
    const SIZE client = clientSize();
    initialClientWidth = client.cx;
    initialClientHeight = client.cy;
}

BOOL CScrollDlg::OnInitDialog() {
    const BOOL result = CImageDlg::OnInitDialog();
    captureInitialClientSize();
    return result;
}

BOOL CScrollDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        // Notifications from scroll-bar controls inside the dialog count as
        // the dialog's own bar of that axis: these dialogs hold none.
        case WM_HSCROLL:
            OnHScroll(LOWORD(wParam));
            *result = 0;
            return TRUE;
        case WM_VSCROLL:
            OnVScroll(LOWORD(wParam));
            *result = 0;
            return TRUE;
        case WM_MOUSEWHEEL:
            *result = OnMouseWheel(static_cast<short>(HIWORD(wParam)));
            return TRUE;
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            *result = 0;
            return TRUE;
        case FWM_ISSTRETCHABLE:
            *result = (scrollEnabled || autoFit) ? 1 : 0;
            return TRUE;
        default:
            return CImageDlg::OnWndMsg(message, wParam, lParam, result);
    }
}

void CScrollDlg::OnHScroll(UINT code) {
    int32_t step = 0;
    if (scrollMath::stepForCode(static_cast<int>(code), pageWidth, scrollX, trackPosition(0),
                                &step))
        scrollBy(step, 0);
}

void CScrollDlg::OnVScroll(UINT code) {
    int32_t step = 0;
    if (scrollMath::stepForCode(static_cast<int>(code), pageHeight, scrollY, trackPosition(1),
                                &step))
        scrollBy(0, step);
}

int CScrollDlg::wheelScrollLines() {
    UINT lines = 0;
    if (!::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0)) return 0;
    if (lines == WHEEL_PAGESCROLL) return scrollMath::kWheelPageScroll;
    return lines > INT_MAX ? INT_MAX : static_cast<int>(lines);
}

BOOL CScrollDlg::OnMouseWheel(short delta) {
    int minimum = 0;
    int maximum = 0;
    int bar = SB_VERT;
    ::GetScrollRange(m_hWnd, SB_VERT, &minimum, &maximum);
    if (minimum == maximum) {
        bar = SB_HORZ;
        ::GetScrollRange(m_hWnd, SB_HORZ, &minimum, &maximum);
        if (minimum == maximum) return FALSE;
    }
    const scrollMath::WheelAction action = scrollMath::wheelAction(delta, wheelScrollLines());
    const int32_t& position = bar == SB_VERT ? scrollY : scrollX;
    auto scrollCode = [this, bar](UINT code) {
        if (bar == SB_VERT) {
            OnVScroll(code);
        } else {
            OnHScroll(code);
        }
    };
    if (action.byPage) {
        scrollCode(action.backwards ? SB_PAGEUP : SB_PAGEDOWN);
        return TRUE;
    }
    const UINT code = action.backwards ? SB_LINEUP : SB_LINEDOWN;
    // A large wheel setting asks for many lines: once one moves nothing, the
    // rest would not either.
    for (int32_t i = 0; i < action.lines; ++i) {
        const int32_t before = position;
        scrollCode(code);
        if (position == before) break;
    }
    return TRUE;
}

void CScrollDlg::OnSize(UINT type, int cx, int cy) {
    CImageDlg::OnSize(type, cx, cy);
    updateScrollBars();
}
