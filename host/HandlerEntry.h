#pragma once
#include <functional>
#include <string>

#include "host/AppletMessage.h"
#include "host/HandlerReply.h"

class ProcessMessageManager;

// One row of a handler table: the handler, and the processor it runs on. With a
// null boundObject the handler runs on the dispatching processor. Argument is
// the message data (std::wstring) or the whole message (AppletMessage).
template <typename Argument>
struct HandlerEntry {
    using Handler =
        std::function<HandlerReply(ProcessMessageManager& processor, const Argument& argument)>;

    Handler handler;
    ProcessMessageManager* boundObject = nullptr;
};

using PayloadHandlerEntry = HandlerEntry<std::wstring>;
using MessageHandlerEntry = HandlerEntry<AppletMessage>;
