#include "EngineView.h"

#include <shlwapi.h>
#include <wincodec.h>
#include <wrl/client.h>

namespace refhost {

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kClass[] = L"RefHostEngineView";
constexpr UINT_PTR kDelayTimer = 1;

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

// A top-down 32-bit DIB section holding the decoded PNG.
HBITMAP decodePng(const std::string& png, int& width, int& height) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapSource> converted;
    if (png.empty() ||
        FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))) ||
        FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(
            reinterpret_cast<BYTE*>(const_cast<char*>(png.data())), static_cast<DWORD>(png.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                                WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) ||
        FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), &converted)))
        return nullptr;
    UINT w = 0, h = 0;
    if (FAILED(converted->GetSize(&w, &h)) || !w || !h || w > 8192 || h > 8192) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(w);
    info.bmiHeader.biHeight = -static_cast<LONG>(h);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || FAILED(converted->CopyPixels(nullptr, w * 4, w * h * 4, static_cast<BYTE*>(bits))))
        return nullptr;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return bitmap.release();
}

}  // namespace

EngineView::~EngineView() {
    if (window_) {
        KillTimer(window_.get(), kDelayTimer);
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
}

void EngineView::after(UINT ms, std::function<void()> action) {
    delayed_ = std::move(action);
    if (window_) SetTimer(window_.get(), kDelayTimer, ms ? ms : 1, nullptr);
}

bool EngineView::create(HWND parent, std::function<void(int, int)> resized) {
    if (!registerClass()) return false;
    RECT r{};
    GetClientRect(parent, &r);
    window_.reset(CreateWindowExW(0, kClass, L"Engine web view", WS_CHILD | WS_CLIPSIBLINGS, 0, 0,
                                  r.right, r.bottom, parent, nullptr, GetModuleHandleW(nullptr),
                                  nullptr));
    if (!window_) return false;
    // Taken over before any message of ours can arrive (see WebViewStandIn).
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&proc));
    resized_ = std::move(resized);
    return true;
}

void EngineView::show() {
    if (window_ && !IsWindowVisible(window_.get()))
        SetWindowPos(window_.get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}

bool EngineView::setFrame(const std::string& png) {
    int w = 0, h = 0;
    HBITMAP bitmap = decodePng(png, w, h);
    if (!bitmap) return false;
    frame_.reset(bitmap);
    frameWidth_ = w;
    frameHeight_ = h;
    ++frames_;
    if (window_) {
        InvalidateRect(window_.get(), nullptr, FALSE);
        UpdateWindow(window_.get());
    }
    return true;
}

void EngineView::setBanner(const std::wstring& banner) {
    banner_ = banner;
    if (window_) InvalidateRect(window_.get(), nullptr, FALSE);
}

LRESULT CALLBACK EngineView::proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    try {
        auto* self = reinterpret_cast<EngineView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
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

LRESULT EngineView::onMessage(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
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
        case WM_SIZE:
            if (resized_ && LOWORD(l) > 0 && HIWORD(l) > 0) resized_(LOWORD(l), HIWORD(l));
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, w, l);
}

void EngineView::paint(HDC dc) {
    RECT client;
    GetClientRect(window_.get(), &client);
    UniqueBrush white(CreateSolidBrush(RGB(255, 255, 255)));
    FillRect(dc, &client, white.get());
    if (frame_) {
        UniqueMemoryDC source(CreateCompatibleDC(dc));
        SelectGuard select(source.get(), frame_.get());
        BitBlt(dc, 0, 0, frameWidth_, frameHeight_, source.get(), 0, 0, SRCCOPY);
    }
    std::wstring text = banner_.empty() && !frame_ ? L"engine page: no frame yet" : banner_;
    if (text.empty()) return;
    RECT band{0, client.bottom - 28, client.right, client.bottom};
    UniqueBrush red(CreateSolidBrush(RGB(196, 52, 52)));
    FillRect(dc, &band, red.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    band.left += 8;
    DrawTextW(dc, text.c_str(), -1, &band, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

}  // namespace refhost
