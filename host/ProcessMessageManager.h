#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "host/AppletMessage.h"
#include "host/HandlerEntry.h"
#include "host/HandlerReply.h"
#include "host/HostFunctions.h"
#include "host/MessageRecord.h"

class ProcessMessageManager;

// Module-wide tables, shared by all processors: created empty when the module
// loads, destroyed when it unloads. Keys compare exactly (unit by unit).
using PayloadHandlerTable = std::map<std::wstring, PayloadHandlerEntry>;
using MessageHandlerTable = std::map<std::wstring, MessageHandlerEntry>;
using ProcessorRegistry = std::map<std::wstring, std::unique_ptr<ProcessMessageManager>>;

// Message name -> handler that receives the message data.
extern PayloadHandlerTable payloadHandlers;
// Message name -> handler that receives the whole message (nothing adds to it).
extern MessageHandlerTable messageHandlers;
// Target instance ID -> processor, owned here (nothing adds to it).
extern ProcessorRegistry processorRegistry;
// The host's log function of the latest accepted initialize; null before.
extern HostLogFunction hostLog;

// Base of the message processors: knows its applet identity, keeps the host's
// functions, routes a delivered message by name to a handler of the module-wide
// tables, and composes outbound messages.
class ProcessMessageManager {
public:
    ProcessMessageManager();
    ProcessMessageManager(const ProcessMessageManager&) = delete;
    ProcessMessageManager& operator=(const ProcessMessageManager&) = delete;
    virtual ~ProcessMessageManager();

    // Keeps the host's words and reads the applet arguments from the
    // CommandLineArguments document; an unreadable document leaves the members
    // as they were. Returns 1.
    virtual int initialize(const wchar_t* initXml, const HostContext* host);
    // Destroys the registered processors and empties the registry. Returns 0.
    virtual int finalize(const wchar_t* finalText);
    // Runs the handler for name, copying its answer into reply; false (and a
    // warning to the host log) when there is none.
    virtual bool dispatch(const std::wstring& name, const std::wstring& data, HandlerReply& reply,
                          const AppletMessage& message);
    virtual HostFunctions* hostFunctions();

    // Completes empty source fields from this applet's identity and sends.
    virtual std::wstring sendMessage(AppletMessage& message);
    virtual std::wstring sendToCore(const std::wstring& name, const std::wstring& data);
    virtual std::wstring sendToCoreFlagged(const std::wstring& name, const std::wstring& data);
    virtual std::wstring sendToApplet(const std::wstring& appletId,
                                      const std::wstring& appletVersion, const std::wstring& name,
                                      const std::wstring& data);
    virtual std::wstring sendToAppletFlagged(const std::wstring& appletId,
                                             const std::wstring& appletVersion,
                                             const std::wstring& name, const std::wstring& data);
    virtual std::wstring sendToRelative(const std::wstring& name, const std::wstring& data,
                                        uint8_t flag);
    // Sends a copy addressed to the related applet, which is asked of the
    // host ("GetAppletRelation") until it has answered with a name.
    virtual std::wstring sendMessageToRelative(const AppletMessage& message);
    virtual int reservedQuery();

    // Adds (or replaces) the handler of a message name in payloadHandlers.
    // Without boundObject the handler runs on the dispatching processor, which
    // must then be a Processor (otherwise the handler is skipped and the reply
    // stays empty).
    template <typename Processor>
    static void addPayloadHandler(const std::wstring& name,
                                  HandlerReply (Processor::*handler)(const std::wstring& data),
                                  Processor* boundObject = nullptr);

    bool isHighDPI = false;
    std::wstring appletID;
    std::wstring appletVersion;
    std::wstring appletInstanceID;
    std::wstring appletDIR;
    // The related applet, cached from the host's "GetAppletRelation" answer.
    std::wstring relativeName;
    std::wstring relativeVersion;

    // The message sendToApplet would send, made now and sent later with
    // sendMessage: sending it then needs no memory of its own.
    AppletMessage composeToApplet(const std::wstring& appletId, const std::wstring& targetVersion,
                                  const std::wstring& name, const std::wstring& data) const;

private:
    std::wstring sendComposed(const wchar_t* targetType, const std::wstring& appletId,
                              const std::wstring& appletVersion, const std::wstring& instanceId,
                              const std::wstring& name, const std::wstring& data, uint8_t flagA);

    HostFunctions hostFunctions_;
};

template <typename Processor>
void ProcessMessageManager::addPayloadHandler(
    const std::wstring& name, HandlerReply (Processor::*handler)(const std::wstring& data),
    Processor* boundObject) {
    PayloadHandlerEntry entry;
    entry.handler = [handler](ProcessMessageManager& processor,
                              const std::wstring& data) -> HandlerReply {
        auto* self = dynamic_cast<Processor*>(&processor);
        if (!self) return {};
        return (self->*handler)(data);
    };
    entry.boundObject = boundObject;
    payloadHandlers[name] = std::move(entry);
}
