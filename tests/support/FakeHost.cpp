#include "support/FakeHost.h"

#include <cstdarg>
#include <cwchar>

#include <gtest/gtest.h>

#include "boundary/LogCall.h"
#include "platform/Text.h"
#include "support/DllPath.h"

namespace halvet::test {

FakeHost* FakeHost::active_ = nullptr;

namespace {

std::wstring textOf(const wchar_t* text) {
    return text ? text : L"(null)";
}

}  // namespace

std::wstring Envelope::receiver() const {
    return targetType == L"Core" ? L"Core" : targetAppletID;
}

Envelope Envelope::fromRecord(const MessageRecord& r) {
    Envelope e;
    e.header = r.header;
    e.targetType = textOf(r.targetType);
    e.targetAppletID = textOf(r.targetAppletID);
    e.targetAppletVersion = textOf(r.targetAppletVersion);
    e.targetInstanceID = textOf(r.targetInstanceID);
    e.sourceAppletID = textOf(r.sourceAppletID);
    e.sourceAppletVersion = textOf(r.sourceAppletVersion);
    e.sourceInstanceID = textOf(r.sourceInstanceID);
    e.messageName = textOf(r.messageName);
    e.messageData = textOf(r.messageData);
    e.flagA = r.flagA;
    e.flagB = r.flagB;
    e.flagC = r.flagC;
    e.padding = r.padding;
    return e;
}

MessageRecord recordOf(const Envelope& e) {
    MessageRecord r{};
    r.header = e.header;
    r.targetType = e.targetType.c_str();
    r.targetAppletID = e.targetAppletID.c_str();
    r.targetAppletVersion = e.targetAppletVersion.c_str();
    r.targetInstanceID = e.targetInstanceID.c_str();
    r.sourceAppletID = e.sourceAppletID.c_str();
    r.sourceAppletVersion = e.sourceAppletVersion.c_str();
    r.sourceInstanceID = e.sourceInstanceID.c_str();
    r.messageName = e.messageName.c_str();
    r.messageData = e.messageData.c_str();
    r.flagA = e.flagA;
    r.flagB = e.flagB;
    r.flagC = e.flagC;
    r.padding = e.padding;
    return r;
}

bool operator==(const Envelope& a, const Envelope& b) {
    return a.header == b.header && a.targetType == b.targetType &&
           a.targetAppletID == b.targetAppletID && a.targetAppletVersion == b.targetAppletVersion &&
           a.targetInstanceID == b.targetInstanceID && a.sourceAppletID == b.sourceAppletID &&
           a.sourceAppletVersion == b.sourceAppletVersion &&
           a.sourceInstanceID == b.sourceInstanceID && a.messageName == b.messageName &&
           a.messageData == b.messageData && a.flagA == b.flagA && a.flagB == b.flagB &&
           a.flagC == b.flagC && a.padding == b.padding;
}

void PrintTo(const Envelope& e, std::ostream* out) {
    using testing::PrintToString;
    *out << "{header " << e.header << ", " << PrintToString(e.targetType) << ", "
         << PrintToString(e.targetAppletID) << ", " << PrintToString(e.targetAppletVersion) << ", "
         << PrintToString(e.targetInstanceID) << ", from " << PrintToString(e.sourceAppletID)
         << ", " << PrintToString(e.sourceAppletVersion) << ", "
         << PrintToString(e.sourceInstanceID) << ", name " << PrintToString(e.messageName)
         << ", data " << PrintToString(e.messageData) << ", flags " << int(e.flagA) << ","
         << int(e.flagB) << "," << int(e.flagC) << ", padding " << int(e.padding) << "}";
}

bool operator==(const LogCall& a, const LogCall& b) {
    return a.level == b.level && a.module == b.module && a.strings == b.strings &&
           a.format == b.format && a.args == b.args;
}

void PrintTo(const LogCall& c, std::ostream* out) {
    using testing::PrintToString;
    *out << "{level " << c.level << ", " << PrintToString(c.module) << ", "
         << PrintToString(c.strings) << ", format " << PrintToString(c.format) << ", args "
         << PrintToString(c.args) << "}";
}

FakeHost::FakeHost() : FakeHost(dllPath()) {}

FakeHost::FakeHost(const std::wstring& dllFile) {
    module_ = LoadLibraryW(dllFile.c_str());
    if (module_) {
        exports_.initialize =
            reinterpret_cast<InitializeFunction>(GetProcAddress(module_, "initialize"));
        exports_.processMessage =
            reinterpret_cast<ProcessMessageFunction>(GetProcAddress(module_, "processMessage"));
        exports_.finalize = reinterpret_cast<FinalizeFunction>(GetProcAddress(module_, "finalize"));
    }
    activate();
}

FakeHost::FakeHost(const EntryPoints& linked) : exports_(linked) {
    activate();
}

void FakeHost::activate() {
    context_.header = 1;
    context_.send = &FakeHost::sendTrampoline;
    context_.log = &FakeHost::logTrampoline;
    previous_ = active_;
    active_ = this;
}

FakeHost::~FakeHost() {
    if (module_) FreeLibrary(module_);
    if (active_ == this) active_ = previous_;
}

int FakeHost::initialize(const InitArguments& arguments) {
    arguments_ = arguments;
    return initializeWith(initDocument(arguments));
}

int FakeHost::initializeWith(const std::wstring& document) {
    return exports_.initialize(document.c_str(), &context_);
}

int FakeHost::finalize(const std::wstring& finalText) {
    return exports_.finalize(finalText.c_str());
}

std::wstring FakeHost::initDocument(const InitArguments& a) {
    std::wstring dir = a.appletDIR.empty() ? programFolder() : a.appletDIR;
    return L"<CommandLineArguments><appletID>" + refhost::text::xmlEscaped(a.appletID) +
           L"</appletID><appletVersion>" + refhost::text::xmlEscaped(a.appletVersion) +
           L"</appletVersion><appletInstanceID>" + refhost::text::xmlEscaped(a.appletInstanceID) +
           L"</appletInstanceID><appletDIR>" + refhost::text::xmlEscaped(dir) + L"</appletDIR><isHighDPI>" +
           refhost::text::xmlEscaped(a.isHighDPI) + L"</isHighDPI></CommandLineArguments>";
}

Envelope FakeHost::messageToPanel(const std::wstring& name, const std::wstring& data) const {
    Envelope e;
    e.targetType = L"Applet";
    e.targetAppletID = arguments_.appletID;
    e.targetAppletVersion = arguments_.appletVersion;
    e.targetInstanceID = arguments_.appletInstanceID;
    e.sourceAppletID = L"Core";
    e.sourceAppletVersion = L"1.0";
    e.sourceInstanceID = L"0";
    e.messageName = name;
    e.messageData = data;
    return e;
}

DllReply FakeHost::send(const std::wstring& name, const std::wstring& data) {
    return deliver(messageToPanel(name, data));
}

DllReply FakeHost::deliver(const Envelope& message) {
    MessageRecord record = recordOf(message);
    // A value the DLL never writes, to see whether it wrote the out-parameter.
    const auto untouched = reinterpret_cast<ReplyReleaseFunction>(static_cast<uintptr_t>(1));
    ReplyReleaseFunction release = untouched;
    DllReply reply;
    reply.pointer = exports_.processMessage(&record, &release);
    reply.releaseWritten = release != untouched;
    reply.release = reply.releaseWritten ? release : nullptr;
    if (reply.pointer) reply.text = reply.pointer;
    if (reply.owned()) reply.releaseResult = reply.release(const_cast<wchar_t*>(reply.pointer));
    return reply;
}

void FakeHost::respondToMessage(const std::wstring& name, Responder responder) {
    byName_[name] = std::move(responder);
}

void FakeHost::respond(const std::wstring& receiver, Responder responder) {
    byReceiver_[receiver] = std::move(responder);
}

void FakeHost::setDefaultResponder(Responder responder) {
    default_ = std::move(responder);
}

std::vector<Envelope> FakeHost::envelopesTo(const std::wstring& receiver) const {
    std::vector<Envelope> out;
    for (const auto& e : envelopes_)
        if (e.receiver() == receiver) out.push_back(e);
    return out;
}

std::vector<Envelope> FakeHost::envelopesNamed(const std::wstring& name) const {
    std::vector<Envelope> out;
    for (const auto& e : envelopes_)
        if (e.messageName == name) out.push_back(e);
    return out;
}

void FakeHost::clearRecords() {
    envelopes_.clear();
    logCalls_.clear();
}

const wchar_t* __cdecl FakeHost::sendTrampoline(MessageRecord* message,
                                                ReplyReleaseFunction* release) {
    if (!active_ || !message || !release) return nullptr;
    return active_->answer(message, release);
}

const wchar_t* FakeHost::answer(MessageRecord* message, ReplyReleaseFunction* release) {
    Envelope envelope = Envelope::fromRecord(*message);
    envelope.releaseWasNull = *release == nullptr;
    envelopes_.push_back(envelope);

    Responder responder = default_;
    if (auto it = byName_.find(envelope.messageName); it != byName_.end())
        responder = it->second;
    else if (auto it2 = byReceiver_.find(envelope.receiver()); it2 != byReceiver_.end())
        responder = it2->second;
    // A copy of the responder runs: it may replace responders or call back
    // into the DLL.
    HostReply reply = responder ? responder(envelope) : HostReply::ofText(L"");

    *release = nullptr;
    switch (reply.kind) {
        case HostReply::Kind::Null:
            return nullptr;
        case HostReply::Kind::Static:
            staticReplies_.push_back(std::move(reply.text));
            return staticReplies_.back().c_str();
        case HostReply::Kind::Owned: {
            auto buffer = std::make_unique<wchar_t[]>(reply.text.size() + 1);
            std::copy(reply.text.begin(), reply.text.end(), buffer.get());
            buffer[reply.text.size()] = L'\0';
            const wchar_t* text = buffer.get();
            outstanding_[text] = std::move(buffer);
            ++ownedGiven_;
            *release = &FakeHost::releaseTrampoline;
            return text;
        }
    }
    return nullptr;
}

bool __cdecl FakeHost::releaseTrampoline(void* reply) {
    if (!active_) return false;
    FakeHost& host = *active_;
    auto it = host.outstanding_.find(static_cast<const wchar_t*>(reply));
    if (it == host.outstanding_.end()) {
        ++host.unknownReleases_;
        return false;
    }
    // Overwrite before freeing: a caller that reads the text after releasing
    // it sees garbage in its copy.
    for (wchar_t* p = it->second.get(); *p; ++p) *p = L'#';
    host.outstanding_.erase(it);
    ++host.releases_;
    return true;
}

void __cdecl FakeHost::logTrampoline(int level, const wchar_t* module, ...) {
    if (!active_) return;
    // Read as the reference host reads it: both call shapes of the DLL.
    va_list args;
    va_start(args, module);
    refhost::LogCall read = refhost::LogCall::read(level, module, args);
    va_end(args);
    LogCall call;
    call.level = read.level;
    call.module = std::move(read.module);
    call.strings = std::move(read.strings);
    call.format = std::move(read.format);
    call.args = std::move(read.args);
    call.formatted = std::move(read.text);
    active_->logCalls_.push_back(std::move(call));
}

}  // namespace halvet::test
