#include "dialogs/GridCursor.h"

#include <algorithm>

GridCursor::GridCursor(const RECT& gridMargins, int32_t perRow)
    : left_(gridMargins.left),
      perRow_(perRow > 0 ? perRow : 1),
      x_(gridMargins.left),
      y_(gridMargins.top) {}

POINT GridCursor::next(const RECT& margins) const {
    return POINT{x_ + margins.left, y_ + margins.top};
}

void GridCursor::advance(SIZE size, const RECT& margins) {
    x_ += margins.left + size.cx + margins.right;
    rowHeight_ = std::max<int32_t>(rowHeight_, margins.top + size.cy + margins.bottom);
    column_ = (column_ + 1) % perRow_;
    if (column_ == 0) {
        y_ += rowHeight_;
        x_ = left_;
        rowHeight_ = 0;
    }
}
