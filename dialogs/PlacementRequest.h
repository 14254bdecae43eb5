#pragma once
#include <windows.h>

#include <cstdint>

// Everything placeRelative's arithmetic needs, read from the windows first.
// Rectangles are in the owner's coordinates.
struct PlacementRequest {
    RECT reference{};  // the reference window, or the owner's layout
    RECT target{};     // the target's current rectangle
    bool referenceIsOwner = false;
    uint32_t place = 0;       // PL_ flags
    uint32_t align = 0;       // AL_ flags (AL_INSIDE already added for the owner)
    int32_t gapX = 0;         // target record's marginRight
    int32_t gapY = 0;         // target record's marginBottom
    int32_t limitRight = 0;   // reference record's marginRight
    int32_t limitBottom = 0;  // reference record's marginBottom
    int dpiX = 96;            // screen resolution, used with PL_SCALEDPI
    int dpiY = 96;
    uint32_t targetFlags = 0;  // target record's anchoring flags, for PL_ANCHOR
    int32_t anchorRight = 0;   // reference edges for PL_ANCHOR
    int32_t anchorBottom = 0;
};
