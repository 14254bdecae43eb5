#pragma once
#include <cstdint>
#include <vector>

// What each grid row and column needs, gathered while measuring the grid:
// the stretch step gives a view the space its row and column leave over.
struct GridTracks {
    std::vector<int32_t> rowWidths;      // one entry per grid row, with the grid's side margins
    std::vector<int32_t> columnHeights;  // one entry per column index, with top and bottom margins
};
