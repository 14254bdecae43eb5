#include "recording/Trace.h"

#include <cwchar>

#include "platform/Text.h"

namespace refhost {

using text::jsonString;
using text::oneLine;
using text::toUtf8;

const char* kindName(EntryKind kind) {
    switch (kind) {
        case EntryKind::Step:
            return "step";
        case EntryKind::Initialize:
            return "initialize";
        case EntryKind::Finalize:
            return "finalize";
        case EntryKind::Inbound:
            return "inbound";
        case EntryKind::InboundReply:
            return "inbound-reply";
        case EntryKind::Outbound:
            return "outbound";
        case EntryKind::OutboundReply:
            return "outbound-reply";
        case EntryKind::Release:
            return "release";
        case EntryKind::Log:
            return "log";
        case EntryKind::Callback:
            return "callback";
        case EntryKind::CallbackReturn:
            return "callback-return";
        case EntryKind::Picture:
            return "picture";
        case EntryKind::Check:
            return "check";
        case EntryKind::Note:
            return "note";
        case EntryKind::Bridge:
            return "bridge";
        case EntryKind::Accessible:
            return "accessible";
    }
    return "?";
}

namespace {

std::wstring addressText(const Envelope& e) {
    return e.targetType + L" " + e.targetAppletID + L"/" + e.targetAppletVersion + L"/" +
           e.targetInstanceID + L" from " + e.sourceAppletID + L"/" + e.sourceAppletVersion + L"/" +
           e.sourceInstanceID + L" flags " + std::to_wstring(e.flagA) + L"," +
           std::to_wstring(e.flagB) + L"," + std::to_wstring(e.flagC);
}

std::wstring envelopeText(const wchar_t* arrow, const TraceEntry& entry) {
    const Envelope& e = entry.envelope;
    std::wstring line =
        std::wstring(arrow) + L" \"" + e.messageName + L"\"  (" + addressText(e) + L")";
    if (e.nullFields) line += L"  [" + std::to_wstring(e.nullFields) + L" null fields]";
    if (!e.messageData.empty()) line += L"\n      data: " + oneLine(e.messageData, 2000);
    return line;
}

std::wstring replyText(const wchar_t* arrow, const TraceEntry& entry) {
    return std::wstring(arrow) + L" reply to #" + std::to_wstring(entry.ref) + L": \"" +
           oneLine(entry.text, 2000) + L"\"" + (entry.flag ? L" (owned)" : L" (static)");
}

std::wstring body(const TraceEntry& entry) {
    switch (entry.kind) {
        case EntryKind::Step:
            return L"=== " + entry.text;
        case EntryKind::Initialize:
            return L"host -> DLL  initialize -> " + std::to_wstring(entry.number) +
                   L"\n      document: " + oneLine(entry.text, 2000);
        case EntryKind::Finalize:
            return L"host -> DLL  finalize(\"" + entry.text + L"\") -> " +
                   std::to_wstring(entry.number);
        case EntryKind::Inbound:
            return envelopeText(L"host -> DLL ", entry);
        case EntryKind::InboundReply:
            return replyText(L"DLL  -> host", entry);
        case EntryKind::Outbound:
            return envelopeText(L"DLL  -> host", entry);
        case EntryKind::OutboundReply:
            return replyText(L"host -> DLL ", entry);
        case EntryKind::Release:
            return std::wstring(L"DLL releases the reply to #") + std::to_wstring(entry.ref) +
                   (entry.flag ? L"" : L" (a pointer the host never handed out)");
        case EntryKind::Log:
            return L"DLL log level " + std::to_wstring(entry.log.level) + L" " + entry.log.module +
                   L": " + entry.log.text;
        case EntryKind::Callback:
            return L"container -> callback \"" + entry.name + L"\"  payload: " +
                   oneLine(entry.text, 2000);
        case EntryKind::CallbackReturn:
            return L"callback #" + std::to_wstring(entry.ref) + L" returned " +
                   std::to_wstring(entry.number);
        case EntryKind::Picture:
            return L"picture " + entry.text;
        case EntryKind::Check:
            return std::wstring(entry.flag ? L"MET    " : L"FAILED ") + entry.text +
                   (entry.detail.empty() ? L"" : L"\n      " + entry.detail);
        case EntryKind::Note:
            return L"[" + entry.name + L"] " + entry.text;
        case EntryKind::Bridge:
            return L"(" + entry.name + L") " + entry.text;
        case EntryKind::Accessible:
            return L"  accessible at picture #" + std::to_wstring(entry.ref) + L"  " +
                   oneLine(entry.accessible.line(), 2000);
    }
    return L"";
}

void addField(std::string& json, const char* name, const std::wstring& value) {
    json += ",\"";
    json += name;
    json += "\":";
    json += jsonString(value);
}

void addField(std::string& json, const char* name, long long value) {
    json += ",\"";
    json += name;
    json += "\":";
    json += std::to_string(value);
}

void addField(std::string& json, const char* name, bool value) {
    json += ",\"";
    json += name;
    json += value ? "\":true" : "\":false";
}

void addEnvelope(std::string& json, const Envelope& e) {
    addField(json, "targetType", e.targetType);
    addField(json, "targetAppletID", e.targetAppletID);
    addField(json, "targetAppletVersion", e.targetAppletVersion);
    addField(json, "targetInstanceID", e.targetInstanceID);
    addField(json, "sourceAppletID", e.sourceAppletID);
    addField(json, "sourceAppletVersion", e.sourceAppletVersion);
    addField(json, "sourceInstanceID", e.sourceInstanceID);
    addField(json, "messageName", e.messageName);
    addField(json, "messageData", e.messageData);
    addField(json, "flagA", static_cast<long long>(e.flagA));
    addField(json, "flagB", static_cast<long long>(e.flagB));
    addField(json, "flagC", static_cast<long long>(e.flagC));
    if (e.nullFields) addField(json, "nullFields", static_cast<long long>(e.nullFields));
}

void addKindFields(std::string& json, const TraceEntry& entry) {
    switch (entry.kind) {
        case EntryKind::Inbound:
        case EntryKind::Outbound:
            addEnvelope(json, entry.envelope);
            return;
        case EntryKind::InboundReply:
        case EntryKind::OutboundReply:
            addField(json, "ref", static_cast<long long>(entry.ref));
            addField(json, "reply", entry.text);
            addField(json, "owned", entry.flag);
            return;
        case EntryKind::Release:
            addField(json, "ref", static_cast<long long>(entry.ref));
            addField(json, "known", entry.flag);
            return;
        case EntryKind::Log:
            addField(json, "level", static_cast<long long>(entry.log.level));
            addField(json, "module", entry.log.module);
            for (size_t i = 0; i < entry.log.strings.size(); ++i)
                addField(json, ("string" + std::to_string(i + 1)).c_str(), entry.log.strings[i]);
            addField(json, "format", entry.log.format);
            addField(json, "text", entry.log.text);
            return;
        case EntryKind::Callback:
            addField(json, "event", entry.name);
            addField(json, "payload", entry.text);
            return;
        case EntryKind::CallbackReturn:
            addField(json, "ref", static_cast<long long>(entry.ref));
            addField(json, "result", static_cast<long long>(entry.number));
            return;
        case EntryKind::Initialize:
        case EntryKind::Finalize:
            addField(json, "text", entry.text);
            addField(json, "result", static_cast<long long>(entry.number));
            return;
        case EntryKind::Check:
            addField(json, "met", entry.flag);
            addField(json, "what", entry.text);
            addField(json, "why", entry.detail);
            return;
        case EntryKind::Step:
        case EntryKind::Picture:
        case EntryKind::Note:
        case EntryKind::Bridge:
            addField(json, "name", entry.name);
            addField(json, "text", entry.text);
            return;
        case EntryKind::Accessible: {
            const AccessibleReading& a = entry.accessible;
            addField(json, "ref", static_cast<long long>(entry.ref));
            addField(json, "window", a.window);
            addField(json, "role", static_cast<long long>(a.role));
            addField(json, "roleText", a.roleText);
            if (a.named) addField(json, "name", a.name);
            addField(json, "state", static_cast<long long>(static_cast<unsigned long>(a.state)));
            addField(json, "stateText", a.stateText);
            return;
        }
    }
}

}  // namespace

Trace::Trace() {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
}

Trace::~Trace() {
    if (text_) std::fclose(text_);
    if (json_) std::fclose(json_);
}

bool Trace::open(const std::wstring& folder, std::wstring& error) {
    std::wstring textPath = folder + L"\\trace.txt";
    std::wstring jsonPath = folder + L"\\trace.jsonl";
    text_ = _wfopen(textPath.c_str(), L"wb");
    json_ = _wfopen(jsonPath.c_str(), L"wb");
    if (!text_ || !json_) {
        error = L"cannot write the trace in " + folder;
        return false;
    }
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t header[160];
    std::swprintf(header, 160,
                  L"trace of the reference host, started %04u-%02u-%02u %02u:%02u:%02u.%03u local "
                  L"time; times in ms since then\n",
                  t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    std::fputs(toUtf8(header).c_str(), text_);
    std::fflush(text_);
    return true;
}

double Trace::now() const {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return frequency_.QuadPart
               ? double(c.QuadPart - start_.QuadPart) * 1000.0 / double(frequency_.QuadPart)
               : 0.0;
}

int Trace::add(TraceEntry entry) {
    entry.seq = static_cast<int>(entries_.size()) + 1;
    entry.ms = now();
    entry.step = step_;
    secrets_.learnFrom(entry.envelope.messageData);
    secrets_.learnFrom(entry.text);
    entries_.push_back(std::move(entry));
    TraceEntry maskedCopy;
    const TraceEntry* written = &entries_.back();
    if (!showSecrets_ && !secrets_.empty()) {
        maskedCopy = secrets_.masked(*written);
        written = &maskedCopy;
    }
    const TraceEntry& e = *written;
    std::string line = textLine(e);
    if (text_) {
        std::fputs(line.c_str(), text_);
        std::fflush(text_);
    }
    if (json_) {
        std::fputs(jsonLine(e).c_str(), json_);
        std::fflush(json_);
    }
    if (echo_) {
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }
    return e.seq;
}

std::wstring Trace::shown(std::wstring text) const {
    if (!showSecrets_) secrets_.apply(text);
    return text;
}

std::string Trace::textLine(const TraceEntry& entry) {
    wchar_t stamp[48];
    std::swprintf(stamp, 48, L"[%10.3f] #%-4d ", entry.ms, entry.seq);
    return toUtf8(stamp + body(entry)) + "\n";
}

std::string Trace::jsonLine(const TraceEntry& entry) {
    char head[96];
    std::snprintf(head, sizeof head, "{\"seq\":%d,\"t_ms\":%.3f,\"step\":%d,\"kind\":\"%s\"",
                  entry.seq, entry.ms, entry.step, kindName(entry.kind));
    std::string json = head;
    addKindFields(json, entry);
    return json + "}\n";
}

}  // namespace refhost
