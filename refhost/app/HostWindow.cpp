#include "app/HostWindow.h"

namespace refhost {

namespace {

const wchar_t kFrameClass[] = L"RefHostFrame";
const wchar_t kHolderClass[] = L"RefHostPanelHolder";
constexpr UINT kRunAction = WM_APP + 1;
constexpr COLORREF kHolderColour = RGB(58, 66, 82);
constexpr COLORREF kStatusColour = RGB(30, 34, 44);

// Which HostWindow a frame or holder belongs to: set at WM_NCCREATE, cleared
// at WM_NCDESTROY, so a late message finds no dangling object.
HostWindow* ownerOf(HWND window, UINT message, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(l);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* owner = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return owner;
}

}  // namespace

bool HostWindow::registerClasses() {
    static bool done = false;
    if (done) return true;
    HINSTANCE self = GetModuleHandleW(nullptr);
    WNDCLASSEXW frame{};
    frame.cbSize = sizeof frame;
    frame.lpfnWndProc = &HostWindow::frameProc;
    frame.hInstance = self;
    frame.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    frame.lpszClassName = kFrameClass;
    WNDCLASSEXW holder = frame;
    holder.lpfnWndProc = &HostWindow::holderProc;
    holder.lpszClassName = kHolderClass;
    // A class brush lives as long as the process: one, never deleted.
    static HBRUSH holderBrush = CreateSolidBrush(kHolderColour);
    holder.hbrBackground = holderBrush;
    done = RegisterClassExW(&frame) && RegisterClassExW(&holder);
    return done;
}

HostWindow::~HostWindow() {
    // The panel's dialog is a child of the holder; the DLL has destroyed it at
    // finalize. Whatever is left goes with the frame.
    holder_.release();
    frame_.reset();
}

bool HostWindow::create(int width, int height, std::wstring& error) {
    font_.reset(
        CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    if (!registerClasses()) {
        error = L"cannot register the host's window classes";
        return false;
    }
    RECT r{0, 0, width, height + kStatusHeight};
    DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    AdjustWindowRectEx(&r, style, FALSE, 0);
    frame_.reset(CreateWindowExW(0, kFrameClass, L"Reference host", style, 40, 40, r.right - r.left,
                                 r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                                 this));
    if (!frame_) {
        error = L"cannot create the host window";
        return false;
    }
    holder_.reset(CreateWindowExW(0, kHolderClass, L"Panel holder",
                                  WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, kStatusHeight, width,
                                  height, frame_.get(), nullptr, GetModuleHandleW(nullptr), this));
    if (!holder_) {
        error = L"cannot create the panel holder window";
        return false;
    }
    return true;
}

void HostWindow::resizeHolder(int width, int height) {
    RECT r{0, 0, width, height + kStatusHeight};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(frame_.get(), GWL_STYLE)), FALSE,
                       0);
    SetWindowPos(frame_.get(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void HostWindow::show(bool visible) {
    ShowWindow(frame_.get(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
    if (visible) UpdateWindow(frame_.get());
}

void HostWindow::setStatus(const std::wstring& status) {
    status_ = status;
    RECT strip{0, 0, 32767, kStatusHeight};
    if (frame_) InvalidateRect(frame_.get(), &strip, TRUE);
}

void HostWindow::post(std::function<void()> action) {
    actions_.push_back(std::move(action));
    PostMessageW(frame_.get(), kRunAction, 0, 0);
}

void HostWindow::runOneAction() {
    if (actions_.empty()) return;
    std::function<void()> action = std::move(actions_.front());
    actions_.pop_front();
    action();
}

bool HostWindow::pump(DWORD ms, const std::function<bool()>& stop) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return false;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (stop && stop()) return true;
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

LRESULT CALLBACK HostWindow::frameProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    try {
        HostWindow* owner = ownerOf(window, message, l);
        if (owner) return owner->onFrameMessage(window, message, w, l);
    } catch (...) {
        // Nothing may unwind through user32.
    }
    return DefWindowProcW(window, message, w, l);
}

LRESULT HostWindow::onFrameMessage(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_SIZE:
            if (holder_)
                MoveWindow(holder_.get(), 0, kStatusHeight, LOWORD(l),
                           HIWORD(l) > kStatusHeight ? HIWORD(l) - kStatusHeight : 0, TRUE);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PaintDC paint(window);
            paintStatus(window, paint.get());
            return 0;
        }
        case WM_PRINTCLIENT:
            paintStatus(window, reinterpret_cast<HDC>(w));
            return 0;
        case kRunAction:
            runOneAction();
            return 0;
        case WM_CLOSE:
            // Closing the window by hand ends the run the way a host ends:
            // the player notices the missing window at its next step.
            ShowWindow(window, SW_HIDE);
            return 0;
        default:
            return DefWindowProcW(window, message, w, l);
    }
}

void HostWindow::paintStatus(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    RECT strip{0, 0, client.right, kStatusHeight};
    UniqueBrush brush(CreateSolidBrush(kStatusColour));
    FillRect(dc, &strip, brush.get());
    SelectGuard font(dc, font_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(220, 226, 236));
    RECT text{8, 0, client.right - 8, kStatusHeight};
    DrawTextW(dc, status_.c_str(), -1, &text,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

LRESULT CALLBACK HostWindow::holderProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    try {
        if (message == WM_SIZE) {
            // The panel's view fills the holder.
            for (HWND child = GetWindow(window, GW_CHILD); child;
                 child = GetWindow(child, GW_HWNDNEXT))
                SetWindowPos(child, nullptr, 0, 0, LOWORD(l), HIWORD(l),
                             SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
    } catch (...) {
    }
    return DefWindowProcW(window, message, w, l);
}

}  // namespace refhost
