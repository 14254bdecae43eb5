#include "support/MessageHook.h"

#include <commctrl.h>

namespace halvet::test {

MessageHook::MessageHook(HWND window) {
    if (window && SetWindowSubclass(window, &procedure, 0, reinterpret_cast<DWORD_PTR>(this)))
        window_ = window;
}

MessageHook::~MessageHook() {
    remove();
}

void MessageHook::remove() {
    if (window_) RemoveWindowSubclass(window_, &procedure, 0);
    window_ = nullptr;
}

LRESULT CALLBACK MessageHook::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR data) {
    auto* hook = reinterpret_cast<MessageHook*>(data);
    if (message == WM_NCDESTROY) {
        hook->remove();
        return DefSubclassProc(window, message, wParam, lParam);
    }
    auto found = hook->on.find(message);
    if (found != hook->on.end() && found->second) {
        // A copy: the function may replace the table while it runs.
        const auto run = found->second;
        run(wParam, lParam);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace halvet::test
