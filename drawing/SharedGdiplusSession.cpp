#include "drawing/SharedGdiplusSession.h"

#include <new>

namespace halvet {

std::shared_ptr<GdiplusSession> sharedGdiplusSession() {
    // A weak reference only: the module keeps no session alive by itself,
    // so nothing is left to stop at unload (which would run under the loader lock).
    static std::weak_ptr<GdiplusSession> current;
    std::shared_ptr<GdiplusSession> session = current.lock();
    if (session) return session;
    session = std::shared_ptr<GdiplusSession>(new (std::nothrow) GdiplusSession());
    if (session && session->ok()) current = session;
    return session;
}

}  // namespace halvet
