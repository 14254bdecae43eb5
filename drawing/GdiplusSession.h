#pragma once
#include <windows.h>

#include <cstdint>

// The image library started for the life of this object. Never made in or
// from DllMain; every image object must be gone before it ends.
class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    bool ok() const { return started_; }

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};
