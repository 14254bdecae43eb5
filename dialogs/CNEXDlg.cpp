#include "dialogs/CNEXDlg.h"

#include <commctrl.h>

#include <string>

void CNEXDlg::reportClick(int32_t controlId) {
    EventMap event;
    event[L"event"] = L"click";
    event[L"componentID"] = std::to_wstring(controlId);
    if (!filterEvent(event) || !eventSink) return;
    // The sink is outside code: whatever it throws must not cost the dialog
    // its own handling of the click.
    try {
        eventSink->handleEvent(event);
    } catch (...) {
    }
}

LRESULT CNEXDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && lParam) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == static_cast<UINT>(NM_CLICK))
            reportClick(static_cast<int32_t>(static_cast<uint32_t>(header->idFrom)));
    } else if (message == WM_COMMAND && HIWORD(wParam) <= 1) {
        // 0: button click or menu command, 1: accelerator.
        reportClick(LOWORD(wParam));
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CNEXDlg::DoDataExchange(CDataExchange* exchange) {
    if (eventSink || !m_pParentWnd) return;
    if (auto* parent = dynamic_cast<CNEXDlg*>(m_pParentWnd)) eventSink = parent->eventSink;
}
