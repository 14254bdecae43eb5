#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "platform/UniqueHandle.h"

namespace refhost {

// A web view's child window inside the panel's dialog, whichever web view
// draws it: it fills the dialog's client area, stays hidden until shown,
// runs delayed work from the message loop and lets the DLL destroy it first.
class ChildViewWindow {
public:
    ChildViewWindow(const ChildViewWindow&) = delete;
    ChildViewWindow& operator=(const ChildViewWindow&) = delete;
    virtual ~ChildViewWindow();

    HWND window() const { return window_.get(); }
    void destroy() { window_.reset(); }
    // Comes to the top of the dialog, as the container's window does when
    // its first load ends.
    void show();
    // Runs action once from the message loop after ms milliseconds; a later
    // call replaces an action not yet run.
    void after(UINT ms, std::function<void()> action);

protected:
    // className is registered once per process; title is the window's text.
    ChildViewWindow(const wchar_t* className, const wchar_t* title)
        : className_(className), title_(title) {}

    // A hidden child window filling parent's client area.
    bool create(HWND parent);
    virtual void paint(HDC dc) = 0;
    // The window's new client size, neither side zero.
    virtual void resized(int /*width*/, int /*height*/) {}

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT onMessage(HWND window, UINT message, WPARAM w, LPARAM l);

    const wchar_t* className_;
    const wchar_t* title_;
    UniqueWindow window_;
    std::function<void()> delayed_;
};

}  // namespace refhost
