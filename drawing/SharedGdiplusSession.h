#pragma once
#include <memory>

#include "drawing/GdiplusSession.h"

namespace halvet {

// The image library, started on first use and shut down when its last user
// lets go. Each user keeps the returned pointer declared before the image
// objects it makes, so those objects are gone before the library stops.
// Never called in or from DllMain; single user-interface thread, no locking.
// An empty pointer, or one whose ok() is false, means the library is not there.
std::shared_ptr<GdiplusSession> sharedGdiplusSession();

}  // namespace halvet
