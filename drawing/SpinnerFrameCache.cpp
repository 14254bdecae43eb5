#include "drawing/SpinnerFrameCache.h"

#include <new>

SpinnerFrameCache::Frame::~Frame() {
    // Put out of the context first: GDI does not delete a selected bitmap.
    if (surface_.GetSafeHdc() && original_) surface_.SelectObject(original_);
    bitmap_.DeleteObject();
    surface_.DeleteDC();
}

bool SpinnerFrameCache::Frame::create(CDC& reference, int width, int height) {
    if (!surface_.CreateCompatibleDC(&reference)) return false;
    // Plain 32-bit pixels of our own rather than a bitmap of the screen's
    // format: making one of those asks the display driver about its devices
    // each time (under Wine three server round trips, about as much as
    // composing the frame), and a copy to the screen converts either alike.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as the screen's rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    if (!bitmap_.Attach(::CreateDIBSection(surface_.GetSafeHdc(), &info, DIB_RGB_COLORS, &bits,
                                           nullptr, 0)))
        return false;
    HGDIOBJ previous = surface_.SelectObject(bitmap_.m_hObject);
    if (!previous || previous == HGDI_ERROR) return false;
    original_ = previous;
    return true;
}

void SpinnerFrameCache::clear() {
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

SpinnerFrameCache::Frame* SpinnerFrameCache::find(float angle) {
    for (const auto& frame : frames_)
        if (frame->angle() == angle) return frame.get();
    return nullptr;
}

bool SpinnerFrameCache::copyTo(CDC& target, int x, int y, float angle) {
    Frame* frame = find(angle);
    if (!frame) return false;
    return target.BitBlt(x, y, look_.width, look_.height, &frame->surface(), 0, 0, SRCCOPY) !=
           FALSE;
}

CDC* SpinnerFrameCache::addFrame(CDC& target, float angle) {
    if (find(angle) || frames_.size() >= capacity()) return nullptr;
    // Room first, so that a frame made is always a frame kept (and released).
    try {
        frames_.reserve(capacity());
    } catch (...) {
        return nullptr;
    }
    std::unique_ptr<Frame> frame(new (std::nothrow) Frame(angle));
    if (!frame || !frame->create(target, look_.width, look_.height)) return nullptr;
    frames_.push_back(std::move(frame));
    return &frames_.back()->surface();
}
