#include "drawing/SpinnerFrameCache.h"

#include <new>

void SpinnerFrameCache::clear() {
    // The frames are put out of the context first: GDI does not delete a
    // bitmap that is still selected.
    if (surface_.GetSafeHdc() && originalBitmap_) surface_.SelectObject(originalBitmap_);
    originalBitmap_ = nullptr;
    selected_ = nullptr;
    surface_.DeleteDC();
    frames_.clear();
}

void SpinnerFrameCache::keepOnlyFor(const SpinnerFrameLook& look) {
    if (look == look_) return;
    clear();
    look_ = look;
}

size_t SpinnerFrameCache::capacity() const {
    const size_t each = frameBytes();
    if (each == 0) return 0;
    const size_t byBytes = kMaxBytes / each;
    return byBytes < kMaxFrames ? byBytes : kMaxFrames;
}

const SpinnerFrameCache::Frame* SpinnerFrameCache::find(float angle) const {
    for (const Frame& frame : frames_)
        if (frame.angle == angle) return &frame;
    return nullptr;
}

bool SpinnerFrameCache::select(CDC& reference, const CBitmap& bitmap) {
    if (!surface_.GetSafeHdc()) {
        if (!surface_.CreateCompatibleDC(&reference)) return false;
        originalBitmap_ = nullptr;
        selected_ = nullptr;
    }
    if (selected_ == bitmap.m_hObject) return true;
    HGDIOBJ previous = surface_.SelectObject(bitmap.m_hObject);
    if (!previous || previous == HGDI_ERROR) return false;
    if (!originalBitmap_) originalBitmap_ = previous;
    selected_ = bitmap.m_hObject;
    return true;
}

bool SpinnerFrameCache::copyTo(CDC& target, int x, int y, float angle) {
    const Frame* frame = find(angle);
    if (!frame || !select(target, *frame->bitmap)) return false;
    return target.BitBlt(x, y, look_.width, look_.height, &surface_, 0, 0, SRCCOPY) != FALSE;
}

CDC* SpinnerFrameCache::addFrame(CDC& target, float angle) {
    if (find(angle) || frames_.size() >= capacity()) return nullptr;
    // Room first, so that a frame made is always a frame kept (and released).
    try {
        frames_.reserve(capacity());
    } catch (...) {
        return nullptr;
    }
    std::unique_ptr<CBitmap> bitmap(new (std::nothrow) CBitmap);
    if (!bitmap || !bitmap->CreateCompatibleBitmap(&target, look_.width, look_.height))
        return nullptr;
    if (!select(target, *bitmap)) return nullptr;
    frames_.push_back(Frame{angle, std::move(bitmap)});
    return &surface_;
}
