#include "host/ProcessMessageManager.h"

#include <objbase.h>

#include "xml/XMLParser.h"

PayloadHandlerTable payloadHandlers;
MessageHandlerTable messageHandlers;
ProcessorRegistry processorRegistry;
HostLogFunction hostLog = nullptr;

namespace {

// Why the initialize document could not be read: without a COM apartment on
// the calling thread no XML document can be made at all; otherwise the text
// itself was refused (not well-formed, or carrying a document type).
const wchar_t* unreadDocumentCause() {
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    if (CoGetApartmentType(&type, &qualifier) == CO_E_NOTINITIALIZED) {
        return L"no COM apartment on the calling thread (call CoInitializeEx first)";
    }
    return L"not XML";
}

}  // namespace

ProcessMessageManager::ProcessMessageManager() = default;
ProcessMessageManager::~ProcessMessageManager() = default;

int ProcessMessageManager::initialize(const wchar_t* initXml, const HostContext* host) {
    if (host) {
        hostFunctions_.sendFunction = host->send;
        hostFunctions_.logFunction = host->log;
        hostFunctions_.reserved1 = host->reserved1;
        hostFunctions_.reserved2 = host->reserved2;
    }
    XMLParser document;
    // A document that does not load makes every query below fail: the members
    // keep their values.
    // initialize still succeeds, but the host is told: every later envelope
    // would carry an empty identity.
    if (!document.initWithXMLString(initXml ? initXml : L"") && hostLog) {
        hostLog(20, L"HalvetPanelUI", L"ProcessMessageManager", L"", L"",
                L"InitializeDocumentUnread", L"WARN: the initialize document was not read: %s",
                unreadDocumentCause());
    }
    document.stringValueForXQuery(L"//CommandLineArguments/appletID", appletID);
    document.stringValueForXQuery(L"//CommandLineArguments/appletVersion", appletVersion);
    document.stringValueForXQuery(L"//CommandLineArguments/appletInstanceID", appletInstanceID);
    document.stringValueForXQuery(L"//CommandLineArguments/appletDIR", appletDIR);
    std::wstring highDpi;
    document.stringValueForXQuery(L"//CommandLineArguments/isHighDPI", highDpi);
    isHighDPI = highDpi == L"1";
    return 1;
}

int ProcessMessageManager::finalize(const wchar_t*) {
    for (auto& entry : processorRegistry) {
        std::unique_ptr<ProcessMessageManager> processor = std::move(entry.second);
        processor.reset();
    }
    processorRegistry.clear();
    return 0;
}

bool ProcessMessageManager::dispatch(const std::wstring& name, const std::wstring& data,
                                     HandlerReply& reply, const AppletMessage& message) {
    // The entry is copied: a handler may call back into the module and replace
    // its own table row while it runs.
    auto payload = payloadHandlers.find(name);
    if (payload != payloadHandlers.end()) {
        PayloadHandlerEntry entry = payload->second;
        ProcessMessageManager& target = entry.boundObject ? *entry.boundObject : *this;
        if (entry.handler) reply = entry.handler(target, data);
        return true;
    }
    auto whole = messageHandlers.find(name);
    if (whole != messageHandlers.end() && !whole->second.boundObject) {
        MessageHandlerEntry entry = whole->second;
        if (entry.handler) reply = entry.handler(*this, message);
        return true;
    }
    if (hostLog) {
        hostLog(20, L"HalvetPanelUI", L"ProcessMessageManager", L"", L"", L"MethodNotFound",
                L"WARN: %s message is not defined", name.c_str());
    }
    return false;
}

HostFunctions* ProcessMessageManager::hostFunctions() {
    return &hostFunctions_;
}

std::wstring ProcessMessageManager::sendMessage(AppletMessage& message) {
    if (message.sourceAppletID.empty()) message.sourceAppletID = appletID;
    if (message.sourceAppletVersion.empty()) message.sourceAppletVersion = appletVersion;
    if (message.sourceInstanceID.empty()) message.sourceInstanceID = appletInstanceID;
    return hostFunctions_.send(message);
}

std::wstring ProcessMessageManager::sendComposed(const wchar_t* targetType,
                                                 const std::wstring& appletId,
                                                 const std::wstring& appletVersion,
                                                 const std::wstring& instanceId,
                                                 const std::wstring& name, const std::wstring& data,
                                                 uint8_t flagA) {
    AppletMessage message;
    message.targetType = targetType;
    message.targetAppletID = appletId;
    message.targetAppletVersion = appletVersion;
    message.targetInstanceID = instanceId;
    message.messageName = name;
    message.messageData = data;
    message.flagA = flagA;
    return sendMessage(message);
}

AppletMessage ProcessMessageManager::composeToApplet(const std::wstring& appletId,
                                                    const std::wstring& targetVersion,
                                                    const std::wstring& name,
                                                    const std::wstring& data) const {
    AppletMessage message;
    message.targetType = L"Applet";
    message.targetAppletID = appletId;
    message.targetAppletVersion = targetVersion;
    message.targetInstanceID = appletInstanceID;
    message.sourceAppletID = appletID;
    message.sourceAppletVersion = appletVersion;
    message.sourceInstanceID = appletInstanceID;
    message.messageName = name;
    message.messageData = data;
    message.flagA = 0;
    return message;
}

std::wstring ProcessMessageManager::sendToCore(const std::wstring& name, const std::wstring& data) {
    return sendComposed(L"Core", {}, {}, {}, name, data, 0);
}

std::wstring ProcessMessageManager::sendToCoreFlagged(const std::wstring& name,
                                                      const std::wstring& data) {
    return sendComposed(L"Core", {}, {}, {}, name, data, 1);
}

std::wstring ProcessMessageManager::sendToApplet(const std::wstring& appletId,
                                                 const std::wstring& appletVersion,
                                                 const std::wstring& name,
                                                 const std::wstring& data) {
    return sendComposed(L"Applet", appletId, appletVersion, appletInstanceID, name, data, 0);
}

std::wstring ProcessMessageManager::sendToAppletFlagged(const std::wstring& appletId,
                                                        const std::wstring& appletVersion,
                                                        const std::wstring& name,
                                                        const std::wstring& data) {
    return sendComposed(L"Applet", appletId, appletVersion, appletInstanceID, name, data, 1);
}

std::wstring ProcessMessageManager::sendToRelative(const std::wstring& name,
                                                   const std::wstring& data, uint8_t flag) {
    AppletMessage message;
    message.targetType = L"Applet";
    message.targetInstanceID = appletInstanceID;
    message.messageName = name;
    message.messageData = data;
    message.flagA = flag;
    return sendMessageToRelative(message);
}

std::wstring ProcessMessageManager::sendMessageToRelative(const AppletMessage& message) {
    if (relativeName.empty()) {
        std::wstring relation = sendToCore(L"GetAppletRelation", L"");
        XMLParser document;
        document.initWithXMLString(relation);
        XMLNode root;
        document.getRootNode(root);
        XMLParser::TextMap children = document.getMapFromNode(root);
        root.Reset();
        auto name = children.find(L"relative_name");
        auto version = children.find(L"relative_version");
        relativeName = name != children.end() ? name->second : std::wstring();
        relativeVersion = version != children.end() ? version->second : std::wstring();
    }
    AppletMessage copy(message);
    copy.targetAppletID = relativeName;
    copy.targetAppletVersion = relativeVersion;
    return sendMessage(copy);
}

int ProcessMessageManager::reservedQuery() {
    return 0;
}
