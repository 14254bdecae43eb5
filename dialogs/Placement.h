#pragma once

// Where placeRelative puts the target.
struct Placement {
    bool refused = false;  // a limit was crossed: nothing moves
    bool move = false;     // position (or size) differs from the current one
    bool resized = false;  // anchoring changed the size
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
