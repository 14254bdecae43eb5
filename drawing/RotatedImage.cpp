#include "drawing/RotatedImage.h"

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <cstdint>

namespace halvet {
namespace {

// Half of `value`, rounded towards minus infinity (a picture wider than its
// area sticks out one pixel more to the left).
int64_t floorHalf(int64_t value) {
    return (value - (value & 1)) / 2;
}

int placeAlong(LONG low, LONG high, int size) {
    // 64-bit: the edges of an area may be anywhere in the 32-bit range.
    const int64_t extent = high > low ? int64_t(high) - low : size;
    const int64_t start = int64_t(low) + floorHalf(extent - size);
    return start < 0 ? 0 : static_cast<int>(std::min<int64_t>(start, INT32_MAX));
}

}  // namespace

POINT centredImageOrigin(const RECT& area, int width, int height) {
    return POINT{placeAlong(area.left, area.right, width),
                 placeAlong(area.top, area.bottom, height)};
}

void drawRotatedImage(Gdiplus::Graphics& graphics, Gdiplus::Image* image, float angle,
                      const RECT& area) {
    if (!image) return;
    const int width = static_cast<int>(image->GetWidth());
    const int height = static_cast<int>(image->GetHeight());
    const POINT origin = centredImageOrigin(area, width, height);
    const Gdiplus::REAL w = static_cast<Gdiplus::REAL>(width);
    const Gdiplus::REAL h = static_cast<Gdiplus::REAL>(height);
    if (angle == 0.0f) {
        graphics.DrawImage(image, Gdiplus::Rect(origin.x, origin.y, width, height), 0, 0, width,
                           height, Gdiplus::UnitPixel);
        return;
    }
    const Gdiplus::GraphicsState saved = graphics.Save();
    // Turn about the origin first, then move the origin to the picture's
    // centre. The move includes the picture's place in the area, so a picture
    // smaller than its control still turns about its own centre. The picture
    // is laid out around the origin by exactly half its size: half a pixel
    // less would make the ring circle its centre by 0.7 pixels as it turns.
    graphics.TranslateTransform(origin.x + w / 2, origin.y + h / 2);
    graphics.RotateTransform(angle, Gdiplus::MatrixOrderPrepend);
    const Gdiplus::RectF destination(-w / 2, -h / 2, w, h);
    graphics.DrawImage(image, destination, 0, 0, w, h, Gdiplus::UnitPixel);
    graphics.Restore(saved);
}

}  // namespace halvet
