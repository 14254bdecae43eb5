#pragma once
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "boundary/Envelope.h"
#include "boundary/LogCall.h"
#include "recording/AccessibleReading.h"
#include "recording/SecretMask.h"

namespace refhost {

enum class EntryKind {
    Step,            // a scenario step begins: name = step kind, text = its label
    Initialize,      // text = document, number = result
    Finalize,        // text = final text, number = result
    Inbound,         // host -> DLL envelope (processMessage)
    InboundReply,    // the DLL's reply: text, flag = owned, ref = its Inbound
    Outbound,        // DLL -> host envelope (the host's send function)
    OutboundReply,   // the host's reply: text, flag = owned, ref = its Outbound
    Release,         // the DLL released an owned reply: flag = known, ref = its Outbound
    Log,             // a call of the host log function
    Callback,        // the container calls the panel's callback: name, text = payload
    CallbackReturn,  // number = result, ref = its Callback
    Picture,         // text = file name
    Check,           // an expectation: flag = met, text = what, detail = why
    Note,            // what a role did: name = role, text = what
    Bridge,          // a line to or from the engine bridge: name = direction, text = fields
    Accessible,      // a panel window as assistive technology reads it when a picture is
                     // taken: accessible, ref = its Picture
};

const char* kindName(EntryKind kind);

struct TraceEntry {
    int seq = 0;
    double ms = 0;  // since the trace began
    EntryKind kind = EntryKind::Note;
    int step = 0;  // scenario step that was running (0: before the first)
    Envelope envelope;
    std::wstring name;
    std::wstring text;
    std::wstring detail;
    int number = 0;
    bool flag = false;
    int ref = 0;
    LogCall log;
    AccessibleReading accessible;
};

// Every event of a run, in order, with time stamps: kept in memory for the
// expectations and written as it happens to trace.txt (for people) and
// trace.jsonl (one JSON object a line, for tools), each line flushed so that
// a run that dies still leaves its trace. What is written has the run's
// secrets masked (see SecretMask) unless they are to be shown; the entries
// in memory keep them.
class Trace {
public:
    Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;
    ~Trace();

    // Creates (truncates) the two files in folder. Without it the trace is
    // kept in memory only.
    bool open(const std::wstring& folder, std::wstring& error);
    // Echo of the readable lines on standard output.
    void setEcho(bool echo) { echo_ = echo; }
    // A secret to mask from now on; secrets inside the XML of envelopes and
    // replies are learnt as they pass.
    void addSecret(const std::wstring& secret) { secrets_.add(secret); }
    void setShowSecrets(bool show) { showSecrets_ = show; }
    // text as the records would write it.
    std::wstring shown(std::wstring text) const;

    void setStep(int step) { step_ = step; }
    int step() const { return step_; }
    // Stamps the entry (seq, time, step), records and writes it; returns seq.
    int add(TraceEntry entry);
    const std::vector<TraceEntry>& entries() const { return entries_; }

    static std::string textLine(const TraceEntry& entry);
    static std::string jsonLine(const TraceEntry& entry);

private:
    double now() const;

    std::vector<TraceEntry> entries_;
    int step_ = 0;
    LARGE_INTEGER start_{};
    LARGE_INTEGER frequency_{};
    FILE* text_ = nullptr;
    FILE* json_ = nullptr;
    bool echo_ = false;
    SecretMask secrets_;
    bool showSecrets_ = false;
};

}  // namespace refhost
