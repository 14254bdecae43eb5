#include "dialogs/Resizer.h"

#include <algorithm>

#include "dialogs/CBaseDlg.h"
#include "dialogs/CScrollDlg.h"
#include "dialogs/LayoutMath.h"
#include "framework/CWindowDC.h"
#include "framework/CWnd.h"

namespace {

constexpr UINT kKeepZOrder = SWP_NOZORDER | SWP_NOACTIVATE;

// The screen's resolution, read once for the life of the process.
SIZE screenDpi() {
    static const SIZE dpi = [] {
        CWindowDC screen(static_cast<HWND>(nullptr));
        return SIZE{::GetDeviceCaps(screen.m_hDC, LOGPIXELSX),
                    ::GetDeviceCaps(screen.m_hDC, LOGPIXELSY)};
    }();
    return dpi;
}

}  // namespace

CWnd* Resizer::resolve(CWnd* window, int32_t id) const {
    if (window) return window;
    if (id < 0 || !owner) return nullptr;
    return owner->GetDlgItem(id);
}

RECT Resizer::rectInOwner(const CWnd* window) const {
    RECT rect{};
    window->GetWindowRect(&rect);
    owner->ScreenToClient(&rect);
    return rect;
}

RECT Resizer::ownerLayout() const {
    RECT layout{};
    if (auto* dialog = dynamic_cast<CBaseDlg*>(owner)) {
        dialog->getLayoutRect(&layout);
    } else {
        owner->GetClientRect(&layout);
    }
    return layout;
}

bool Resizer::computeAnchoredRect(const ResizeProp& record, const RECT& layout, RECT& rect) const {
    LONG referenceRight = layout.right;
    LONG referenceBottom = layout.bottom;
    if (CWnd* sibling = resolve(record.anchor, record.anchorId)) {
        const RECT r = rectInOwner(sibling);
        const bool farEdges = (record.flags & RF_ANCHORFAR) != 0;
        referenceRight = farEdges ? r.right : r.left;
        referenceBottom = farEdges ? r.bottom : r.top;
    }
    if (!rect.left && !rect.top && !rect.right && !rect.bottom) {
        CWnd* control = resolve(record.control, record.controlId);
        if (!control) return false;
        rect = rectInOwner(control);
    }
    return layout::anchorEdges(record.flags, record.marginRight, record.marginBottom,
                               referenceRight, referenceBottom, rect);
}

void Resizer::applyAll() {
    if (records.empty()) return;
    const RECT layout = ownerLayout();
    const size_t count = records.size();
    for (size_t i = 0; i < count; ++i) {
        RECT rect{};
        if (!computeAnchoredRect(records[i], layout, rect)) continue;
        CWnd* control = resolve(records[i].control, records[i].controlId);
        control->SetWindowPos(nullptr, rect.left, rect.top, rect.right - rect.left,
                              rect.bottom - rect.top, kKeepZOrder);
    }
}

bool Resizer::placeRelative(const ResizeProp& reference, const ResizeProp& target, uint32_t place,
                            uint32_t align) {
    CWnd* targetWindow = resolve(target.control, target.controlId);
    if (!targetWindow || !owner) return false;
    PlacementRequest request;
    request.target = rectInOwner(targetWindow);
    if (CWnd* referenceWindow = resolve(reference.control, reference.controlId)) {
        request.reference = rectInOwner(referenceWindow);
    } else {
        request.reference = ownerLayout();
        if (targetWindow->GetStyle() & WS_POPUP) owner->ClientToScreen(&request.reference);
        request.referenceIsOwner = true;
        align |= AL_INSIDE;
    }
    request.place = place;
    request.align = align;
    request.gapX = target.marginRight;
    request.gapY = target.marginBottom;
    request.limitRight = reference.marginRight;
    request.limitBottom = reference.marginBottom;
    if (place & PL_SCALEDPI) {
        const SIZE dpi = screenDpi();
        request.dpiX = dpi.cx;
        request.dpiY = dpi.cy;
    }
    if (place & PL_ANCHOR) {
        // The anchoring of a copy of the target record: its own sibling, if
        // any, else the reference rectangle's farEdges edges.
        request.targetFlags = target.flags;
        request.anchorRight = request.reference.right;
        request.anchorBottom = request.reference.bottom;
        if (CWnd* sibling = resolve(target.anchor, target.anchorId)) {
            const RECT r = rectInOwner(sibling);
            const bool farEdges = (target.flags & RF_ANCHORFAR) != 0;
            request.anchorRight = farEdges ? r.right : r.left;
            request.anchorBottom = farEdges ? r.bottom : r.top;
        }
    }

    const Placement placement = layout::computePlacement(request);
    if (placement.refused) return false;
    // A target already in place changes nothing, the owner's size included.
    if (!placement.move) return true;
    targetWindow->SetWindowPos(nullptr, placement.x, placement.y, placement.width, placement.height,
                               kKeepZOrder | (placement.resized ? 0 : SWP_NOSIZE));
    if (place & PL_GROWOWNER)
        growOwner(reference, placement.x + placement.width, placement.y + placement.height, place);
    return true;
}

void Resizer::growOwner(const ResizeProp& reference, int right, int bottom, uint32_t place) const {
    const RECT layout = ownerLayout();
    const int extraX = (place & PL_RIGHT) ? right - layout.right : 0;
    const int extraY = (place & PL_BELOW) ? bottom - layout.bottom : 0;
    if (!extraX && !extraY) return;
    const int layoutWidth = layout.right - layout.left;
    const int layoutHeight = layout.bottom - layout.top;
    const int newWidth = std::max<int>(layoutWidth + extraX, reference.marginRight);
    const int newHeight = std::max<int>(layoutHeight + extraY, reference.marginBottom);
    if (newWidth == layoutWidth && newHeight == layoutHeight) return;
    // A scrolling owner takes the size as its content size instead.
    if (auto* scrolling = dynamic_cast<CScrollDlg*>(owner))
        scrolling->setContentSize(newWidth, newHeight);
    else if (auto* dialog = dynamic_cast<CBaseDlg*>(owner))
        dialog->setClientSize(newWidth, newHeight);
}
