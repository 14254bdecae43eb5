#pragma once

class CWnd;

// What a dialog's data exchange is told: the direction and the dialog.
// The dialogs of this module exchange no control values; the record exists so
// that DoDataExchange keeps its usual signature.
struct CDataExchange {
    bool m_bSaveAndValidate = false;
    CWnd* m_pDlgWnd = nullptr;
};
