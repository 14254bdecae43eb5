#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "UniqueHandle.h"

namespace refhost {

// The container's web view, played by a plain child window inside the
// panel's dialog: it paints the URL it was given and how its load went. A
// load takes a while, as a real one does: finishLoad runs from the message
// loop after the delay.
class WebViewStandIn {
public:
    enum class State { Blank, Loading, Loaded, Failed };

    WebViewStandIn() = default;
    WebViewStandIn(const WebViewStandIn&) = delete;
    WebViewStandIn& operator=(const WebViewStandIn&) = delete;
    ~WebViewStandIn();

    // A hidden child window filling parent's client area; it shows when
    // its first load ends.
    bool create(HWND parent, const std::wstring& guid);
    HWND window() const { return window_.get(); }
    void destroy() { window_.reset(); }

    // Starts a load: finished(url) is called from the message loop after
    // delayMs.
    void beginLoad(const std::wstring& url, UINT delayMs, std::function<void()> finished);
    void endLoad(State state, const std::wstring& detail);
    void setContentNote(const std::wstring& note);
    void refresh();

    const std::wstring& url() const { return url_; }
    State state() const { return state_; }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT onMessage(HWND window, UINT message, WPARAM w, LPARAM l);
    void paint(HDC dc);

    UniqueWindow window_;
    UniqueFont font_;
    std::wstring guid_;
    std::wstring url_;
    std::wstring detail_;
    std::wstring contentNote_;
    State state_ = State::Blank;
    int loads_ = 0;
    std::function<void()> finished_;
};

}  // namespace refhost
