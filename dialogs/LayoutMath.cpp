#include "dialogs/LayoutMath.h"

#include "dialogs/LayoutFlags.h"

namespace layout {
namespace {

int width(const RECT& r) {
    return r.right - r.left;
}
int height(const RECT& r) {
    return r.bottom - r.top;
}

// Horizontal position for a target above or below the reference.
int alongVerticalSide(const PlacementRequest& q, int dx) {
    const RECT& r = q.reference;
    const int tw = width(q.target);
    if (q.align & AL_RIGHT) return r.right - tw - dx;
    if (q.align & AL_CENTERH) return r.left + ((width(r) - tw) >> 1);
    return ((q.align & AL_LEFT) ? r.left : q.target.left) + dx;
}

// Vertical position for a target left or right of the reference.
int alongHorizontalSide(const PlacementRequest& q, int y, int dy) {
    const RECT& r = q.reference;
    const int th = height(q.target);
    if (q.align & AL_BOTTOM) return r.bottom - th - dy;
    if (q.align & AL_CENTERV) return y + ((height(r) - th) >> 1);
    if (q.align & AL_TOP) return y + dy;
    return q.target.top + dy;
}

bool limitsRefuse(const PlacementRequest& q, const Placement& p) {
    const bool limited =
        !(q.place & PL_GROWOWNER) && !q.referenceIsOwner && (q.limitBottom > 0 || q.limitRight > 0);
    if (!limited) return false;
    bool refused = false;
    if (q.limitBottom > 0) {
        if (q.place & PL_ABOVE) {
            refused = p.y < q.limitBottom;
        } else if (q.place & PL_BELOW) {
            refused = p.y + p.height > q.limitBottom;
        }
    }
    if (q.limitRight > 0 && (q.place & (PL_LEFT | PL_RIGHT))) {
        refused = (q.place & PL_LEFT) ? p.x < q.limitRight : p.x + p.width > q.limitRight;
    }
    return refused;
}

}  // namespace

bool anchorEdges(uint32_t flags, int32_t marginRight, int32_t marginBottom, int32_t referenceRight,
                 int32_t referenceBottom, RECT& rect) {
    const RECT before = rect;
    if (flags & RF_BOTTOM) {
        if (flags & RF_KEEPHEIGHT) rect.top += referenceBottom - marginBottom - rect.bottom;
        rect.bottom = referenceBottom - marginBottom;
    }
    if (flags & RF_RIGHT) {
        if (flags & RF_KEEPWIDTH) rect.left = referenceRight - marginRight - width(rect);
        rect.right = referenceRight - marginRight;
    }
    return rect.left != before.left || rect.top != before.top || rect.right != before.right ||
           rect.bottom != before.bottom;
}

Placement computePlacement(const PlacementRequest& q) {
    const RECT& r = q.reference;
    const int tw = width(q.target);
    const int th = height(q.target);

    int dx = width(r) != 0 ? q.gapX : 0;
    int dy = height(r) != 0 ? q.gapY : 0;
    if (q.place & PL_SCALEDPI) {
        dx = MulDiv(dx, q.dpiX, 96);
        dy = MulDiv(dy, q.dpiY, 96);
    }
    int gapX = dx;
    int gapY = dy;
    if (q.align & AL_INSIDE) {
        if (-tw - dx != 0) gapX = -tw - dx;
        if (-th - dy != 0) gapY = -th - dy;
    }

    Placement p;
    p.x = r.left;
    p.y = r.top;
    const bool vertical = (q.place & (PL_ABOVE | PL_BELOW)) != 0;
    const bool horizontal = (q.place & (PL_LEFT | PL_RIGHT)) != 0;
    if (vertical) {
        p.y = (q.place & PL_ABOVE) ? r.top - th - gapY : r.bottom + gapY;
        p.x = alongVerticalSide(q, dx);
    }
    if (horizontal) {
        p.x = (q.place & PL_LEFT) ? p.x - tw - gapX : r.right + gapX;
        p.y = alongHorizontalSide(q, p.y, dy);
    } else if (!vertical && q.referenceIsOwner) {
        if (q.place & PL_CENTERV) p.y += (height(r) - th) >> 1;
        if (q.place & PL_CENTERH) p.x += (width(r) - tw) >> 1;
    }

    p.width = tw;
    p.height = th;
    if (q.place & PL_ANCHOR) {
        RECT anchored{p.x, p.y, p.x + tw, p.y + th};
        p.resized = anchorEdges(q.targetFlags, q.limitRight, q.limitBottom, q.anchorRight,
                                q.anchorBottom, anchored);
        p.width = width(anchored);
        p.height = height(anchored);
    }

    p.refused = limitsRefuse(q, p);
    p.move = !p.refused && (p.x != q.target.left || p.y != q.target.top || p.resized);
    return p;
}

}  // namespace layout
