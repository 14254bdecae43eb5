#pragma once
#include "framework/CDC.h"

// The drawing context of a whole window (the screen for a null window), held
// for one scope and released at its end.
class CWindowDC : public CDC {
public:
    explicit CWindowDC(HWND window);
    ~CWindowDC() override;

private:
    HWND window_;
};
