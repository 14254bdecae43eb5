#include "host/Exports.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "host/AppletMessage.h"
#include "host/HalvetAppUIMessageProcessor.h"
#include "host/ProcessMessageManager.h"
#include "xml/XMLFactoryCallScope.h"

// Every entry point is an exception firewall: nothing may unwind into the
// host's frames.

namespace {

constexpr wchar_t kModuleName[] = L"HalvetPanelUI";
constexpr wchar_t kInvalidArguments[] = L"InvalidArguments";
constexpr wchar_t kEmptyReply[] = L"";
constexpr wchar_t kFailureReply[] = L"Failure";
// A computed reply whose copy found no memory goes back from here, for as long
// as the host needs it (until the next such reply); one that does not fit
// goes back as "Failure". A view's handle always fits.
wchar_t fallbackReply[64];

bool isComplete(const MessageRecord& r) {
    return r.targetType && r.targetAppletID && r.targetAppletVersion && r.targetInstanceID &&
           r.sourceAppletID && r.sourceAppletVersion && r.sourceInstanceID && r.messageName &&
           r.messageData;
}

ProcessMessageManager& processorFor(const std::wstring& targetInstanceId) {
    auto entry = processorRegistry.find(targetInstanceId);
    if (entry != processorRegistry.end() && entry->second) return *entry->second;
    return *HalvetAppUIMessageProcessor::instance();
}

}  // namespace

bool __cdecl releaseReply(void* reply) {
    std::free(reply);
    return true;
}

namespace halvet {

const wchar_t* replyForHost(const HandlerReply& reply, ReplyReleaseFunction* release,
                            ReplyAllocator allocate) {
    *release = nullptr;
    if (reply.staticText) return reply.staticText;
    if (reply.text.empty()) return kEmptyReply;
    const size_t capacity = reply.text.size() + 1;
    auto* copy = static_cast<wchar_t*>(allocate(capacity * sizeof(wchar_t)));
    if (!copy) {
        if (capacity > std::size(fallbackReply)) return kFailureReply;
        std::copy(reply.text.begin(), reply.text.end(), fallbackReply);
        fallbackReply[reply.text.size()] = L'\0';
        return fallbackReply;
    }
    // Bounded copy that ends at the first NUL of the text.
    size_t i = 0;
    for (; i + 1 < capacity && reply.text[i] != L'\0'; ++i) copy[i] = reply.text[i];
    copy[i] = L'\0';
    *release = releaseReply;
    return copy;
}

}  // namespace halvet

extern "C" int initialize(const wchar_t* initXml, HostContext* host) {
    try {
        if (!initXml || !host) return 0;
        hostLog = host->log;
        if (hostLog) hostLog(30, kModuleName, L"", L"", L"", L"Initialize called: %s", initXml);
        XMLFactoryCallScope call;
        return HalvetAppUIMessageProcessor::instance()->initialize(initXml, host);
    } catch (...) {
        return 0;
    }
}

extern "C" const wchar_t* processMessage(MessageRecord* request, ReplyReleaseFunction* release) {
    if (!request || !release || !isComplete(*request)) return kInvalidArguments;
    try {
        XMLFactoryCallScope call;
        AppletMessage message(*request);
        HandlerReply reply;
        processorFor(message.targetInstanceID)
            .dispatch(message.messageName, message.messageData, reply, message);
        return halvet::replyForHost(reply, release);
    } catch (...) {
        // Out of memory in a handler: the protocol's failure reply.
        *release = nullptr;
        return kFailureReply;
    }
}

extern "C" int finalize(const wchar_t* finalText) {
    try {
        if (!finalText) return 0;
        if (hostLog) hostLog(30, kModuleName, L"", L"", L"", L"Finalize called: %s", finalText);
        XMLFactoryCallScope call;
        return HalvetAppUIMessageProcessor::instance()->finalize(finalText);
    } catch (...) {
        return 0;
    }
}
