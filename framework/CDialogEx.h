#pragma once
#include "framework/CBrush.h"
#include "framework/CDialog.h"

// A dialog with an optional solid background colour, and the setting of where
// a background picture goes (the image-background layer reads it).
class CDialogEx : public CDialog {
public:
    enum BackgroundLocation {
        BACKGR_TILE = 0,
        BACKGR_TOPLEFT,
        BACKGR_TOPRIGHT,
        BACKGR_BOTTOMLEFT,
        BACKGR_BOTTOMRIGHT
    };
    // No placement chosen yet.
    static constexpr int kLocationUnset = -1;

    explicit CDialogEx(UINT templateId, CWnd* parent = nullptr) : CDialog(templateId, parent) {}

    // Paints the client area with `color` from now on.
    void SetBackgroundColor(COLORREF color, BOOL repaint = TRUE);
    void SetBackgroundImageLocation(BackgroundLocation location) { m_BkgrLocation = location; }

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // With a background colour: fills the client area and answers TRUE;
    // otherwise the dialog manager's erase.
    BOOL OnEraseBkgnd(CDC* dc);
    // With a background colour: the dialog itself, and static texts and buttons
    // (transparent text background), get the colour's brush; otherwise the
    // dialog manager's answer.
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT type);
    void OnDestroy() { CDialog::OnDestroy(); }

    CBrush m_brBkgr;
    int m_BkgrLocation = kLocationUnset;
};
