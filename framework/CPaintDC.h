#pragma once
#include "framework/CDC.h"
#include "framework/CWnd.h"

// The paint context of one WM_PAINT: BeginPaint when made, EndPaint when it
// goes, so the update region is validated on every path out of a handler.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window) : window_(window->m_hWnd) {
        Attach(::BeginPaint(window_, &m_ps));
    }
    ~CPaintDC() override {
        Detach();
        ::EndPaint(window_, &m_ps);
    }

    PAINTSTRUCT m_ps{};

private:
    HWND window_;
};
