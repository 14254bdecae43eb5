#include "framework/CDialog.h"

#include "framework/CDataExchange.h"
#include "util/ModuleHandle.h"

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_pParentWnd(parent), m_lpszTemplateName(MAKEINTRESOURCEW(templateId)) {}

CDialog::~CDialog() {
    // Layers above this one are already gone: the window's last messages
    // reach this layer's handling only.
    if (m_hWnd) DestroyWindow();
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    return Create(MAKEINTRESOURCEW(templateId), parent);
}

BOOL CDialog::Create(const wchar_t* templateName, CWnd* parent) {
    HMODULE module = halvet::thisModule();
    HRSRC info = ::FindResourceW(module, templateName, MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!info) return FALSE;
    HGLOBAL loaded = ::LoadResource(module, info);
    const auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(::LockResource(loaded));
    if (!dialogTemplate) return FALSE;
    m_lpszTemplateName = templateName;
    return CreateIndirect(dialogTemplate, parent);
}

BOOL CDialog::CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent) {
    if (m_hWnd || !dialogTemplate) return FALSE;
    if (parent) m_pParentWnd = parent;
    HWND owner = parent ? parent->m_hWnd : nullptr;
    // The dialog's initialisation sends messages to its parent, where the
    // host may destroy the new dialog and delete this object: it is freed
    // only after the scope, and a window that did not survive is a failure.
    BOOL created = FALSE;
    {
        DispatchScope dispatching;
        HWND window = ::CreateDialogIndirectParamW(halvet::thisModule(), dialogTemplate, owner,
                                                   &dialogProcedure, reinterpret_cast<LPARAM>(this));
        created = window != nullptr && m_hWnd == window;
        // A window that never became this object's (it could not be
        // subclassed) is not left in the parent without an owner.
        if (window && !created && ::IsWindow(window) && !CWnd::FromHandlePermanent(window))
            ::DestroyWindow(window);
    }
    return created;
}

BOOL CDialog::OnInitDialog() {
    CDataExchange exchange;
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_INITDIALOG) {
        *result = OnInitDialog();
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

INT_PTR CALLBACK CDialog::dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Every message after WM_INITDIALOG reaches the object through its
    // subclass first; here it only asks for the dialog manager's default.
    if (message != WM_INITDIALOG || CWnd::FromHandlePermanent(window)) return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    // Called from the window manager's frames: nothing may unwind into them.
    // A dialog that could not be subclassed (no memory for its entry in the
    // window map) is no dialog of ours, and its creation fails.
    try {
        if (!dialog || !dialog->SubclassWindow(window)) return FALSE;
    } catch (...) {
        return FALSE;
    }
    return static_cast<INT_PTR>(dialog->routeMessage(message, wParam, lParam));
}
