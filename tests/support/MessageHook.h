#pragma once
// Host code inside a window's procedure, as a host's own window runs it: for
// each message named in `on`, the function runs before the window's usual
// handling. The hook goes with the object, or with the window.
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

    std::map<UINT, std::function<void(WPARAM, LPARAM)>> on;

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR data);
    void remove();

    HWND window_ = nullptr;
};

}  // namespace halvet::test
