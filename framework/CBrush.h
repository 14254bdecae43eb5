#pragma once
#include "framework/CGdiObject.h"

// An owned brush.
class CBrush : public CGdiObject {
public:
    CBrush() = default;
    // A solid brush of `color`; the wrapper stays empty when GDI refuses.
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }

    BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
};
