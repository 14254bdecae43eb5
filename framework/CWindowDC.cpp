#include "framework/CWindowDC.h"

#include "framework/CWnd.h"

CWindowDC::CWindowDC(CWnd* window) : CWindowDC(window ? window->m_hWnd : nullptr) {}

CWindowDC::CWindowDC(HWND window) : window_(window) {
    Attach(::GetWindowDC(window));
}

CWindowDC::~CWindowDC() {
    if (HDC dc = Detach()) ::ReleaseDC(window_, dc);
}
