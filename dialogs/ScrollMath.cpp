#include "dialogs/ScrollMath.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace scrollMath {
namespace {

int32_t saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace

AxisState updateAxis(int32_t avail, int32_t content, int32_t oldPage, int32_t oldPosition) {
    AxisState axis;
    if (avail >= content) return axis;  // fits: empty range, disabled bar
    axis.maximum = content - 1;
    // Rescaled in 64 bits: the product of two 32-bit sizes fits, and the
    // quotient, truncated as before, may exceed 32 bits until it is clamped.
    int64_t position = oldPosition;
    if (oldPage > 0 && oldPosition > 0) position = int64_t{oldPosition} * avail / oldPage;
    axis.page = avail;
    const int64_t last = int64_t{content} - avail - 1;
    axis.position = saturate(std::max<int64_t>(0, std::min(position, last)));
    return axis;
}

int32_t clampedStep(int32_t content, int32_t page, int32_t position, int32_t requested) {
    if (content <= 0 || page <= 0) return 0;
    const int64_t last = int64_t{content} - page;
    const int64_t target = int64_t{position} + requested;
    if (target > last) return saturate(last - position);
    if (target < 0) return saturate(-int64_t{position});
    return requested;
}

bool stepForCode(int code, int32_t page, int32_t position, int32_t trackPosition, int32_t* step) {
    switch (code) {
        case SB_LINEUP:
            *step = -kLineStep;
            return true;
        case SB_LINEDOWN:
            *step = kLineStep;
            return true;
        case SB_PAGEUP:
            *step = -page;
            return true;
        case SB_PAGEDOWN:
            *step = page;
            return true;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            *step = saturate(int64_t{trackPosition} - position);
            return true;
        default:
            return false;
    }
}

WheelAction wheelAction(int16_t delta, int wheelLines) {
    WheelAction action;
    action.backwards = delta > 0;
    if (wheelLines == kWheelPageScroll) {
        action.byPage = true;
        return action;
    }
    const int64_t notches = std::abs(int32_t{delta}) / kWheelDelta;
    const int64_t lines = int64_t{std::max(wheelLines, 0)} * notches / 3;
    action.lines = saturate(std::max<int64_t>(lines, 1));
    return action;
}

RECT layoutRect(const RECT& client, SIZE content, bool scrollEnabled, bool excludeBars,
                SIZE shownBars) {
    RECT layout = client;
    if (!scrollEnabled) return layout;
    if (content.cx > client.right - client.left)
        layout.right = layout.left + content.cx - (excludeBars ? shownBars.cx : 0);
    if (content.cy > client.bottom - client.top)
        layout.bottom = layout.top + content.cy - (excludeBars ? shownBars.cy : 0);
    return layout;
}

}  // namespace scrollMath
