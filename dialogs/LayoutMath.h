#pragma once
#include <windows.h>

#include <cstdint>

#include "dialogs/Placement.h"
#include "dialogs/PlacementRequest.h"

// The arithmetic of anchoring and placement, free of windows.
namespace layout {

// Moves the edges of `rect` that `flags` anchor to the reference edges minus
// the margins; true when any of the four values changed.
bool anchorEdges(uint32_t flags, int32_t marginRight, int32_t marginBottom, int32_t referenceRight,
                 int32_t referenceBottom, RECT& rect);

// Where the target goes against the reference.
Placement computePlacement(const PlacementRequest& request);

}  // namespace layout
