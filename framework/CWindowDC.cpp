#include "framework/CWindowDC.h"

CWindowDC::CWindowDC(HWND window) : window_(window) {
    Attach(::GetWindowDC(window));
}

CWindowDC::~CWindowDC() {
    if (HDC dc = Detach()) ::ReleaseDC(window_, dc);
}
