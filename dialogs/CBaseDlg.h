#pragma once
#include "dialogs/CNEXDlg.h"
#include "dialogs/Resizer.h"

// Geometry layer: anchoring records re-applied on every size change, the
// layout rectangle (which later layers may make larger than the client
// area), sizing to the parent or to a wanted client size.
class CBaseDlg : public CNEXDlg {
public:
    explicit CBaseDlg(UINT templateId, CWnd* parent = nullptr)
        : CNEXDlg(templateId, parent), resizer(this) {}

    // Creates the window from the dialog's own template; a null `parent`
    // means the stored one. The chosen parent is stored.
    virtual BOOL createChild(CWnd* parent);
    // The rectangle that anchoring and placement work in: the client area.
    virtual void getLayoutRect(RECT* rect);
    // First thing at WM_DESTROY.
    virtual void onDestroying() {}
    // After the default processing of WM_SHOWWINDOW.
    virtual void onShowChanged(BOOL show, UINT status) {}

    // Covers the parent's layout rectangle (its client area when the parent
    // is not a framework dialog).
    void fitToParent();
    // False, and nothing happens, when the outer size is already (cx, cy).
    bool setWindowSize(int cx, int cy);
    // A dimension of 0 or less stays as it is.
    bool setClientSize(int cx, int cy);
    SIZE clientSize() const;
    SIZE visibleScrollBarSizes() const;
    void frameInsets(RECT* insets) const;

    Resizer resizer;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnSize(UINT type, int cx, int cy);
    void OnShowWindow(BOOL show, UINT status);
    void OnDestroy();
};
