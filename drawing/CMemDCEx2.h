#pragma once
#include "framework/CBitmap.h"
#include "framework/CDC.h"

// A kept copy of what another context showed inside a rectangle, for painting
// later as a backdrop. Empty (no context of its own) until captureFrom.
class CMemDCEx2 : public CDC {
public:
    CMemDCEx2() = default;
    ~CMemDCEx2() override { release(); }

    // Replaces any earlier copy. `rectangle` in the source's coordinates,
    // used unchanged; null: the source's clipping box.
    void captureFrom(CDC* source, const RECT* rectangle = nullptr);
    // Drops the copy: the object is empty again.
    void release();
    bool isEmpty() const { return m_hDC == nullptr; }
    const RECT& rect() const { return rect_; }

private:
    CBitmap bitmap_;
    HGDIOBJ oldBitmap_ = nullptr;
    RECT rect_{};
};
