#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "boundary/Envelope.h"
#include "boundary/PanelLibrary.h"
#include "parties/Role.h"
#include "recording/Trace.h"

namespace refhost {

// The host's side of the boundary: the HostContext the DLL receives, whose
// send function hands each envelope to the role it is addressed to and whose
// log function records the call; the delivery of host messages into the DLL;
// the container's calls of the panel's callback. Everything crossing the
// boundary is traced. Replies to the DLL are owned buffers with a release
// function, so that a reply the DLL forgets to release shows.
class MessageBus {
public:
    MessageBus(PanelLibrary& library, Trace& trace);
    MessageBus(const MessageBus&) = delete;
    MessageBus& operator=(const MessageBus&) = delete;
    ~MessageBus();

    void addRole(Role& role);
    HostContext* context() { return &context_; }

    // processMessage with a message addressed to the panel, as initialize
    // named it.
    PanelLibrary::Reply deliver(const std::wstring& name, const std::wstring& data,
                                const std::wstring& target = L"");
    PanelLibrary::Reply deliver(const Envelope& message);
    int callContainerCallback(PanelLibrary::ContainerCallback callback, const std::wstring& name,
                              const std::wstring& payload);

    // The panel's identity, from the initialize document.
    void setPanelIdentity(const std::wstring& id, const std::wstring& version,
                          const std::wstring& instance);

    // Owned replies the DLL has not released (yet).
    size_t outstandingReplies() const { return outstanding_.size(); }
    // Release calls with a pointer the host never handed out, or twice.
    int unknownReleases() const { return unknownReleases_; }
    // Number of records the DLL sent with null string pointers.
    int nullFieldRecords() const { return nullFieldRecords_; }
    // Set when the DLL's send left the release out-parameter other than null.
    int unclearedReleaseSlots() const { return unclearedReleaseSlots_; }

private:
    static const wchar_t* __cdecl sendTrampoline(MessageRecord* message,
                                                 ReplyReleaseFunction* release);
    static void __cdecl logTrampoline(int level, const wchar_t* module, ...);
    static bool __cdecl releaseTrampoline(void* reply);

    const wchar_t* answer(MessageRecord* message, ReplyReleaseFunction* release);
    bool release(void* reply);

    PanelLibrary& library_;
    Trace& trace_;
    HostContext context_{};
    std::map<std::wstring, Role*> roles_;
    std::wstring panelID_ = L"HalvetPanel_UI";
    std::wstring panelVersion_ = L"1.0";
    std::wstring panelInstance_ = L"1";
    struct Outstanding {
        std::unique_ptr<wchar_t[]> text;
        int seq;
    };
    std::map<const wchar_t*, Outstanding> outstanding_;
    int unknownReleases_ = 0;
    int nullFieldRecords_ = 0;
    int unclearedReleaseSlots_ = 0;

    static MessageBus* active_;
};

}  // namespace refhost
