#pragma once
#include "framework/CGdiObject.h"

class CDC;

// An owned bitmap.
class CBitmap : public CGdiObject {
public:
    // A bitmap of the pixel format of `dc`'s surface.
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
};
