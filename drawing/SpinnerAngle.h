#pragma once

namespace halvet {

// The angle after one tick of a turning picture: `angle` + `step`, in degrees,
// kept between 0 and 360. A full turn is taken off once the sum passes 360,
// and 360 itself stays, so with a step of 30 the angles run 30, 60, ..., 330,
// 360, 30, ... Sums below 0 (a negative step) come back up by whole turns; a
// sum that is not a finite number starts again at 0.
float advanceSpinnerAngle(float angle, float step);

}  // namespace halvet
