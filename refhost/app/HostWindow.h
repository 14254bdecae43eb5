#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <string>

#include "platform/UniqueHandle.h"

namespace refhost {

// The host application's window: a top-level frame with a status strip at
// the top and, below it, the panel holder, the window whose handle the host
// names in "CreateView". The holder keeps its children (the panel's dialog)
// filling it, as the host does for the view of a panel. The frame also runs
// actions that the host's parties post for later, from the message loop.
class HostWindow {
public:
    static constexpr int kStatusHeight = 22;

    HostWindow() = default;
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    ~HostWindow();

    // The holder gets width x height pixels of client area.
    bool create(int width, int height, std::wstring& error);
    HWND frame() const { return frame_.get(); }
    HWND holder() const { return holder_.get(); }

    void resizeHolder(int width, int height);
    void show(bool visible);
    void setStatus(const std::wstring& status);

    // Runs action from the message loop (the next pump), in posting order.
    void post(std::function<void()> action);
    size_t pendingActions() const { return actions_.size(); }

    // Runs the thread's message loop for ms milliseconds, or until stop()
    // (checked after every message) says so. Returns whether stop ended it.
    static bool pump(DWORD ms, const std::function<bool()>& stop = nullptr);

private:
    static LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK holderProc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT onFrameMessage(HWND window, UINT message, WPARAM w, LPARAM l);
    static bool registerClasses();
    void paintStatus(HWND window, HDC dc);
    void runOneAction();

    UniqueWindow frame_;
    UniqueWindow holder_;
    UniqueFont font_;
    std::wstring status_;
    std::deque<std::function<void()>> actions_;
};

}  // namespace refhost
