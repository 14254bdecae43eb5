#include "dialogs/WindowMetrics.h"

namespace windowMetrics {

SIZE visibleScrollBarSizes(HWND window) {
    RECT outer{};
    ::GetWindowRect(window, &outer);
    ::MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&outer), 2);
    RECT client{};
    ::GetClientRect(window, &client);
    const int barWidth = ::GetSystemMetrics(SM_CXVSCROLL);
    const int barHeight = ::GetSystemMetrics(SM_CYHSCROLL);
    SIZE sizes{};
    sizes.cx = outer.right - client.right >= barWidth ? barWidth : 0;
    sizes.cy = outer.bottom - client.bottom >= barHeight ? barHeight : 0;
    return sizes;
}

RECT frameInsets(HWND window) {
    const SIZE bars = visibleScrollBarSizes(window);
    RECT client{};
    ::GetClientRect(window, &client);
    client.right += bars.cx;
    client.bottom += bars.cy;
    ::MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    RECT outer{};
    ::GetWindowRect(window, &outer);
    return RECT{client.left - outer.left, client.top - outer.top, outer.right - client.right,
                outer.bottom - client.bottom};
}

}  // namespace windowMetrics
