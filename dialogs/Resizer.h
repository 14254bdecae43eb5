#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "dialogs/ResizeProp.h"

class CWnd;

// A dialog's anchoring records and the placement of one window against
// another, all in the owner's client coordinates. The arithmetic lives in
// layout::; this class reads and moves the windows.
class Resizer {
public:
    // `owner` is not owned. It must be a framework dialog when its layout
    // rectangle is needed (anything else gives its client rectangle).
    explicit Resizer(CWnd* owner) : owner(owner) {}

    // Appends a record; its margins are the distances anchoring keeps.
    void addRecord(const ResizeProp& record) { records.push_back(record); }

    // One control's anchored rectangle within `layout`; `rect` all zero
    // starts from the control's current rectangle. True when it changed.
    bool computeAnchoredRect(const ResizeProp& record, const RECT& layout, RECT& rect) const;
    // Re-anchors every record, moving only controls whose rectangle changed.
    void applyAll();
    // Positions the target against the reference (null reference: the owner's
    // layout). False when a limit refused the placement.
    bool placeRelative(const ResizeProp& reference, const ResizeProp& target, uint32_t place,
                       uint32_t align);

    CWnd* owner;
    std::vector<ResizeProp> records;

private:
    CWnd* resolve(CWnd* window, int32_t id) const;
    RECT rectInOwner(const CWnd* window) const;
    RECT ownerLayout() const;
    void growOwner(const ResizeProp& reference, int right, int bottom, uint32_t place) const;
};
