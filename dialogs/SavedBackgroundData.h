#pragma once
#include <windows.h>

#include "framework/CImage.h"

// A picture painted at a place of a dialog's background.
struct SavedBackgroundData {
    RECT rect{};  // in the dialog's client coordinates
    CImage bitmap;
};
