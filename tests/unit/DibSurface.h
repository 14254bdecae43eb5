#pragma once
// A 32-bit top-down DIB selected into a memory context: drawing tests read
// its pixels straight from memory.
#include <windows.h>

#include <cstdint>

class DibSurface {
public:
    DibSurface(int width, int height, COLORREF fill) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) set(x, y, fill);
    }
    ~DibSurface() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;

    HDC dc() const { return dc_; }
    bool ok() const { return dc_ && bitmap_ && bits_; }
    COLORREF pixel(int x, int y) const {
        GdiFlush();
        const uint32_t v = static_cast<const uint32_t*>(bits_)[y * width_ + x];
        return RGB((v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff);
    }
    void set(int x, int y, COLORREF c) {
        static_cast<uint32_t*>(bits_)[y * width_ + x] =
            (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
    }
    // Sum of the three channels: dark ring pixels give small values.
    int brightness(int x, int y) const {
        const COLORREF c = pixel(x, y);
        return GetRValue(c) + GetGValue(c) + GetBValue(c);
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
};
