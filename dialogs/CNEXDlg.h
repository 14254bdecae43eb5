#pragma once
#include <cstdint>

#include "dialogs/DialogEventSink.h"
#include "dialogs/EventMap.h"
#include "framework/CDialogEx.h"

// Root of the framework dialogs: reports every control click to an event
// sink, before the dialog's own handling of the click runs.
class CNEXDlg : public CDialogEx {
public:
    explicit CNEXDlg(UINT templateId, CWnd* parent = nullptr) : CDialogEx(templateId, parent) {}

    // Sees every event before delivery; false suppresses it.
    virtual bool filterEvent(EventMap& event) { return true; }

    // Builds {"event": "click", "componentID": "<id>"} and delivers it.
    void reportClick(int32_t controlId);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    DialogEventSink* eventSink = nullptr;

protected:
    // A dialog inside a framework dialog reports to the same sink.
    void DoDataExchange(CDataExchange* exchange) override;
};
