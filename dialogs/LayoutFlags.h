#pragma once
#include <cstdint>

// Anchoring flags of a ResizeProp.
constexpr uint32_t RF_RIGHT = 0x01;       // right edge follows the reference right edge
constexpr uint32_t RF_BOTTOM = 0x02;      // bottom edge follows the reference bottom edge
constexpr uint32_t RF_KEEPWIDTH = 0x04;   // with RF_RIGHT: move instead of stretching
constexpr uint32_t RF_KEEPHEIGHT = 0x08;  // with RF_BOTTOM: move instead of stretching
constexpr uint32_t RF_ANCHORFAR = 0x40;   // sibling reference: its right/bottom, not left/top

// Placement flags of Resizer::placeRelative.
constexpr uint32_t PL_LEFT = 0x001;
constexpr uint32_t PL_ABOVE = 0x002;
constexpr uint32_t PL_CENTERV = 0x004;  // reference is the owner, no side: centre vertically
constexpr uint32_t PL_CENTERH = 0x008;  // reference is the owner, no side: centre horizontally
constexpr uint32_t PL_RIGHT = 0x010;
constexpr uint32_t PL_BELOW = 0x020;
constexpr uint32_t PL_GROWOWNER = 0x040;  // then grow the owner to the target's far edge
constexpr uint32_t PL_SCALEDPI = 0x100;   // gaps are at 96 dots per inch
constexpr uint32_t PL_ANCHOR = 0x200;     // then anchor the target inside the reference

// Alignment flags of Resizer::placeRelative.
constexpr uint32_t AL_LEFT = 0x01;
constexpr uint32_t AL_TOP = 0x02;
constexpr uint32_t AL_CENTERV = 0x04;
constexpr uint32_t AL_CENTERH = 0x08;
constexpr uint32_t AL_RIGHT = 0x10;
constexpr uint32_t AL_BOTTOM = 0x20;
constexpr uint32_t AL_INSIDE = 0x80;  // inside the reference edge instead of beyond it
