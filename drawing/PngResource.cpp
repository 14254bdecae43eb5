#include "drawing/PngResource.h"

#include <shlwapi.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace halvet {
namespace {

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};

// A decoded picture's premultiplied pixels as plain memory: no object of the
// image library, so nothing of it has to go before the library stops, and it
// may stay for the life of the module.
struct KeptPixels {
    INT width = 0;
    INT height = 0;
    std::vector<uint32_t> pixels;
};

// Every resource picture decoded so far, by module and identifier. The panel
// has two; decoding one costs about 0.4 ms under Wine, most of the time a new
// view takes to show its ring. One user-interface thread: no locking.
std::map<std::pair<HMODULE, int>, KeptPixels>& keptPictures() {
    static std::map<std::pair<HMODULE, int>, KeptPixels> kept;
    return kept;
}

// A bitmap of the image library, or null when there is no room. The library's
// objects come from its own allocator, which answers null when out of
// memory, and its headers construct on that null all the same: the memory is
// asked for here and the object made in it only when it came.
template <typename... Args>
std::unique_ptr<Gdiplus::Bitmap> newBitmap(Args... args) {
    void* memory = Gdiplus::DllExports::GdipAlloc(sizeof(Gdiplus::Bitmap));
    if (!memory) return nullptr;
    return std::unique_ptr<Gdiplus::Bitmap>(::new (memory) Gdiplus::Bitmap(args...));
}

// Copies the picture's pixels, rows packed, premultiplied.
bool copyPixels(Gdiplus::Bitmap& bitmap, Gdiplus::ImageLockMode mode, KeptPixels& pixels) {
    Gdiplus::Rect all(0, 0, pixels.width, pixels.height);
    Gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(pixels.width);
    data.Height = static_cast<UINT>(pixels.height);
    data.Stride = pixels.width * 4;
    data.PixelFormat = PixelFormat32bppPARGB;
    data.Scan0 = pixels.pixels.data();
    // User input buffer: the library reads from or writes into our memory.
    const UINT flags = static_cast<UINT>(mode) | Gdiplus::ImageLockModeUserInputBuf;
    if (bitmap.LockBits(&all, flags, PixelFormat32bppPARGB, &data) != Gdiplus::Ok) return false;
    return bitmap.UnlockBits(&data) == Gdiplus::Ok;
}

std::unique_ptr<Gdiplus::Image> pictureFrom(KeptPixels& kept) {
    std::unique_ptr<Gdiplus::Bitmap> bitmap =
        newBitmap(kept.width, kept.height, PixelFormat32bppPARGB);
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
    if (!copyPixels(*bitmap, Gdiplus::ImageLockModeWrite, kept)) return nullptr;
    return bitmap;
}

void keep(HMODULE module, int id, Gdiplus::Image& picture) {
    try {
        KeptPixels kept;
        kept.width = static_cast<INT>(picture.GetWidth());
        kept.height = static_cast<INT>(picture.GetHeight());
        kept.pixels.resize(size_t(kept.width) * size_t(kept.height));
        if (!copyPixels(static_cast<Gdiplus::Bitmap&>(picture), Gdiplus::ImageLockModeRead, kept))
            return;
        keptPictures()[{module, id}] = std::move(kept);
    } catch (...) {
        // Without room the picture is decoded again next time.
    }
}

}  // namespace

std::unique_ptr<Gdiplus::Image> decodePng(const void* bytes, size_t size) {
    if (!bytes || size == 0 || size > UINT_MAX) return nullptr;
    // The stream copies the bytes; the image keeps its own reference to the
    // stream for as long as it may read from it, ours goes at the end of scope.
    std::unique_ptr<IStream, StreamRelease> stream(
        ::SHCreateMemStream(static_cast<const BYTE*>(bytes), static_cast<UINT>(size)));
    if (!stream) return nullptr;
    std::unique_ptr<Gdiplus::Bitmap> decoded = newBitmap(stream.get(), FALSE);
    if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok) return nullptr;
    // One copy in memory with premultiplied alpha: decoded once, independent
    // of the stream, and the format the library draws fastest.
    KeptPixels premultiplied;
    premultiplied.width = static_cast<INT>(decoded->GetWidth());
    premultiplied.height = static_cast<INT>(decoded->GetHeight());
    if (premultiplied.width <= 0 || premultiplied.height <= 0) return nullptr;
    try {
        premultiplied.pixels.resize(size_t(premultiplied.width) * size_t(premultiplied.height));
    } catch (...) {
        return nullptr;
    }
    if (!copyPixels(*decoded, Gdiplus::ImageLockModeRead, premultiplied)) return nullptr;
    return pictureFrom(premultiplied);
}

std::unique_ptr<Gdiplus::Image> loadPngResource(HMODULE module, int id) {
    auto& kept = keptPictures();
    const auto found = kept.find({module, id});
    if (found != kept.end()) {
        if (auto picture = pictureFrom(found->second)) return picture;
    }
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!info) return nullptr;
    HGLOBAL loaded = ::LoadResource(module, info);
    if (!loaded) return nullptr;
    const void* bytes = ::LockResource(loaded);
    std::unique_ptr<Gdiplus::Image> picture = decodePng(bytes, ::SizeofResource(module, info));
    if (picture) keep(module, id, *picture);
    return picture;
}

}  // namespace halvet
