#include "scenario/ScenarioLoader.h"

#include <cwctype>
#include <vector>

#include "scenario/ElementLocator.h"
#include "platform/Text.h"
#include "platform/UniqueHandle.h"
#include "platform/XmlDocument.h"

namespace refhost {

namespace {

enum class Value { Text, Number, Choice };

struct AttributeRule {
    const wchar_t* name;
    bool required;
    Value type;
    const wchar_t* choices;  // for Choice: blank-separated
};

struct StepRule {
    const wchar_t* kind;
    bool body;  // whether the element may carry text or markup
    const wchar_t* summary;
    std::vector<AttributeRule> attributes;
};

const std::vector<AttributeRule> kMatchRules = {
    {L"xpath", false, Value::Text, nullptr},    {L"equals", false, Value::Text, nullptr},
    {L"contains", false, Value::Text, nullptr}, {L"count", false, Value::Number, nullptr},
    {L"flagA", false, Value::Number, nullptr},  {L"scope", false, Value::Choice, L"step run"},
};

std::vector<AttributeRule> withMatchRules(std::vector<AttributeRule> rules) {
    rules.insert(rules.end(), kMatchRules.begin(), kMatchRules.end());
    return rules;
}

const std::vector<StepRule>& stepRules() {
    static const std::vector<StepRule> rules = {
        {L"initialize",
         true,
         L"call initialize (body: a document of its own instead of the one "
         L"made from the options)",
         {{L"highDpi", false, Value::Choice, L"0 1"},
          {L"appletDir", false, Value::Text, nullptr},
          {L"expect", false, Value::Number, nullptr}}},
        {L"finalize",
         false,
         L"call finalize",
         {{L"text", false, Value::Text, nullptr}, {L"expect", false, Value::Number, nullptr}}},
        {L"send",
         true,
         L"deliver a host message to the panel (body: its data)",
         {{L"name", true, Value::Text, nullptr}, {L"target", false, Value::Text, nullptr}}},
        {L"event",
         true,
         L"the container calls the panel's callback (body: the payload)",
         {{L"name", true, Value::Text, nullptr}}},
        {L"pump",
         false,
         L"run the message loop for ms milliseconds, or until the DLL has sent a "
         L"message named 'until' (since the one the previous such pump waited for)",
         {{L"ms", true, Value::Number, nullptr}, {L"until", false, Value::Text, nullptr}}},
        {L"resize",
         false,
         L"give the panel's host window a new client size",
         {{L"width", true, Value::Number, nullptr}, {L"height", true, Value::Number, nullptr}}},
        {L"hide", false, L"hide the host window", {}},
        {L"show", false, L"show the host window", {}},
        {L"picture",
         false,
         L"write a PNG picture of the host window",
         {{L"name", true, Value::Text, nullptr}}},
        {L"spinner-strip",
         false,
         L"write a PNG strip of spinner frames",
         {{L"name", true, Value::Text, nullptr},
          {L"frames", false, Value::Number, nullptr},
          {L"interval", false, Value::Number, nullptr}}},
        {L"network",
         false,
         L"what the container's next loads meet",
         {{L"mode", true, Value::Choice, L"ok offline proxy"},
          {L"user", false, Value::Text, nullptr},
          {L"password", false, Value::Text, nullptr}}},
        {L"credentials",
         false,
         L"the proxy credentials the container's store holds (none without "
         L"attributes)",
         {{L"user", false, Value::Text, nullptr}, {L"password", false, Value::Text, nullptr}}},
        {L"proxy-dialog",
         false,
         L"how the container's proxy dialog is answered",
         {{L"answer", true, Value::Choice, L"submit cancel"},
          {L"user", false, Value::Text, nullptr},
          {L"password", false, Value::Text, nullptr}}},
        {L"container",
         false,
         L"the container's behaviour",
         {{L"refuse", false, Value::Text, nullptr}, {L"loadDelay", false, Value::Number, nullptr}}},
        {L"engine",
         false,
         L"a fault of the browser engine on purpose, then pump ms (default 1500) "
         L"milliseconds (only with the engine's web view)",
         {{L"fault", true, Value::Choice, L"renderer browser bridge"},
          {L"ms", false, Value::Number, nullptr}}},
        {L"expect-reply",
         false,
         L"the reply to the last send",
         {{L"equals", false, Value::Text, nullptr},
          {L"contains", false, Value::Text, nullptr},
          {L"owned", false, Value::Choice, L"true false"}}},
        {L"expect-message", false, L"a message the DLL sent",
         withMatchRules(
             {{L"name", false, Value::Text, nullptr}, {L"to", false, Value::Text, nullptr}})},
        {L"expect-relay", false, L"a message the DLL sent to HalvetPanel_BL",
         withMatchRules({{L"name", false, Value::Text, nullptr}})},
        {L"expect-log",
         false,
         L"a call of the host log function",
         {{L"level", false, Value::Number, nullptr},
          {L"contains", false, Value::Text, nullptr},
          {L"count", false, Value::Number, nullptr},
          {L"scope", false, Value::Choice, L"step run"}}},
    };
    return rules;
}

const StepRule* ruleFor(const std::wstring& kind) {
    for (const StepRule& rule : stepRules())
        if (kind == rule.kind) return &rule;
    return nullptr;
}

std::wstring knownSteps() {
    std::wstring out;
    for (const StepRule& rule : stepRules())
        out += (out.empty() ? L"" : L", ") + std::wstring(rule.kind);
    return out;
}

bool isNumber(const std::wstring& text) {
    if (text.empty() || text.size() > 9) return false;
    for (wchar_t c : text)
        if (!std::iswdigit(c)) return false;
    return true;
}

bool isChoice(const std::wstring& value, const std::wstring& choices) {
    size_t start = 0;
    while (start <= choices.size()) {
        size_t end = choices.find(L' ', start);
        if (end == std::wstring::npos) end = choices.size();
        if (choices.compare(start, end - start, value) == 0) return true;
        start = end + 1;
    }
    return false;
}

bool checkAttributes(const Step& step, const StepRule& rule, std::wstring& error) {
    for (const auto& [name, value] : step.attributes) {
        const AttributeRule* found = nullptr;
        for (const AttributeRule& a : rule.attributes)
            if (name == a.name) found = &a;
        if (!found) {
            error = L"step '" + step.kind + L"' has no attribute '" + name + L"'";
            return false;
        }
        if (found->type == Value::Number && !isNumber(value)) {
            error = L"attribute '" + name + L"' of step '" + step.kind +
                    L"' must be a whole number, not '" + value + L"'";
            return false;
        }
        if (found->type == Value::Choice && !isChoice(value, found->choices)) {
            error = L"attribute '" + name + L"' of step '" + step.kind + L"' must be one of: " +
                    found->choices;
            return false;
        }
    }
    for (const AttributeRule& a : rule.attributes) {
        if (a.required && !step.has(a.name)) {
            error = L"step '" + step.kind + L"' needs the attribute '" + a.name + L"'";
            return false;
        }
    }
    return true;
}

// The body: the inner markup as written when the element holds elements
// (so the data reaches the DLL as the author wrote it), else its text.
std::wstring bodyOf(IXMLDOMNode* element, const std::wstring& source,
                    const ElementLocator::Place& place) {
    if (!XmlDocument::childElements(element).empty())
        return text::trimmed(source.substr(place.innerBegin, place.innerEnd - place.innerBegin));
    return text::trimmed(XmlDocument::textOf(element));
}

// The XML declaration is blanked out rather than removed, so that line and
// column numbers stay those of the file: the text is already decoded, and
// its encoding label would only mislead the parser.
std::wstring withoutDeclaration(std::wstring text) {
    size_t start = text.find_first_not_of(L" \t\r\n");
    if (start == std::wstring::npos || text.compare(start, 5, L"<?xml") != 0) return text;
    size_t end = text.find(L"?>", start);
    if (end == std::wstring::npos) return text;
    for (size_t i = start; i < end + 2; ++i)
        if (text[i] != L'\n' && text[i] != L'\r') text[i] = L' ';
    return text;
}

std::wstring at(const std::wstring& origin, long line, const std::wstring& message) {
    return origin + L":" + std::to_wstring(line) + L": " + message;
}

}  // namespace

bool ScenarioLoader::readFile(const std::wstring& path, std::wstring& out, std::wstring& error) {
    UniqueHandle<HANDLE, FileCloser> file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                      nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        error = L"cannot read the scenario " + path + L": " + text::systemMessage(GetLastError());
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 16 * 1024 * 1024) {
        error = L"the scenario " + path + L" is larger than 16 MB";
        return false;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        error = L"cannot read the scenario " + path + L": " + text::systemMessage(GetLastError());
        return false;
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        out.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
        return true;
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    out = text::fromUtf8(bytes);
    return true;
}

bool ScenarioLoader::parse(const std::wstring& source, const std::wstring& origin,
                           Scenario& scenario, std::wstring& error) {
    std::wstring text = withoutDeclaration(source);
    if (text::contains(text, L"<!DOCTYPE")) {
        error = at(origin, ElementLocator::lineAt(text, text.find(L"<!DOCTYPE")),
                   L"a scenario may not have a document type declaration");
        return false;
    }
    XmlDocument document;
    if (!document.load(text)) {
        error = at(origin, document.error().line,
                   L"not well-formed XML (column " + std::to_wstring(document.error().column) +
                       L"): " + document.error().reason);
        // Our own reading of the fault where the parser names no line.
        int line = 0;
        std::wstring reason;
        if (document.error().line <= 0 && ElementLocator::firstFault(text, line, reason))
            error = at(origin, line, L"not well-formed XML: " + reason);
        return false;
    }
    XmlNodePtr root = document.root();
    if (XmlDocument::nameOf(root.Get()) != L"scenario") {
        error = at(
            origin, 1,
            L"the root element must be 'scenario', not '" + XmlDocument::nameOf(root.Get()) + L"'");
        return false;
    }
    std::vector<ElementLocator::Place> places;
    std::vector<XmlNodePtr> elements = XmlDocument::childElements(root.Get());
    if (!ElementLocator::locate(text, places) || places.size() != elements.size()) {
        error = at(origin, 0, L"cannot tell where the steps stand in the text");
        return false;
    }
    Scenario result;
    result.origin = origin;
    XmlDocument::attribute(root.Get(), L"name", result.name);
    for (size_t i = 0; i < elements.size(); ++i) {
        Step step;
        step.kind = XmlDocument::nameOf(elements[i].Get());
        step.line = places[i].line;
        for (auto& [name, value] : XmlDocument::attributes(elements[i].Get()))
            step.attributes[name] = value;
        const StepRule* rule = ruleFor(step.kind);
        if (!rule) {
            error = at(origin, step.line,
                       L"unknown step '" + step.kind + L"' (known steps: " + knownSteps() + L")");
            return false;
        }
        std::wstring why;
        if (!checkAttributes(step, *rule, why)) {
            error = at(origin, step.line, why);
            return false;
        }
        step.body = bodyOf(elements[i].Get(), text, places[i]);
        if (!rule->body && !step.body.empty()) {
            error = at(origin, step.line, L"step '" + step.kind + L"' takes no content");
            return false;
        }
        result.steps.push_back(std::move(step));
    }
    if (result.name.empty()) result.name = origin;
    scenario = std::move(result);
    return true;
}

bool ScenarioLoader::loadFile(const std::wstring& path, Scenario& scenario, std::wstring& error) {
    std::wstring text;
    return readFile(path, text, error) && parse(text, path, scenario, error);
}

std::wstring ScenarioLoader::describeSteps() {
    std::wstring out;
    for (const StepRule& rule : stepRules()) {
        out += L"  <" + std::wstring(rule.kind);
        for (const AttributeRule& a : rule.attributes)
            out += std::wstring(L" ") + (a.required ? L"" : L"[") + a.name + L"=\"...\"" +
                   (a.required ? L"" : L"]");
        out += rule.body ? L">...</" + std::wstring(rule.kind) + L">" : L"/>";
        out += L"\n      " + std::wstring(rule.summary) + L"\n";
    }
    return out;
}

}  // namespace refhost
