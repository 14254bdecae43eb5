#pragma once
#include <string>

#include "dialogs/EventMap.h"

// Receiver of a framework dialog's UI events. The dialog neither owns nor
// counts it: whoever attaches a sink keeps it alive as long as the dialog.
class DialogEventSink {
public:
    virtual ~DialogEventSink() = default;
    // The map lives only for the call; the returned text is not used.
    virtual std::wstring handleEvent(const EventMap& event) = 0;
};
