#include "drawing/SpinnerAngle.h"

#include <cmath>

namespace halvet {

float advanceSpinnerAngle(float angle, float step) {
    float next = angle + step;
    if (!std::isfinite(next)) return 0.0f;
    // Whole turns rather than one subtraction: a step beyond a full turn (or a
    // negative one) would otherwise let the angle drift away without bound
    // and lose the float's precision over a long-running panel.
    if (next > 360.0f) {
        next = std::fmod(next, 360.0f);
        if (next == 0.0f) next = 360.0f;
    } else if (next < 0.0f) {
        next = std::fmod(next, 360.0f) + 360.0f;
        if (next > 360.0f) next = 360.0f;
    }
    return next;
}

}  // namespace halvet
