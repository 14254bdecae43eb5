#include "drawing/CMemDCEx2.h"

void CMemDCEx2::captureFrom(CDC* source, const RECT* rectangle) {
    release();
    if (rectangle) {
        rect_ = *rectangle;
    } else {
        source->GetClipBox(&rect_);
    }
    const int width = rect_.right - rect_.left;
    const int height = rect_.bottom - rect_.top;
    if (!CreateCompatibleDC(source)) return;
    if (!bitmap_.CreateCompatibleBitmap(source, width, height)) {
        DeleteDC();
        return;
    }
    oldBitmap_ = SelectObject(bitmap_.m_hObject);
    ::BitBlt(m_hDC, 0, 0, width, height, source->m_hDC, rect_.left, rect_.top, SRCCOPY);
}

void CMemDCEx2::release() {
    // The surface is put out of the context first: GDI does not delete a
    // bitmap that is still selected.
    if (m_hDC && oldBitmap_) SelectObject(oldBitmap_);
    oldBitmap_ = nullptr;
    bitmap_.DeleteObject();
    DeleteDC();
}
