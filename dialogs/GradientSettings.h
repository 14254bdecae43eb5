#pragma once
#include <windows.h>

#include <cstdint>

// A linear background gradient.
struct GradientSettings {
    COLORREF colorFrom = 0;
    COLORREF colorTo = 0;
    // 1: top to bottom; 2: top-left to bottom-right; 3: bottom-left to
    // top-right; anything else: left to right.
    int32_t direction = 0;
    // 0 opaque .. 255 fully transparent, for both colours.
    uint8_t transparency = 0;
};
