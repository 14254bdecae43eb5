#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "dialogs/GridTracks.h"

// The arithmetic of a container's grid, free of windows.
namespace gridMath {

// Rows and views per row for `viewCount` views. A negative `gridRows` derives
// the rows from the views per row, else the views per row from the rows;
// integer division leaves an incomplete last row out of the complete rows.
struct GridShape {
    int32_t rows = 0;
    int32_t perRow = 0;  // may be 0 when there are fewer views than rows

    // Views in complete rows: those that are measured.
    int32_t completeViews() const { return rows * perRow; }
    // The views per row to step through the list with; never 0.
    int32_t stride() const { return perRow > 0 ? perRow : 1; }
};
GridShape gridShape(int32_t gridRows, int32_t gridColumns, int32_t viewCount);

// (row, column) of the view at `index`.
POINT gridPosition(int32_t index, const GridShape& shape);

// Size a grid needs. `measured` holds, per view in list order, its size with
// its own margins, or nothing for a hidden view. Only complete rows count.
// With `tracks`, their rows and columns are recorded.
SIZE gridSize(const std::vector<std::optional<SIZE>>& measured, const GridShape& shape,
              const RECT& gridMargins, GridTracks* tracks);

// Whether the view at `index` may take the spare space: only views of
// complete rows, the ones the tracks describe.
bool canStretch(int32_t index, const GridShape& shape);

// The stretched size of the view at `index` (measured `size`) in a client
// area of `client`: it takes up what its row and column leave over, or gives
// up their excess. Nothing when the tracks do not describe its row or column.
std::optional<SIZE> stretchedSize(int32_t index, SIZE size, SIZE client, const GridShape& shape,
                                  const GridTracks& tracks);

// Where addView puts a window: at the end of the complete rows.
struct Insertion {
    bool changes = false;  // false: the window stays where it is
    int32_t index = 0;     // where the record goes, in the list without its old entry
};
// `current` is the window's index in the list (-1 when it is not a view).
Insertion insertionFor(int32_t current, int32_t viewCount, const GridShape& shape);

}  // namespace gridMath
