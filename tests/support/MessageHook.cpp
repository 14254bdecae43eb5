#include "support/MessageHook.h"

namespace halvet::test {
namespace {
const wchar_t kHookProperty[] = L"HalvetTestMessageHook";
}  // namespace

// The window procedure itself is replaced (not the common controls' subclass
// chain): the hook's code may destroy the window it runs in.
MessageHook::MessageHook(HWND window) {
    if (!window || !IsWindow(window) || GetPropW(window, kHookProperty)) return;
    if (!SetPropW(window, kHookProperty, this)) return;
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&procedure)));
    if (!previous_) {
        RemovePropW(window, kHookProperty);
        return;
    }
    window_ = window;
}

MessageHook::~MessageHook() {
    remove();
}

void MessageHook::remove() {
    if (!window_) return;
    if (GetWindowLongPtrW(window_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&procedure))
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    RemovePropW(window_, kHookProperty);
    window_ = nullptr;
}

LRESULT CALLBACK MessageHook::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* hook = static_cast<MessageHook*>(GetPropW(window, kHookProperty));
    if (!hook) return DefWindowProcW(window, message, wParam, lParam);
    const WNDPROC previous = hook->previous_;
    if (message == WM_NCDESTROY) {
        hook->remove();
        return CallWindowProcW(previous, window, message, wParam, lParam);
    }
    auto found = hook->on.find(message);
    if (found != hook->on.end() && found->second) {
        // A copy: the function may replace the table, or end the hook.
        const auto run = found->second;
        run(wParam, lParam);
        if (!IsWindow(window)) return 0;
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace halvet::test
