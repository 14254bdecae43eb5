#pragma once
#include "framework/CWnd.h"

struct CDataExchange;

// A modeless dialog made from a dialog template of this module (never of the
// process's main module). The window is subclassed while WM_INITDIALOG is
// delivered, so OnInitDialog, and DoDataExchange within it, already run
// through the dialog's WindowProc. The object owns its window: one still
// alive when the object goes is destroyed.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Creates the window from template `templateId` (or `templateName`) with
    // `parent` as owner or parent; a non-null `parent` is also stored as
    // m_pParentWnd. False when the template is missing or the window was not
    // made, or when the dialog already has a window.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    BOOL Create(const wchar_t* templateName, CWnd* parent = nullptr);
    // The same from a template in memory.
    BOOL CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent = nullptr);

    // The standard initialisation: data exchange towards the controls.
    virtual BOOL OnInitDialog();

    CWnd* m_pParentWnd = nullptr;
    const wchar_t* m_lpszTemplateName = nullptr;

protected:
    virtual void DoDataExchange(CDataExchange* exchange) {}
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    static INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
};
