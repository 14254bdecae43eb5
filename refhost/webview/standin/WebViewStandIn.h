#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "webview/ChildViewWindow.h"
#include "platform/UniqueHandle.h"

namespace refhost {

// The container's web view, played by a plain child window inside the
// panel's dialog: it paints the URL it was given and how its load went. A
// load takes a while, as a real one does: finishLoad runs from the message
// loop after the delay.
class WebViewStandIn : public ChildViewWindow {
public:
    enum class State { Blank, Loading, Loaded, Failed };

    WebViewStandIn() : ChildViewWindow(L"RefHostWebViewStandIn", L"Web view stand-in") {}

    // A hidden child window filling parent's client area; it shows when
    // its first load ends.
    bool create(HWND parent, const std::wstring& guid);

    // Starts a load: finished(url) is called from the message loop after
    // delayMs.
    void beginLoad(const std::wstring& url, UINT delayMs, std::function<void()> finished);
    void endLoad(State state, const std::wstring& detail);
    void setContentNote(const std::wstring& note);
    void refresh();

    const std::wstring& url() const { return url_; }
    State state() const { return state_; }

private:
    void paint(HDC dc) override;

    UniqueFont font_;
    std::wstring guid_;
    std::wstring url_;
    std::wstring detail_;
    std::wstring contentNote_;
    State state_ = State::Blank;
    int loads_ = 0;
};

}  // namespace refhost
