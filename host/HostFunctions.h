#pragma once
#include <string>

#include "host/AppletMessage.h"
#include "host/MessageRecord.h"

// The processor's copy of the host's words from HostContext, in their order.
// Any of them may be null.
struct HostFunctions {
    HostSendFunction sendFunction = nullptr;
    HostLogFunction logFunction = nullptr;
    void* reserved1 = nullptr;
    void* reserved2 = nullptr;

    // Delivers the message through the host's send function and returns a
    // copy of the reply; empty when there is no send function or the host
    // answers null. A release function the host hands back is called once,
    // after the copy.
    std::wstring send(AppletMessage& message) const;
};
