#include "framework/CImage.h"

#include <utility>

#include "framework/CDC.h"
#include "framework/SelectGuard.h"

CImage::CImage(CImage&& other) noexcept {
    *this = std::move(other);
}

CImage& CImage::operator=(CImage&& other) noexcept {
    if (this != &other) {
        Destroy();
        bitmap_ = std::exchange(other.bitmap_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        hasAlpha_ = other.hasAlpha_;
        transparent_ = other.transparent_;
    }
    return *this;
}

bool CImage::Attach(HBITMAP bitmap) {
    Destroy();
    BITMAP info{};
    if (!bitmap || ::GetObjectType(bitmap) != OBJ_BITMAP ||
        !::GetObjectW(bitmap, sizeof info, &info))
        return false;
    bitmap_ = bitmap;
    width_ = info.bmWidth;
    height_ = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    return true;
}

void CImage::Destroy() {
    if (bitmap_) ::DeleteObject(bitmap_);
    bitmap_ = nullptr;
    width_ = height_ = 0;
}

COLORREF CImage::SetTransparentColor(COLORREF color) {
    return std::exchange(transparent_, color);
}

BOOL CImage::Draw(HDC dc, const RECT& destination) const {
    if (!bitmap_) return FALSE;
    CDC source;
    if (!source.CreateCompatibleDC(nullptr)) return FALSE;
    SelectGuard selected(source.m_hDC, bitmap_);
    const int cx = destination.right - destination.left;
    const int cy = destination.bottom - destination.top;
    if (hasAlpha_) {
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        return ::AlphaBlend(dc, destination.left, destination.top, cx, cy, source.m_hDC, 0, 0,
                            width_, height_, blend);
    }
    if (transparent_ != CLR_INVALID) {
        return ::TransparentBlt(dc, destination.left, destination.top, cx, cy, source.m_hDC, 0, 0,
                                width_, height_, transparent_);
    }
    const int previousMode = ::SetStretchBltMode(dc, COLORONCOLOR);
    const BOOL drawn = ::StretchBlt(dc, destination.left, destination.top, cx, cy, source.m_hDC, 0,
                                    0, width_, height_, SRCCOPY);
    ::SetStretchBltMode(dc, previousMode);
    return drawn;
}
