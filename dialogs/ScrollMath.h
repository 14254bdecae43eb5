#pragma once
#include <windows.h>

#include <cstdint>

// The arithmetic of scrolling, free of windows: one axis at a time, in pixels.
namespace scrollMath {

// Pixels of one scroll line (arrow click, wheel line).
constexpr int kLineStep = 60;
// One wheel notch.
constexpr int kWheelDelta = 120;
// The wheel setting that asks for a page per notch.
constexpr int kWheelPageScroll = -1;

// One axis after a change of the visible size or of the content.
struct AxisState {
    int32_t maximum = 0;   // scroll range is 0..maximum
    int32_t page = 0;      // 0 while the content fits
    int32_t position = 0;  // 0 while the content fits
};

// The axis for `avail` visible pixels over `content` pixels, from the old
// page and position. A position kept while the page changes keeps its share
// of the page; it then stays one below the largest position a scroll step
// reaches (content - avail).
AxisState updateAxis(int32_t avail, int32_t content, int32_t oldPage, int32_t oldPosition);

// The step that moves `position` by `requested` without leaving
// 0..content - page; 0 when the axis does not scroll (content or page 0).
// A request of 0 still pulls an out-of-range position back.
int32_t clampedStep(int32_t content, int32_t page, int32_t position, int32_t requested);

// The scroll requested by a WM_HSCROLL/WM_VSCROLL notification `code`, for an
// axis with `page` and `position` whose thumb is tracked at `trackPosition`.
// False for codes that do not scroll.
bool stepForCode(int code, int32_t page, int32_t position, int32_t trackPosition, int32_t* step);

// What one WM_MOUSEWHEEL does on the chosen axis.
struct WheelAction {
    bool backwards = false;  // towards the start (the wheel turned away from the user)
    bool byPage = false;     // one page step instead of line steps
    int32_t lines = 0;       // line steps when not by page, at least 1
};

// `delta` is the signed wheel delta, `wheelLines` the system setting
// (SPI_GETWHEELSCROLLLINES; kWheelPageScroll for a page per notch).
WheelAction wheelAction(int16_t delta, int wheelLines);

// The layout rectangle of a scrolling dialog: the client rectangle, widened
// to the content on each axis where the content is larger (less the shown
// scroll bar across that axis when `excludeBars`).
RECT layoutRect(const RECT& client, SIZE content, bool scrollEnabled, bool excludeBars,
                SIZE shownBars);

}  // namespace scrollMath
