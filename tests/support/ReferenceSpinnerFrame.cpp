#include "support/ReferenceSpinnerFrame.h"

#include <shlwapi.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace halvet::test {
namespace {

struct Premultiplied {
    double a = 0, r = 0, g = 0, b = 0;
};

Premultiplied texel(const RgbaPicture& picture, int x, int y) {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height) return {};
    const uint32_t p = picture.pixels[size_t(y) * picture.width + x];
    const double a = ((p >> 24) & 0xFF) / 255.0;
    return {a, a * ((p >> 16) & 0xFF), a * ((p >> 8) & 0xFF), a * (p & 0xFF)};
}

// Bilinear in premultiplied space, pixel i of the picture centred on
// coordinate i; outside the picture is transparent.
Premultiplied sample(const RgbaPicture& picture, double x, double y) {
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double tx = x - x0, ty = y - y0;
    Premultiplied out;
    const struct {
        int dx, dy;
        double weight;
    } corners[] = {
        {0, 0, (1 - tx) * (1 - ty)}, {1, 0, tx * (1 - ty)}, {0, 1, (1 - tx) * ty}, {1, 1, tx * ty}};
    for (const auto& c : corners) {
        const Premultiplied t = texel(picture, x0 + c.dx, y0 + c.dy);
        out.a += c.weight * t.a;
        out.r += c.weight * t.r;
        out.g += c.weight * t.g;
        out.b += c.weight * t.b;
    }
    return out;
}

// How far a point of the picture lies inside its edge (negative: outside).
// Pixel i covers i - 0.5 to i + 0.5.
double insideBy(const RgbaPicture& picture, double x, double y) {
    return std::min({x + 0.5, picture.width - 0.5 - x, y + 0.5, picture.height - 0.5 - y});
}

BYTE over(double premultiplied, double alpha, int background) {
    const double v = premultiplied + background * (1.0 - alpha);
    return static_cast<BYTE>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

bool loadRgbaPicture(HMODULE module, int id, RgbaPicture* picture) {
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!info) return false;
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, info)));
    IStream* stream = SHCreateMemStream(bytes, SizeofResource(module, info));
    if (!stream) return false;
    bool ok = false;
    {
        std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(stream));
        Gdiplus::BitmapData data{};
        if (bitmap && bitmap->GetLastStatus() == Gdiplus::Ok) {
            Gdiplus::Rect all(0, 0, static_cast<INT>(bitmap->GetWidth()),
                              static_cast<INT>(bitmap->GetHeight()));
            if (bitmap->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) ==
                Gdiplus::Ok) {
                picture->width = all.Width;
                picture->height = all.Height;
                picture->pixels.resize(size_t(all.Width) * all.Height);
                for (int y = 0; y < all.Height; ++y) {
                    const auto* row = reinterpret_cast<const uint32_t*>(
                        static_cast<const BYTE*>(data.Scan0) + ptrdiff_t(y) * data.Stride);
                    std::copy(row, row + all.Width,
                              picture->pixels.begin() + size_t(y) * all.Width);
                }
                bitmap->UnlockBits(&data);
                ok = true;
            }
        }
    }
    stream->Release();
    return ok;
}

ReferenceFrame referenceSpinnerFrame(const RgbaPicture& picture, float angle, COLORREF background) {
    const double radians = angle * 3.14159265358979323846 / 180.0;
    const double c = std::cos(radians), s = std::sin(radians);
    const double cx = picture.width / 2.0, cy = picture.height / 2.0;
    ReferenceFrame frame;
    frame.width = picture.width;
    frame.height = picture.height;
    frame.background = background;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            // The screen's pixel turned back (counter-clockwise on the
            // screen, whose y axis points down) onto the picture.
            const double dx = x - cx, dy = y - cy;
            const double px = cx + dx * c + dy * s, py = cy - dx * s + dy * c;
            const Premultiplied p = sample(picture, px, py);
            frame.pixels.push_back(RGB(over(p.r, p.a, GetRValue(background)),
                                       over(p.g, p.a, GetGValue(background)),
                                       over(p.b, p.a, GetBValue(background))));
            frame.onOutline.push_back(std::fabs(insideBy(picture, px, py)) < 1.5);
        }
    }
    return frame;
}

int pixelsOffReference(const std::vector<COLORREF>& shown, const ReferenceFrame& reference,
                       int tolerance) {
    if (shown.size() != reference.pixels.size()) return -1;
    auto within = [&](COLORREF a, COLORREF b) {
        return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
               std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
               std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
    };
    int count = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (within(shown[i], reference.pixels[i])) continue;
        if (reference.onOutline[i] && within(shown[i], reference.background)) continue;
        ++count;
    }
    return count;
}

std::vector<COLORREF> surfacePixels(const PixelSurface& surface, int width, int height) {
    std::vector<COLORREF> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(surface.pixel(x, y));
    return pixels;
}

std::vector<COLORREF> shownPixels(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    PixelSurface surface(client.right, client.bottom, RGB(255, 0, 255));
    HDC dc = GetDC(window);
    BitBlt(surface.dc(), 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
    return surfacePixels(surface, client.right, client.bottom);
}

int pixelsBeyond(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b, int tolerance) {
    if (a.size() != b.size()) return -1;
    int count = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::abs(GetRValue(a[i]) - GetRValue(b[i])) > tolerance ||
            std::abs(GetGValue(a[i]) - GetGValue(b[i])) > tolerance ||
            std::abs(GetBValue(a[i]) - GetBValue(b[i])) > tolerance)
            ++count;
    }
    return count;
}

}  // namespace halvet::test
