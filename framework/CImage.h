#pragma once
#include <windows.h>

// An owned bitmap with how it is to be drawn: alpha-blended when it carries
// an alpha channel (premultiplied, 32 bits), keyed on a transparent colour
// when one is set, otherwise copied, stretched to the destination.
class CImage {
public:
    CImage() = default;
    ~CImage() { Destroy(); }
    CImage(CImage&& other) noexcept;
    CImage& operator=(CImage&& other) noexcept;
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;

    // Takes ownership of `bitmap`; false (taking nothing) when it is no bitmap.
    bool Attach(HBITMAP bitmap);
    void Destroy();
    void SetHasAlphaChannel(bool hasAlpha) { hasAlpha_ = hasAlpha; }
    // CLR_INVALID: no transparent colour. Returns the previous one.
    COLORREF SetTransparentColor(COLORREF color);
    // Draws the whole image into `destination` on `dc`.
    BOOL Draw(HDC dc, const RECT& destination) const;

private:
    HBITMAP bitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool hasAlpha_ = false;
    COLORREF transparent_ = CLR_INVALID;
};
