#pragma once
#include <windows.h>

#include <cstdint>

// Walks the grid while views are placed, in list order: left to right within
// a row, rows one below the other, each row as high as its tallest view.
// Positions are in content coordinates (before scrolling). Hidden views are
// not passed in: they take no place.
class GridCursor {
public:
    // `perRow` of 0 or less counts as 1.
    GridCursor(const RECT& gridMargins, int32_t perRow);

    // Top-left corner of the next view's window, inside its own margins.
    POINT next(const RECT& margins) const;
    // Moves on past a view of `size` with `margins`.
    void advance(SIZE size, const RECT& margins);

private:
    int32_t left_;
    int32_t perRow_;
    int32_t x_;
    int32_t y_;
    int32_t rowHeight_ = 0;
    int32_t column_ = 0;
};
