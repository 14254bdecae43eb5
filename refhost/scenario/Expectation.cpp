#include "scenario/Expectation.h"

#include "platform/Text.h"
#include "platform/XmlDocument.h"

namespace refhost {

namespace {

bool textMatches(const Step& step, const std::wstring& value, std::wstring& why) {
    if (step.has(L"equals") && value != step.attr(L"equals")) {
        why = L"text \"" + text::oneLine(value, 120) + L"\"";
        return false;
    }
    if (step.has(L"contains") && !text::contains(value, step.attr(L"contains"))) {
        why = L"text \"" + text::oneLine(value, 120) + L"\"";
        return false;
    }
    return true;
}

bool dataMatches(const Step& step, const std::wstring& data, std::wstring& why) {
    if (!step.has(L"xpath")) return textMatches(step, data, why);
    XmlDocument document;
    if (!document.load(data)) {
        why = L"data is not XML";
        return false;
    }
    std::wstring xpath = step.attr(L"xpath");
    if (document.count(xpath) < 0) {
        why = L"'" + xpath + L"' is not a valid XPath expression";
        return false;
    }
    XmlNodePtr node = document.select(xpath);
    if (!node) {
        why = L"nothing at " + xpath;
        return false;
    }
    return textMatches(step, XmlDocument::textOf(node.Get()), why);
}

std::wstring describe(const Step& step, const std::wstring& to) {
    std::wstring what = L"a message";
    if (step.has(L"name")) what += L" \"" + step.attr(L"name") + L"\"";
    if (!to.empty()) what += L" to " + to;
    if (step.has(L"flagA")) what += L" with flagA " + step.attr(L"flagA");
    if (step.has(L"xpath"))
        what += L" whose " + step.attr(L"xpath");
    else if (step.has(L"equals") || step.has(L"contains"))
        what += L" whose data";
    if (step.has(L"equals")) what += L" equals \"" + step.attr(L"equals") + L"\"";
    if (step.has(L"contains")) what += L" contains \"" + step.attr(L"contains") + L"\"";
    if (step.has(L"xpath") && !step.has(L"equals") && !step.has(L"contains")) what += L" exists";
    if (step.has(L"count")) what = step.attr(L"count") + L" x " + what;
    if (step.attr(L"scope") == L"run") what += L", in the whole run";
    return what;
}

// Either the count asked for, or at least one.
bool countMet(const Step& step, int found) {
    return step.has(L"count") ? found == std::stoi(step.attr(L"count")) : found > 0;
}

size_t windowStart(const Step& step, size_t from) {
    return step.attr(L"scope") == L"run" ? 0 : from;
}

}  // namespace

Expectation::Verdict Expectation::message(const Step& step, const std::vector<TraceEntry>& entries,
                                          size_t from) {
    std::wstring to = step.kind == L"expect-relay" ? L"HalvetPanel_BL" : step.attr(L"to");
    Verdict verdict;
    verdict.what = describe(step, to);
    int found = 0;
    std::wstring seen, nearMiss;
    for (size_t i = windowStart(step, from); i < entries.size(); ++i) {
        const TraceEntry& entry = entries[i];
        if (entry.kind != EntryKind::Outbound) continue;
        const Envelope& e = entry.envelope;
        seen += (seen.empty() ? L"" : L", ") + e.messageName + L"->" + e.receiver();
        if (step.has(L"name") && e.messageName != step.attr(L"name")) continue;
        if (!to.empty() && e.receiver() != to) continue;
        if (step.has(L"flagA") && std::to_wstring(e.flagA) != step.attr(L"flagA")) {
            nearMiss =
                L"#" + std::to_wstring(entry.seq) + L" has flagA " + std::to_wstring(e.flagA);
            continue;
        }
        std::wstring why;
        if (!dataMatches(step, e.messageData, why)) {
            nearMiss = L"#" + std::to_wstring(entry.seq) + L": " + why;
            continue;
        }
        ++found;
    }
    verdict.met = countMet(step, found);
    verdict.why =
        L"found " + std::to_wstring(found) + L"; sent: " + (seen.empty() ? L"nothing" : seen);
    if (!verdict.met && !nearMiss.empty()) verdict.why += L"; last near miss " + nearMiss;
    return verdict;
}

Expectation::Verdict Expectation::log(const Step& step, const std::vector<TraceEntry>& entries,
                                      size_t from) {
    Verdict verdict;
    verdict.what = L"a log call";
    if (step.has(L"level")) verdict.what += L" of level " + step.attr(L"level");
    if (step.has(L"contains")) verdict.what += L" saying \"" + step.attr(L"contains") + L"\"";
    if (step.has(L"count")) verdict.what = step.attr(L"count") + L" x " + verdict.what;
    int found = 0;
    std::wstring seen;
    for (size_t i = windowStart(step, from); i < entries.size(); ++i) {
        const TraceEntry& entry = entries[i];
        if (entry.kind != EntryKind::Log) continue;
        seen += (seen.empty() ? L"" : L" | ") + std::to_wstring(entry.log.level) + L": " +
                text::oneLine(entry.log.text, 100);
        if (step.has(L"level") && std::to_wstring(entry.log.level) != step.attr(L"level")) continue;
        if (step.has(L"contains") && !text::contains(entry.log.text, step.attr(L"contains")))
            continue;
        ++found;
    }
    verdict.met = countMet(step, found);
    verdict.why =
        L"found " + std::to_wstring(found) + L"; logged: " + (seen.empty() ? L"nothing" : seen);
    return verdict;
}

Expectation::Verdict Expectation::reply(const Step& step, const PanelLibrary::Reply* last) {
    Verdict verdict;
    verdict.what = L"the reply";
    if (step.has(L"equals")) verdict.what += L" equals \"" + step.attr(L"equals") + L"\"";
    if (step.has(L"contains")) verdict.what += L" contains \"" + step.attr(L"contains") + L"\"";
    if (step.has(L"owned"))
        verdict.what += step.attr(L"owned") == L"true" ? L", owned" : L", static";
    if (!last) {
        verdict.why = L"no message was sent before this step";
        return verdict;
    }
    std::wstring why;
    verdict.met = textMatches(step, last->text, why);
    if (step.has(L"owned") && (step.attr(L"owned") == L"true") != last->owned) verdict.met = false;
    verdict.why = L"reply \"" + text::oneLine(last->text, 200) + L"\"" +
                  (last->owned ? L" (owned)" : L" (static)");
    return verdict;
}

}  // namespace refhost
