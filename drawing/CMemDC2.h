#pragma once
#include "framework/CBitmap.h"
#include "framework/CDC.h"

// Scoped off-screen buffer over a target context: draw into this object with
// the target's logical coordinates; the picture reaches the target in one
// copy when the object goes. The buffer starts as a copy of what the target
// shows, so pixels the caller does not paint keep their former values.
class CMemDC2 : public CDC {
public:
    // `rectangle` in the target's logical coordinates; null: its clipping box.
    explicit CMemDC2(CDC* target, const RECT* rectangle = nullptr);
    ~CMemDC2() override;

private:
    CDC* target_;
    RECT rect_{};
    CBitmap bitmap_;
    HGDIOBJ oldBitmap_ = nullptr;
};
