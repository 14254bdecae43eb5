#pragma once
#include <cstdint>

#include "dialogs/CImageDlg.h"

// A dialog whose content may be larger than its client area: the window's own
// scroll bars, the scroll notifications and the mouse wheel scroll the child
// windows over it (ScrollWindow; there is no separate canvas). With
// scrolling off, the content size can instead size the dialog (auto-fit).
class CScrollDlg : public CImageDlg {
public:
    explicit CScrollDlg(UINT templateId, CWnd* parent = nullptr) : CImageDlg(templateId, parent) {}

    // The client rectangle, widened to the content where it is larger.
    void getLayoutRect(RECT* rect) override;

    // With scrolling off and auto-fit on, 0 or less means the initial client
    // size, and the client area is resized to the result.
    void setContentSize(int width, int height);
    // Brings both bars in line with the content and the visible size; the
    // children move by however much the positions change.
    void updateScrollBars();
    // Scrolls by up to (dx, dy), never past either end.
    void scrollBy(int dx, int dy);
    // Thumb tracking position of bar 0 (horizontal) or 1 (vertical).
    int trackPosition(int bar) const;

    BOOL OnInitDialog() override;

    int32_t pageWidth = 0;
    int32_t pageHeight = 0;
    int32_t contentWidth = 0;
    int32_t contentHeight = 0;
    int32_t initialClientWidth = 0;
    int32_t initialClientHeight = 0;
    int32_t scrollX = 0;
    int32_t scrollY = 0;
    bool scrollEnabled = true;
    bool autoFit = true;
    bool excludeScrollBars = false;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnHScroll(UINT code);
    void OnVScroll(UINT code);
    BOOL OnMouseWheel(short delta);
    void OnSize(UINT type, int cx, int cy);
    // The initial client size, for auto-fit.
    void captureInitialClientSize();

private:
    SIZE effectiveContent() const;
    int updateAxis(int bar, int avail, int content, int32_t& page, int32_t& position);
    // Scrolls one axis by up to `requested`; false when it did not move.
    bool stepAxis(int bar, int content, int page, int32_t& position, int requested);
    // Moves the children with the content (ScrollWindow while shown).
    void scrollChildren(int dx, int dy);
    static int wheelScrollLines();
};
