#include "boundary/MessageBus.h"

#include <algorithm>
#include <cstdarg>

#include "boundary/LogCall.h"

namespace refhost {

MessageBus* MessageBus::active_ = nullptr;

MessageBus::MessageBus(PanelLibrary& library, Trace& trace) : library_(library), trace_(trace) {
    context_.header = 1;
    context_.send = &MessageBus::sendTrampoline;
    context_.log = &MessageBus::logTrampoline;
    active_ = this;
}

MessageBus::~MessageBus() {
    if (active_ == this) active_ = nullptr;
}

void MessageBus::addRole(Role& role) {
    roles_[role.receiver()] = &role;
}

void MessageBus::setPanelIdentity(const std::wstring& id, const std::wstring& version,
                                  const std::wstring& instance) {
    panelID_ = id;
    panelVersion_ = version;
    panelInstance_ = instance;
}

PanelLibrary::Reply MessageBus::deliver(const std::wstring& name, const std::wstring& data,
                                        const std::wstring& target) {
    Envelope e;
    e.targetType = L"Applet";
    e.targetAppletID = target.empty() ? panelID_ : target;
    e.targetAppletVersion = panelVersion_;
    e.targetInstanceID = panelInstance_;
    e.sourceAppletID = L"Core";
    e.sourceAppletVersion = L"1.0";
    e.sourceInstanceID = L"0";
    e.messageName = name;
    e.messageData = data;
    return deliver(e);
}

PanelLibrary::Reply MessageBus::deliver(const Envelope& message) {
    TraceEntry in;
    in.kind = EntryKind::Inbound;
    in.envelope = message;
    int seq = trace_.add(std::move(in));
    PanelLibrary::Reply reply = library_.processMessage(message);
    TraceEntry out;
    out.kind = EntryKind::InboundReply;
    out.ref = seq;
    out.text = reply.null ? L"(null)" : reply.text;
    out.flag = reply.owned;
    out.envelope.messageName = message.messageName;
    trace_.add(std::move(out));
    return reply;
}

int MessageBus::callContainerCallback(PanelLibrary::ContainerCallback callback,
                                      const std::wstring& name, const std::wstring& payload) {
    TraceEntry call;
    call.kind = EntryKind::Callback;
    call.name = name;
    call.text = payload;
    int seq = trace_.add(std::move(call));
    int result = callback(name.c_str(), payload.c_str());
    TraceEntry back;
    back.kind = EntryKind::CallbackReturn;
    back.ref = seq;
    back.number = result;
    back.name = name;
    trace_.add(std::move(back));
    return result;
}

// The trampolines are the host functions the DLL calls: no exception may
// leave them, since the DLL's frames lie between them and the host's own.
const wchar_t* __cdecl MessageBus::sendTrampoline(MessageRecord* message,
                                                  ReplyReleaseFunction* release) {
    try {
        if (!active_ || !message || !release) return nullptr;
        return active_->answer(message, release);
    } catch (...) {
        return nullptr;
    }
}

void __cdecl MessageBus::logTrampoline(int level, const wchar_t* module, ...) {
    try {
        if (!active_) return;
        va_list args;
        va_start(args, module);
        TraceEntry entry;
        entry.kind = EntryKind::Log;
        entry.log = LogCall::read(level, module, args);
        va_end(args);
        active_->trace_.add(std::move(entry));
    } catch (...) {
    }
}

bool __cdecl MessageBus::releaseTrampoline(void* reply) {
    try {
        return active_ && active_->release(reply);
    } catch (...) {
        return false;
    }
}

const wchar_t* MessageBus::answer(MessageRecord* record, ReplyReleaseFunction* release) {
    Envelope message = Envelope::fromRecord(*record);
    if (message.nullFields) ++nullFieldRecords_;
    if (*release != nullptr) ++unclearedReleaseSlots_;
    *release = nullptr;
    TraceEntry in;
    in.kind = EntryKind::Outbound;
    in.envelope = message;
    int seq = trace_.add(std::move(in));

    std::wstring text;
    auto role = roles_.find(message.receiver());
    if (role != roles_.end()) {
        text = role->second->answer(message);
    } else {
        TraceEntry note;
        note.kind = EntryKind::Note;
        note.name = L"host";
        note.text = L"no one plays \"" + message.receiver() + L"\": empty reply";
        trace_.add(std::move(note));
    }

    auto buffer = std::make_unique<wchar_t[]>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer.get());
    buffer[text.size()] = L'\0';
    const wchar_t* pointer = buffer.get();
    outstanding_[pointer] = {std::move(buffer), seq};
    *release = &MessageBus::releaseTrampoline;

    TraceEntry out;
    out.kind = EntryKind::OutboundReply;
    out.ref = seq;
    out.text = text;
    out.flag = true;
    out.envelope.messageName = message.messageName;
    trace_.add(std::move(out));
    return pointer;
}

bool MessageBus::release(void* reply) {
    auto it = outstanding_.find(static_cast<const wchar_t*>(reply));
    TraceEntry entry;
    entry.kind = EntryKind::Release;
    entry.flag = it != outstanding_.end();
    entry.ref = entry.flag ? it->second.seq : 0;
    trace_.add(std::move(entry));
    if (it == outstanding_.end()) {
        ++unknownReleases_;
        return false;
    }
    // Overwritten before it is freed: a DLL that reads the text after
    // releasing it sees '#' rather than its old reply.
    for (wchar_t* p = it->second.text.get(); *p; ++p) *p = L'#';
    outstanding_.erase(it);
    return true;
}

}  // namespace refhost
