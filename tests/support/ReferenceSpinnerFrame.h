#pragma once
// The spinner's frames computed without the image library's drawing: the
// picture's pixels read once, turned and sampled here, laid over a colour.
// The tests compare what the control puts on the screen with these.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "support/TestWindows.h"

namespace halvet::test {

// How far, per channel, a frame on the screen may stand from the reference
// inside the turned picture. Both blend the same premultiplied pixels with the
// same weights; the image library rounds to 8 bits where this does not
// (premultiplying, the weighted sum, the blend over the background), up to
// half a level each: 1.5 levels, so 2. Measured: 2 (1 fails ~20 pixels a frame).
constexpr int kSamplingTolerance = 2;

// A picture's pixels with straight (not premultiplied) alpha, row by row,
// 0xAARRGGBB.
struct RgbaPicture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// Decodes PNG resource `id` (type "PNG") of `module`. The image library must
// be running; it only decodes, nothing is drawn through it.
bool loadRgbaPicture(HMODULE module, int id, RgbaPicture* picture);

// A frame as the tests compute it, row by row.
struct ReferenceFrame {
    int width = 0;
    int height = 0;
    COLORREF background = 0;
    std::vector<COLORREF> pixels;
    // Pixels within a pixel and a half of the turned picture's edge. Whether
    // the library counts such a pixel in or out of the turned square is its
    // own rounding (a 360-degree turn, whose sine is not quite 0, leaves out
    // a column): there a frame may show either the sampled colour or the
    // background.
    std::vector<bool> onOutline;
};

// The frame of a control of the picture's size: the picture turned clockwise
// by `angle` degrees about its centre, laid over `background`. Pixel centres
// lie on whole coordinates in the picture and on the screen (the image
// library's default pixel offset); each screen pixel's centre is turned back
// onto the picture and sampled bilinearly from its premultiplied pixels,
// transparent outside.
ReferenceFrame referenceSpinnerFrame(const RgbaPicture& picture, float angle, COLORREF background);

// Pixels of `shown` (row by row, the reference's size) that are not within
// `tolerance` per channel of the reference (or, on the outline, of its
// background); -1 when the sizes differ.
int pixelsOffReference(const std::vector<COLORREF>& shown, const ReferenceFrame& reference,
                       int tolerance = kSamplingTolerance);

// What a window shows in its client area, row by row, read in one copy.
std::vector<COLORREF> shownPixels(HWND window);
// The pixels of a 32-bit surface's top-left `width` x `height`, row by row.
std::vector<COLORREF> surfacePixels(const PixelSurface& surface, int width, int height);

// Pixels that differ by more than `tolerance` in any channel; -1 when the
// sizes differ.
int pixelsBeyond(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b, int tolerance);

}  // namespace halvet::test
