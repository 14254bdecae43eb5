#include "drawing/PngResource.h"

#include <shlwapi.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <climits>

namespace halvet {
namespace {

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};

}  // namespace

std::unique_ptr<Gdiplus::Image> decodePng(const void* bytes, size_t size) {
    if (!bytes || size == 0 || size > UINT_MAX) return nullptr;
    // The stream copies the bytes; the image keeps its own reference to the
    // stream for as long as it may read from it, ours goes at the end of scope.
    std::unique_ptr<IStream, StreamRelease> stream(
        ::SHCreateMemStream(static_cast<const BYTE*>(bytes), static_cast<UINT>(size)));
    if (!stream) return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream.get()));
    if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok) return nullptr;
    const INT width = static_cast<INT>(decoded->GetWidth());
    const INT height = static_cast<INT>(decoded->GetHeight());
    if (width <= 0 || height <= 0) return nullptr;
    // One copy in memory with premultiplied alpha: decoded once, independent
    // of the stream, and the format the library draws fastest.
    std::unique_ptr<Gdiplus::Bitmap> ready(
        decoded->Clone(0, 0, width, height, PixelFormat32bppPARGB));
    if (!ready || ready->GetLastStatus() != Gdiplus::Ok) return nullptr;
    return ready;
}

std::unique_ptr<Gdiplus::Image> loadPngResource(HMODULE module, int id) {
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!info) return nullptr;
    HGLOBAL loaded = ::LoadResource(module, info);
    if (!loaded) return nullptr;
    const void* bytes = ::LockResource(loaded);
    return decodePng(bytes, ::SizeofResource(module, info));
}

}  // namespace halvet
