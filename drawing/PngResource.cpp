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
    std::unique_ptr<Gdiplus::Image> image(Gdiplus::Image::FromStream(stream.get()));
    if (!image || image->GetLastStatus() != Gdiplus::Ok) return nullptr;
    if (image->GetWidth() == 0 || image->GetHeight() == 0) return nullptr;
    return image;
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
