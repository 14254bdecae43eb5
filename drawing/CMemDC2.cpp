#include "drawing/CMemDC2.h"

CMemDC2::CMemDC2(CDC* target, const RECT* rectangle) : target_(target) {
    if (rectangle) {
        rect_ = *rectangle;
    } else {
        target->GetClipBox(&rect_);
    }
    if (!CreateCompatibleDC(target)) return;
    RECT device = rect_;
    target->LPtoDP(&device);
    if (!bitmap_.CreateCompatibleBitmap(target, device.right - device.left,
                                        device.bottom - device.top))
        return;
    oldBitmap_ = SelectObject(bitmap_.m_hObject);
    ::BitBlt(m_hDC, 0, 0, device.right - device.left, device.bottom - device.top, target->m_hDC,
             rect_.left, rect_.top, SRCCOPY);
    SetBkMode(target->GetBkMode());
    SetMapMode(target->GetMapMode());
    SetWindowExt(target->GetWindowExt());
    SetViewportExt(target->GetViewportExt());
    target->DPtoLP(&device);
    rect_ = device;
    SetWindowOrg(rect_.left, rect_.top);
}

CMemDC2::~CMemDC2() {
    if (m_hDC && oldBitmap_) {
        target_->BitBlt(rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top,
                        this, rect_.left, rect_.top, SRCCOPY);
        SelectObject(oldBitmap_);
    }
    bitmap_.DeleteObject();
    DeleteDC();
}
