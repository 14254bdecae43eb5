#pragma once
#include <cstdint>

#include "dialogs/LayoutFlags.h"

class CWnd;

// One anchoring record: which control follows which reference edge, and by
// how much. placeRelative reads the same record for its two windows, where the
// margins are gaps (target) or limits and minimum sizes (reference).
// A window is named by the pointer, or, when it is null, by a non-negative
// dialog item identifier of the owner.
struct ResizeProp {
    int32_t controlId = -1;
    CWnd* control = nullptr;
    uint32_t flags = RF_RIGHT | RF_BOTTOM;
    int32_t marginRight = -1;
    int32_t marginBottom = -1;
    int32_t anchorId = -1;
    CWnd* anchor = nullptr;
};
static_assert(sizeof(void*) != 4 || sizeof(ResizeProp) == 28, "seven 32-bit fields");
