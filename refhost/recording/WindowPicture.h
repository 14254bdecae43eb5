#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace refhost {

// A 32-bit top-down picture of a window's client area and its visible
// descendants.
// PrintWindow draws one window only under Wine, so each visible child is
// printed on its own and laid over its parent, bottom of the z-order first.
class WindowPicture {
public:
    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<uint32_t>& pixels() const { return pixels_; }  // 0x00RRGGBB

    bool capture(HWND window);
    // The part of this picture at (x, y) of size w x h (clipped).
    WindowPicture crop(int x, int y, int w, int h) const;
    // Pictures side by side with a gap, on a light background.
    static WindowPicture strip(const std::vector<WindowPicture>& frames, int gap);

    // PNG through WIC; error tells why not.
    bool writePng(const std::wstring& path, std::wstring& error) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};

}  // namespace refhost
