#include "recording/WindowPicture.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>

#include "platform/UniqueHandle.h"

namespace refhost {

using Microsoft::WRL::ComPtr;

namespace {

// A DIB section selected into a memory DC, for one capture.
class Canvas {
public:
    Canvas(int width, int height) : dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<uint32_t*>(bits);
        if (bitmap_ && dc_) previous_ = SelectObject(dc_.get(), bitmap_.get());
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas() {
        if (previous_) SelectObject(dc_.get(), previous_);
    }
    bool ok() const { return bits_ && previous_; }
    HDC dc() const { return dc_.get(); }
    const uint32_t* bits() const { return bits_; }

private:
    UniqueMemoryDC dc_;
    UniqueBitmap bitmap_;
    uint32_t* bits_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

bool printInto(HWND window, int width, int height, std::vector<uint32_t>& out) {
    Canvas canvas(width, height);
    if (!canvas.ok()) return false;
    PatBlt(canvas.dc(), 0, 0, width, height, WHITENESS);
    // Client areas only: Wine draws a client area at the DC's origin even
    // when it draws the frame too, so the frame is left out everywhere.
    PrintWindow(window, canvas.dc(), PW_CLIENTONLY);
    GdiFlush();
    out.assign(canvas.bits(), canvas.bits() + size_t(width) * height);
    return true;
}

// Client origin of a child in the client coordinates of the picture's window.
POINT offsetOf(HWND child, HWND top) {
    POINT origin{0, 0};
    MapWindowPoints(child, top, &origin, 1);
    return origin;
}

void layChildren(HWND parent, HWND top, WindowPicture& picture, std::vector<uint32_t>& pixels);

void layWindow(HWND window, HWND top, std::vector<uint32_t>& pixels, int topWidth, int topHeight,
               WindowPicture& picture) {
    RECT r;
    GetClientRect(window, &r);
    int w = r.right, h = r.bottom;
    if (w <= 0 || h <= 0) return;
    std::vector<uint32_t> own;
    if (!printInto(window, w, h, own)) return;
    POINT at = offsetOf(window, top);
    for (int y = 0; y < h; ++y) {
        int ty = at.y + y;
        if (ty < 0 || ty >= topHeight) continue;
        for (int x = 0; x < w; ++x) {
            int tx = at.x + x;
            if (tx < 0 || tx >= topWidth) continue;
            pixels[size_t(ty) * topWidth + tx] = own[size_t(y) * w + x];
        }
    }
    layChildren(window, top, picture, pixels);
}

void layChildren(HWND parent, HWND top, WindowPicture& picture, std::vector<uint32_t>& pixels) {
    HWND first = GetWindow(parent, GW_CHILD);
    if (!first) return;
    // Bottom of the z-order first, so that upper windows cover lower ones.
    for (HWND child = GetWindow(first, GW_HWNDLAST); child; child = GetWindow(child, GW_HWNDPREV)) {
        if (!(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE)) continue;
        layWindow(child, top, pixels, picture.width(), picture.height(), picture);
    }
}

}  // namespace

bool WindowPicture::capture(HWND window) {
    RECT r;
    if (!IsWindow(window) || !GetClientRect(window, &r)) return false;
    width_ = r.right;
    height_ = r.bottom;
    if (width_ <= 0 || height_ <= 0) return false;
    if (!printInto(window, width_, height_, pixels_)) return false;
    layChildren(window, window, *this, pixels_);
    for (uint32_t& p : pixels_) p &= 0x00FFFFFF;
    return true;
}

WindowPicture WindowPicture::crop(int x, int y, int w, int h) const {
    WindowPicture out;
    int x0 = std::max(0, x), y0 = std::max(0, y);
    int x1 = std::min(width_, x + w), y1 = std::min(height_, y + h);
    if (x1 <= x0 || y1 <= y0) return out;
    out.width_ = x1 - x0;
    out.height_ = y1 - y0;
    out.pixels_.resize(size_t(out.width_) * out.height_);
    for (int row = 0; row < out.height_; ++row)
        std::copy_n(pixels_.begin() + size_t(y0 + row) * width_ + x0, out.width_,
                    out.pixels_.begin() + size_t(row) * out.width_);
    return out;
}

WindowPicture WindowPicture::strip(const std::vector<WindowPicture>& frames, int gap) {
    WindowPicture out;
    for (const WindowPicture& f : frames) {
        out.width_ += f.width_ + gap;
        out.height_ = std::max(out.height_, f.height_ + 2 * gap);
    }
    out.width_ += gap;
    if (frames.empty()) return out;
    out.pixels_.assign(size_t(out.width_) * out.height_, 0x00D8DCE4);
    int left = gap;
    for (const WindowPicture& f : frames) {
        for (int row = 0; row < f.height_; ++row)
            std::copy_n(f.pixels_.begin() + size_t(row) * f.width_, f.width_,
                        out.pixels_.begin() + size_t(row + gap) * out.width_ + left);
        left += f.width_ + gap;
    }
    return out;
}

bool WindowPicture::writePng(const std::wstring& path, std::wstring& error) const {
    if (pixels_.empty()) {
        error = L"empty picture";
        return false;
    }
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(factory.GetAddressOf()));
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    if (SUCCEEDED(hr)) hr = factory->CreateStream(stream.GetAddressOf());
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    if (SUCCEEDED(hr))
        hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.GetAddressOf());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.GetAddressOf(), nullptr);
    if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = frame->SetSize(width_, height_);
    // 24-bit rows: the one pixel format every PNG encoder takes.
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && format != GUID_WICPixelFormat24bppBGR)
        hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    UINT stride = (static_cast<UINT>(width_) * 3 + 3) & ~3u;
    std::vector<BYTE> rows(size_t(stride) * height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            uint32_t p = pixels_[size_t(y) * width_ + x];
            BYTE* out = &rows[size_t(y) * stride + size_t(x) * 3];
            out[0] = BYTE(p);
            out[1] = BYTE(p >> 8);
            out[2] = BYTE(p >> 16);
        }
    }
    if (SUCCEEDED(hr))
        hr = frame->WritePixels(height_, stride, static_cast<UINT>(rows.size()), rows.data());
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    if (FAILED(hr)) {
        wchar_t code[16];
        swprintf(code, 16, L"0x%08lx", static_cast<unsigned long>(hr));
        error = L"cannot write the PNG " + path + L" (WIC error " + code + L")";
        return false;
    }
    return true;
}

}  // namespace refhost
