#pragma once
#include <windows.h>

#include <cstdint>

#include "dialogs/LayoutFlags.h"

class CWnd;

// How a dialog sits over its owner's top-level window.
struct FollowParameters {
    CWnd* reference = nullptr;  // the top-level window
    RECT insets{};              // its window edges to its client edges
    uint32_t placeFlags = PL_ABOVE | PL_ANCHOR;
    uint32_t alignFlags = AL_LEFT | AL_INSIDE;
    uint32_t targetFlags = RF_RIGHT | RF_BOTTOM;
};
