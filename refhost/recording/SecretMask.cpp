#include "recording/SecretMask.h"

#include <cwctype>

#include "platform/Text.h"
#include "recording/Trace.h"

namespace refhost {

namespace {

std::wstring xmlUnescaped(const std::wstring& text) {
    static const std::pair<const wchar_t*, const wchar_t*> kEntities[] = {
        {L"&lt;", L"<"}, {L"&gt;", L">"}, {L"&quot;", L"\""}, {L"&apos;", L"'"}, {L"&amp;", L"&"}};
    std::wstring out = text;
    for (const auto& [from, to] : kEntities) out = text::replaceAll(out, from, to);
    return out;
}

bool endsWithPassword(std::wstring name) {
    static const std::wstring kWord = L"password";
    if (name.size() < kWord.size()) return false;
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    return name.compare(name.size() - kWord.size(), kWord.size(), kWord) == 0;
}

}  // namespace

void SecretMask::add(const std::wstring& secret) {
    if (secret.empty()) return;
    variants_.insert(secret);
    variants_.insert(text::xmlEscaped(secret));
}

void SecretMask::learnFrom(const std::wstring& xml) {
    for (size_t at = xml.find(L'<'); at != std::wstring::npos; at = xml.find(L'<', at + 1)) {
        size_t nameEnd = xml.find_first_of(L" \t\r\n/>", at + 1);
        if (nameEnd == std::wstring::npos) return;
        if (xml[nameEnd] == L'/' || !endsWithPassword(xml.substr(at + 1, nameEnd - at - 1)))
            continue;
        size_t open = xml.find(L'>', nameEnd);
        if (open == std::wstring::npos) return;
        if (xml[open - 1] == L'/') continue;  // <password/>: nothing in it
        size_t close = xml.find(L"</", open + 1);
        if (close == std::wstring::npos) return;
        std::wstring value = xml.substr(open + 1, close - open - 1);
        add(xmlUnescaped(value));
        if (!value.empty()) variants_.insert(value);  // as this document wrote it
    }
}

void SecretMask::apply(std::wstring& text) const {
    for (const std::wstring& secret : variants_) {
        if (text.find(secret) != std::wstring::npos) text = text::replaceAll(text, secret, kMask);
    }
}

TraceEntry SecretMask::masked(const TraceEntry& entry) const {
    TraceEntry out = entry;
    if (variants_.empty()) return out;
    Envelope& e = out.envelope;
    for (std::wstring* field :
         {&e.targetType, &e.targetAppletID, &e.targetAppletVersion, &e.targetInstanceID,
          &e.sourceAppletID, &e.sourceAppletVersion, &e.sourceInstanceID, &e.messageName,
          &e.messageData, &out.name, &out.text, &out.detail, &out.log.module, &out.log.format,
          &out.log.text, &out.accessible.name})
        apply(*field);
    for (std::wstring& s : out.log.strings) apply(s);
    for (std::wstring& s : out.log.args) apply(s);
    return out;
}

}  // namespace refhost
