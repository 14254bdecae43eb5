#pragma once
#include <windows.h>

namespace Gdiplus {
class Graphics;
class Image;
}  // namespace Gdiplus

namespace halvet {

// Where a picture of `width` x `height` pixels is put in `area` at its natural
// size: centred (an odd spare pixel goes right and down), never left of or
// above 0. An area with no width or height takes the picture's.
POINT centredImageOrigin(const RECT& area, int width, int height);

// Draws the whole of `image` at its natural size, centred in `area` and turned
// by `angle` degrees (clockwise on the screen) about its centre. Nothing is
// drawn without an image; failures of the drawing calls are ignored. The
// surface's transform is as before afterwards.
void drawRotatedImage(Gdiplus::Graphics& graphics, Gdiplus::Image* image, float angle,
                      const RECT& area);

}  // namespace halvet
