#include "webview/ChildViewWindow.h"

namespace refhost {

namespace {

constexpr UINT_PTR kDelayTimer = 1;

bool registerClass(const wchar_t* name) {
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &c)) return true;
    c = WNDCLASSEXW{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = DefWindowProcW;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    c.lpszClassName = name;
    return RegisterClassExW(&c) != 0;
}

}  // namespace

ChildViewWindow::~ChildViewWindow() {
    if (window_) {
        KillTimer(window_.get(), kDelayTimer);
        // No message reaches this object once it is going.
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
}

bool ChildViewWindow::create(HWND parent) {
    if (!registerClass(className_)) return false;
    RECT r{};
    GetClientRect(parent, &r);
    window_.reset(CreateWindowExW(0, className_, title_, WS_CHILD | WS_CLIPSIBLINGS, 0, 0, r.right,
                                  r.bottom, parent, nullptr, GetModuleHandleW(nullptr), nullptr));
    if (!window_) return false;
    // The class procedure is the default one: the window is created inside a
    // dialog of the DLL, and this object takes it over here, before any
    // message of ours can arrive.
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&proc));
    return true;
}

void ChildViewWindow::show() {
    if (window_ && !IsWindowVisible(window_.get()))
        SetWindowPos(window_.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

void ChildViewWindow::after(UINT ms, std::function<void()> action) {
    delayed_ = std::move(action);
    if (window_) SetTimer(window_.get(), kDelayTimer, ms ? ms : 1, nullptr);
}

LRESULT CALLBACK ChildViewWindow::proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    try {
        auto* self = reinterpret_cast<ChildViewWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
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

LRESULT ChildViewWindow::onMessage(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_TIMER:
            if (w == kDelayTimer) {
                KillTimer(window, kDelayTimer);
                // Moved out first: the action may set the next one.
                std::function<void()> action = std::move(delayed_);
                delayed_ = nullptr;
                if (action) action();
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
        case WM_SIZE:
            if (LOWORD(l) > 0 && HIWORD(l) > 0) resized(LOWORD(l), HIWORD(l));
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, w, l);
}

}  // namespace refhost
