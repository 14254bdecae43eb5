#pragma once
#include "framework/CDC.h"

// The drawing context of a window's client area, held for one scope and
// released at its end.
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND window) : window_(window) { Attach(::GetDC(window)); }
    ~CClientDC() override {
        if (HDC dc = Detach()) ::ReleaseDC(window_, dc);
    }

private:
    HWND window_;
};
