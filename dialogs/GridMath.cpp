#include "dialogs/GridMath.h"

#include <algorithm>

namespace gridMath {

GridShape gridShape(int32_t gridRows, int32_t gridColumns, int32_t viewCount) {
    // A divisor of 0 or less (no columns, no rows) counts as 1.
    GridShape shape;
    if (gridRows < 0) {
        shape.perRow = gridColumns;
        shape.rows = viewCount / std::max(gridColumns, 1);
    } else {
        shape.rows = gridRows;
        shape.perRow = viewCount / std::max(gridRows, 1);
    }
    if (shape.perRow < 0) shape.perRow = 0;
    return shape;
}

POINT gridPosition(int32_t index, const GridShape& shape) {
    if (index < 0) return POINT{-1, -1};
    return POINT{index / shape.stride(), index % shape.stride()};
}

SIZE gridSize(const std::vector<std::optional<SIZE>>& measured, const GridShape& shape,
              const RECT& gridMargins, GridTracks* tracks) {
    SIZE result{0, 0};
    const auto count = static_cast<int32_t>(measured.size());
    for (int32_t r = 0; r < shape.rows; ++r) {
        int32_t rowWidth = 0;
        int32_t rowHeight = 0;
        for (int32_t j = 0; j < shape.perRow; ++j) {
            const int32_t index = r * shape.perRow + j;
            if (index >= count || !measured[index]) continue;
            const SIZE& s = *measured[index];
            rowHeight = std::max<int32_t>(rowHeight, s.cy);
            rowWidth += s.cx;
            if (tracks) {
                if (tracks->columnHeights.size() <= static_cast<size_t>(j))
                    tracks->columnHeights.resize(j + 1, 0);
                tracks->columnHeights[j] += gridMargins.top + gridMargins.bottom + s.cy;
            }
        }
        result.cx = std::max<LONG>(result.cx, rowWidth);
        result.cy += rowHeight;
        if (tracks) tracks->rowWidths.push_back(gridMargins.left + gridMargins.right + rowWidth);
    }
    result.cx += gridMargins.left + gridMargins.right;
    result.cy += gridMargins.top + gridMargins.bottom;
    return result;
}

bool canStretch(int32_t index, const GridShape& shape) {
    return index >= 0 && index < shape.completeViews();
}

std::optional<SIZE> stretchedSize(int32_t index, SIZE size, SIZE client, const GridShape& shape,
                                  const GridTracks& tracks) {
    if (!canStretch(index, shape)) return std::nullopt;
    const POINT at = gridPosition(index, shape);
    if (static_cast<size_t>(at.x) >= tracks.rowWidths.size() ||
        static_cast<size_t>(at.y) >= tracks.columnHeights.size())
        return std::nullopt;
    const LONG width = size.cx + client.cx - tracks.rowWidths[at.x];
    const LONG height = size.cy + client.cy - tracks.columnHeights[at.y];
    return SIZE{std::max<LONG>(0, width), std::max<LONG>(0, height)};
}

Insertion insertionFor(int32_t current, int32_t viewCount, const GridShape& shape) {
    Insertion insertion;
    int32_t at = shape.completeViews();
    if (current >= 0) {
        if (current == at || current == at - 1) return insertion;
        if (current < at) --at;
    }
    insertion.changes = true;
    insertion.index = std::max(at, 0);
    return insertion;
}

}  // namespace gridMath
