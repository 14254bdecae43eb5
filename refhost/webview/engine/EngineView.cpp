#include "webview/engine/EngineView.h"

#include <shlwapi.h>
#include <wincodec.h>
#include <wrl/client.h>

namespace refhost {

using Microsoft::WRL::ComPtr;

namespace {

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

bool EngineView::create(HWND parent, std::function<void(int, int)> resized) {
    if (!ChildViewWindow::create(parent)) return false;
    resized_ = std::move(resized);
    return true;
}

void EngineView::resized(int width, int height) {
    if (resized_) resized_(width, height);
}

bool EngineView::setFrame(const std::string& png) {
    int w = 0, h = 0;
    HBITMAP bitmap = decodePng(png, w, h);
    if (!bitmap) return false;
    frame_.reset(bitmap);
    frameWidth_ = w;
    frameHeight_ = h;
    ++frames_;
    if (window()) {
        InvalidateRect(window(), nullptr, FALSE);
        UpdateWindow(window());
    }
    return true;
}

void EngineView::setBanner(const std::wstring& banner) {
    banner_ = banner;
    if (window()) InvalidateRect(window(), nullptr, FALSE);
}

void EngineView::paint(HDC dc) {
    RECT client;
    GetClientRect(window(), &client);
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
