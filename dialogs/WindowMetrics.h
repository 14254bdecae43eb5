#pragma once
#include <windows.h>

// Measurements of any window (framework dialog or not).
namespace windowMetrics {

// The system scroll bar width and height when the window's frame leaves room
// for a shown vertical and horizontal bar beyond its client area, else 0.
SIZE visibleScrollBarSizes(HWND window);

// Distances between the window's edges and its client area's edges, with
// shown scroll bars counted as client area.
RECT frameInsets(HWND window);

}  // namespace windowMetrics
