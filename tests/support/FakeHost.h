#pragma once
// A host for tests: loads HalvetPanelUI.dll (or uses entry points linked into the
// test program), hands it a HostContext whose send and log functions record every
// call, answers outbound messages through configurable responders, and delivers
// host messages to the DLL.
//
// Use:
//   FakeHost host;                                   // fresh LoadLibraryW of dllPath()
//   ASSERT_TRUE(host.loaded());
//   host.respond(L"HEX_UIX", [](const Envelope&) { return HostReply::ofText(L"Success"); });
//   host.respondToMessage(L"GetAppletRelation", [](const Envelope&) {
//       return HostReply::owned(L"<r><relative_name>B</relative_name></r>"); });
//   EXPECT_EQ(host.initialize(), 1);                 // default CommandLineArguments document
//   DllReply reply = host.send(L"CreateView", L"<xml/>");   // processMessage; releases owned
//   replies EXPECT_EQ(host.envelopesTo(L"HEX_UIX").size(), 1u);
//   EXPECT_EQ(host.logCalls().back().format, L"...");
//   host.finalize();
// The DLL is freed when the object goes, so every fixture starts from fresh module
// state. Only one FakeHost is active at a time (the newest); the host functions
// reach it through static trampolines. A responder may call back into the DLL
// (host.send(...)) to test re-entrancy: capture the host by reference.
// Unit tests that link the core use FakeHost(EntryPoints{...}) or just context().
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/MessageRecord.h"

namespace halvet::test {

using InitializeFunction = int(__cdecl*)(const wchar_t* initXml, HostContext* host);
using ProcessMessageFunction = const wchar_t*(__cdecl*)(MessageRecord* request,
                                                        ReplyReleaseFunction* release);
using FinalizeFunction = int(__cdecl*)(const wchar_t* finalText);

struct EntryPoints {
    InitializeFunction initialize = nullptr;
    ProcessMessageFunction processMessage = nullptr;
    FinalizeFunction finalize = nullptr;
};

// One envelope, copied out of a MessageRecord (or to be turned into one). A null
// string pointer in a record is recorded as the text "(null)"; so is one in a log call.
struct Envelope {
    uint32_t header = 1;
    std::wstring targetType;
    std::wstring targetAppletID;
    std::wstring targetAppletVersion;
    std::wstring targetInstanceID;
    std::wstring sourceAppletID;
    std::wstring sourceAppletVersion;
    std::wstring sourceInstanceID;
    std::wstring messageName;
    std::wstring messageData;
    uint8_t flagA = 0;
    uint8_t flagB = 1;
    uint8_t flagC = 0;
    uint8_t padding = 0;
    // Outbound only: the DLL had set the release out-parameter to null.
    bool releaseWasNull = true;

    // "Core" for messages to the host itself, else the target applet ID.
    std::wstring receiver() const;
    static Envelope fromRecord(const MessageRecord& record);
};

// A record that borrows the strings of an envelope (keep the envelope alive).
MessageRecord recordOf(const Envelope& envelope);

// Every field but releaseWasNull.
bool operator==(const Envelope& a, const Envelope& b);
inline bool operator!=(const Envelope& a, const Envelope& b) {
    return !(a == b);
}
void PrintTo(const Envelope& envelope, std::ostream* out);

// One call of the host log function. Known shapes: level, module, three wide
// strings, format, one wide string per %s; or level, module, four wide strings
// (the fourth names the event, e.g. "MethodNotFound"), format, arguments.
struct LogCall {
    int level = 0;
    std::wstring module;
    std::vector<std::wstring> strings;  // between module and format
    std::wstring format;
    std::vector<std::wstring> args;  // one per %s of the format
    std::wstring formatted;          // format with the arguments put in
};

// Level, module, strings, format and args (formatted follows from them).
bool operator==(const LogCall& a, const LogCall& b);
inline bool operator!=(const LogCall& a, const LogCall& b) {
    return !(a == b);
}
void PrintTo(const LogCall& call, std::ostream* out);

// What a responder answers to an outbound message.
struct HostReply {
    enum class Kind { Static, Owned, Null };
    Kind kind = Kind::Static;
    std::wstring text;

    // Text owned by the host, no release function.
    static HostReply ofText(std::wstring text) { return {Kind::Static, std::move(text)}; }
    // A fresh buffer with a release function the DLL must call exactly once.
    static HostReply owned(std::wstring text) { return {Kind::Owned, std::move(text)}; }
    // A null reply pointer.
    static HostReply null() { return {Kind::Null, {}}; }
};

using Responder = std::function<HostReply(const Envelope& message)>;

// What the DLL answered to one delivered message.
struct DllReply {
    std::wstring text;
    const wchar_t* pointer = nullptr;
    bool releaseWritten = false;  // processMessage wrote the release out-parameter
    ReplyReleaseFunction release = nullptr;
    bool owned() const { return releaseWritten && release != nullptr; }
    bool releaseResult = false;  // result of the release call (owned replies)
};

// The initialize document's values.
struct InitArguments {
    std::wstring appletID = L"HalvetPanel_UI";
    std::wstring appletVersion = L"1.0";
    std::wstring appletInstanceID = L"1";
    std::wstring appletDIR;  // empty: the test program's folder
    std::wstring isHighDPI = L"0";
};

class FakeHost {
public:
    // Loads the built DLL (dllPath()) with LoadLibraryW.
    FakeHost();
    explicit FakeHost(const std::wstring& dllFile);
    // Uses entry points linked into the test program (nothing is loaded).
    explicit FakeHost(const EntryPoints& linked);
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;
    ~FakeHost();

    bool loaded() const {
        return exports_.initialize && exports_.processMessage && exports_.finalize;
    }
    HMODULE module() const { return module_; }
    const EntryPoints& exports() const { return exports_; }

    // The record handed to initialize; send and log are this host's recorders.
    // Tests may null them (a host without send or log function).
    HostContext& context() { return context_; }

    // initialize with initDocument(arguments) (or the given text) and context().
    int initialize(const InitArguments& arguments = {});
    int initializeWith(const std::wstring& document);
    int finalize(const std::wstring& finalText = L"shutdown");

    // A host message addressed to the panel, as initialize described it.
    Envelope messageToPanel(const std::wstring& name, const std::wstring& data = L"") const;
    // processMessage with messageToPanel(name, data); owned replies are released.
    DllReply send(const std::wstring& name, const std::wstring& data = L"");
    DllReply deliver(const Envelope& message);

    static std::wstring initDocument(const InitArguments& arguments = {});

    // Responders: by message name first, then by receiver ("Core" or applet
    // ID), then the default (empty static text unless replaced).
    void respondToMessage(const std::wstring& name, Responder responder);
    void respond(const std::wstring& receiver, Responder responder);
    void setDefaultResponder(Responder responder);

    const std::vector<Envelope>& envelopes() const { return envelopes_; }
    std::vector<Envelope> envelopesTo(const std::wstring& receiver) const;
    std::vector<Envelope> envelopesNamed(const std::wstring& name) const;
    const std::vector<LogCall>& logCalls() const { return logCalls_; }
    void clearRecords();

    int ownedRepliesGiven() const { return ownedGiven_; }
    int releasesCalled() const { return releases_; }
    int outstandingReplies() const { return static_cast<int>(outstanding_.size()); }
    // Release calls with a pointer this host never handed out (or twice).
    int unknownReleases() const { return unknownReleases_; }

private:
    static const wchar_t* __cdecl sendTrampoline(MessageRecord* message,
                                                 ReplyReleaseFunction* release);
    static void __cdecl logTrampoline(int level, const wchar_t* module, ...);
    static bool __cdecl releaseTrampoline(void* reply);

    void activate();
    const wchar_t* answer(MessageRecord* message, ReplyReleaseFunction* release);

    HMODULE module_ = nullptr;
    EntryPoints exports_;
    HostContext context_{};
    InitArguments arguments_;
    FakeHost* previous_ = nullptr;

    std::map<std::wstring, Responder> byName_;
    std::map<std::wstring, Responder> byReceiver_;
    Responder default_;
    std::vector<Envelope> envelopes_;
    std::vector<LogCall> logCalls_;
    std::deque<std::wstring> staticReplies_;  // keeps static answers alive
    std::map<const wchar_t*, std::unique_ptr<wchar_t[]>> outstanding_;
    int ownedGiven_ = 0;
    int releases_ = 0;
    int unknownReleases_ = 0;

    static FakeHost* active_;
};

}  // namespace halvet::test
