#include "WebViewStandIn.h"

namespace refhost {

namespace {

const wchar_t kClass[] = L"RefHostWebViewStandIn";
constexpr UINT_PTR kLoadTimer = 1;

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

bool registerClass() {
    static bool done = false;
    if (done) return true;
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = DefWindowProcW;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.lpszClassName = kClass;
    done = RegisterClassExW(&c) != 0;
    return done;
}

}  // namespace

WebViewStandIn::~WebViewStandIn() {
    if (window_) {
        KillTimer(window_.get(), kLoadTimer);
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
}

bool WebViewStandIn::create(HWND parent, const std::wstring& guid) {
    guid_ = guid;
    if (!registerClass()) return false;
    font_.reset(
        CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    RECT r{};
    GetClientRect(parent, &r);
    window_.reset(CreateWindowExW(0, kClass, L"Web view stand-in", WS_CHILD | WS_CLIPSIBLINGS, 0, 0,
                                  r.right, r.bottom, parent, nullptr, GetModuleHandleW(nullptr),
                                  nullptr));
    if (!window_) return false;
    // The class procedure is the default one: the window is created inside a
    // dialog of the DLL, and this object takes it over here, before any
    // message of ours can arrive.
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&proc));
    return true;
}

void WebViewStandIn::beginLoad(const std::wstring& url, UINT delayMs,
                               std::function<void()> finished) {
    url_ = url;
    state_ = State::Loading;
    detail_.clear();
    ++loads_;
    finished_ = std::move(finished);
    if (window_) SetTimer(window_.get(), kLoadTimer, delayMs ? delayMs : 1, nullptr);
    refresh();
}

void WebViewStandIn::endLoad(State state, const std::wstring& detail) {
    state_ = state;
    detail_ = detail;
    if (window_ && !IsWindowVisible(window_.get())) {
        // It comes to the top of the dialog, as the container's window does.
        SetWindowPos(window_.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    }
    refresh();
}

void WebViewStandIn::setContentNote(const std::wstring& note) {
    contentNote_ = note;
    refresh();
}

void WebViewStandIn::refresh() {
    if (window_) InvalidateRect(window_.get(), nullptr, TRUE);
}

LRESULT CALLBACK WebViewStandIn::proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    try {
        auto* self = reinterpret_cast<WebViewStandIn*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NCDESTROY) {
            // The DLL may destroy its dialog, and so this window, first.
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            if (self) self->window_.release();
        } else if (self) {
            return self->onMessage(window, message, w, l);
        }
    } catch (...) {
    }
    return DefWindowProcW(window, message, w, l);
}

LRESULT WebViewStandIn::onMessage(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_TIMER:
            if (w == kLoadTimer) {
                KillTimer(window, kLoadTimer);
                // Moved out first: the callback may start the next load.
                std::function<void()> finished = std::move(finished_);
                finished_ = nullptr;
                if (finished) finished();
                return 0;
            }
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PaintDC dc(window);
            paint(dc.get());
            return 0;
        }
        case WM_PRINTCLIENT:
            paint(reinterpret_cast<HDC>(w));
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, w, l);
}

void WebViewStandIn::paint(HDC dc) {
    RECT client;
    GetClientRect(window_.get(), &client);
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
