#pragma once
// Host code inside a window's procedure, as a host's own window runs it: for
// each message named in `on`, the function runs before the window's usual
// handling. One hook per window; it goes with the object, or with the window.
#include <windows.h>

#include <functional>
#include <map>

namespace halvet::test {

class MessageHook {
public:
    explicit MessageHook(HWND window);
    ~MessageHook();
    MessageHook(const MessageHook&) = delete;
    MessageHook& operator=(const MessageHook&) = delete;

    bool installed() const { return window_ != nullptr; }
    HWND window() const { return window_; }

    std::map<UINT, std::function<void(WPARAM, LPARAM)>> on;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void remove();

    HWND window_ = nullptr;
    WNDPROC previous_ = nullptr;
};

}  // namespace halvet::test
