#include "webview/standin/WebViewStandIn.h"

namespace refhost {

namespace {

const wchar_t* stateText(WebViewStandIn::State state) {
    switch (state) {
        case WebViewStandIn::State::Blank:
            return L"blank";
        case WebViewStandIn::State::Loading:
            return L"loading...";
        case WebViewStandIn::State::Loaded:
            return L"loaded";
        case WebViewStandIn::State::Failed:
            return L"failed";
    }
    return L"";
}

COLORREF stateColour(WebViewStandIn::State state) {
    switch (state) {
        case WebViewStandIn::State::Loaded:
            return RGB(46, 140, 87);
        case WebViewStandIn::State::Failed:
            return RGB(196, 52, 52);
        default:
            return RGB(90, 98, 112);
    }
}

}  // namespace

bool WebViewStandIn::create(HWND parent, const std::wstring& guid) {
    guid_ = guid;
    font_.reset(
        CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    return ChildViewWindow::create(parent);
}

void WebViewStandIn::beginLoad(const std::wstring& url, UINT delayMs,
                               std::function<void()> finished) {
    url_ = url;
    state_ = State::Loading;
    detail_.clear();
    ++loads_;
    after(delayMs, std::move(finished));
    refresh();
}

void WebViewStandIn::endLoad(State state, const std::wstring& detail) {
    state_ = state;
    detail_ = detail;
    show();
    refresh();
}

void WebViewStandIn::setContentNote(const std::wstring& note) {
    contentNote_ = note;
    refresh();
}

void WebViewStandIn::refresh() {
    if (window()) InvalidateRect(window(), nullptr, TRUE);
}

void WebViewStandIn::paint(HDC dc) {
    RECT client;
    GetClientRect(window(), &client);
    UniqueBrush page(CreateSolidBrush(RGB(255, 255, 255)));
    FillRect(dc, &client, page.get());
    RECT bar{0, 0, client.right, 30};
    UniqueBrush barBrush(CreateSolidBrush(stateColour(state_)));
    FillRect(dc, &bar, barBrush.get());
    UniqueBrush frame(CreateSolidBrush(RGB(200, 204, 212)));
    FrameRect(dc, &client, frame.get());

    SelectGuard font(dc, font_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT title{10, 0, client.right - 10, 30};
    std::wstring heading = L"web view stand-in \x2014 " + std::wstring(stateText(state_));
    DrawTextW(dc, heading.c_str(), -1, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);

    SetTextColor(dc, RGB(40, 44, 52));
    std::wstring lines = L"URL: " + url_ + L"\r\n\r\nload " + std::to_wstring(loads_) + L": " +
                         stateText(state_) + (detail_.empty() ? L"" : L" (" + detail_ + L")") +
                         L"\r\n\r\nview " + guid_ +
                         (contentNote_.empty() ? L"" : L"\r\n\r\n" + contentNote_);
    RECT body{10, 40, client.right - 10, client.bottom - 10};
    DrawTextW(dc, lines.c_str(), -1, &body, DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
}

}  // namespace refhost
