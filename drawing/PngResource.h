#pragma once
#include <windows.h>

#include <cstddef>
#include <memory>

namespace Gdiplus {
class Image;
}

namespace halvet {

// Decodes a PNG picture (alpha kept) from `size` bytes at `bytes`; none when
// the bytes are not a picture the image library reads. The bytes are copied,
// so they need not outlive the result. The image library must be running.
std::unique_ptr<Gdiplus::Image> decodePng(const void* bytes, size_t size);

// The PNG resource `id` of resource type "PNG" in `module`, decoded; none when
// the resource is missing, empty or not a picture. Each resource is decoded
// once for the life of the module: later calls make a new picture of the same
// pixels from a kept copy in plain memory.
std::unique_ptr<Gdiplus::Image> loadPngResource(HMODULE module, int id);

}  // namespace halvet
