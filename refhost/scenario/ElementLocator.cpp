#include "scenario/ElementLocator.h"

#include <algorithm>
#include <cwctype>

namespace refhost {

namespace {

// Position after the end of the construct that starts at at with opener,
// or npos.
size_t skipPast(const std::wstring& text, size_t at, const wchar_t* closer) {
    size_t end = text.find(closer, at);
    return end == std::wstring::npos ? end : end + std::char_traits<wchar_t>::length(closer);
}

// Position after the '>' of the tag starting at at; selfClosing tells "/>".
size_t tagEnd(const std::wstring& text, size_t at, bool& selfClosing) {
    wchar_t quote = 0;
    for (size_t i = at + 1; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == L'"' || c == L'\'') {
            quote = c;
        } else if (c == L'>') {
            selfClosing = text[i - 1] == L'/';
            return i + 1;
        }
    }
    return std::wstring::npos;
}

}  // namespace

int ElementLocator::lineAt(const std::wstring& text, size_t position) {
    position = std::min(position, text.size());
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + position, L'\n'));
}

bool ElementLocator::locate(const std::wstring& text, std::vector<Place>& places) {
    places.clear();
    int depth = 0;
    size_t i = 0;
    while ((i = text.find(L'<', i)) != std::wstring::npos) {
        if (text.compare(i, 4, L"<!--") == 0) {
            i = skipPast(text, i, L"-->");
        } else if (text.compare(i, 9, L"<![CDATA[") == 0) {
            i = skipPast(text, i, L"]]>");
        } else if (text.compare(i, 2, L"<?") == 0) {
            i = skipPast(text, i, L"?>");
        } else if (text.compare(i, 2, L"<!") == 0) {
            i = skipPast(text, i, L">");
        } else if (text.compare(i, 2, L"</") == 0) {
            size_t end = skipPast(text, i, L">");
            --depth;
            if (depth < 0) return false;
            if (depth == 1 && !places.empty()) places.back().innerEnd = i;
            i = end;
        } else {
            bool selfClosing = false;
            size_t end = tagEnd(text, i, selfClosing);
            if (end == std::wstring::npos) return false;
            if (depth == 1) places.push_back({lineAt(text, i), end, end});
            if (!selfClosing) ++depth;
            i = end;
        }
        if (i == std::wstring::npos) return false;
    }
    return depth == 0;
}

namespace {

bool isNameStart(wchar_t c) {
    return std::iswalpha(c) || c == L'_' || c == L':' || c > 0x7F;
}

std::wstring nameAt(const std::wstring& text, size_t at) {
    size_t end = at;
    while (end < text.size() && !std::iswspace(text[end]) && text[end] != L'>' && text[end] != L'/')
        ++end;
    return text.substr(at, end - at);
}

// A '&' must start a reference: &name; or &#digits; or &#xhex;.
bool isReference(const std::wstring& text, size_t at) {
    size_t end = text.find(L';', at);
    if (end == std::wstring::npos || end == at + 1 || end - at > 32) return false;
    for (size_t i = at + 1; i < end; ++i)
        if (!std::iswalnum(text[i]) && text[i] != L'#' && text[i] != L'_' && text[i] != L'-' &&
            text[i] != L'.')
            return false;
    return true;
}

}  // namespace

bool ElementLocator::firstFault(const std::wstring& text, int& line, std::wstring& reason) {
    struct Open {
        std::wstring name;
        size_t at;
    };
    std::vector<Open> open;
    size_t i = 0;
    auto fault = [&](size_t at, const std::wstring& why) {
        line = lineAt(text, at);
        reason = why;
        return true;
    };
    while (i < text.size()) {
        wchar_t c = text[i];
        if (c == L'&') {
            if (!isReference(text, i)) return fault(i, L"a '&' that starts no reference");
            ++i;
            continue;
        }
        if (c != L'<') {
            ++i;
            continue;
        }
        struct Construct {
            const wchar_t* opener;
            const wchar_t* closer;
            const wchar_t* what;
        };
        static const Construct constructs[] = {{L"<!--", L"-->", L"comment"},
                                               {L"<![CDATA[", L"]]>", L"CDATA section"},
                                               {L"<?", L"?>", L"processing instruction"},
                                               {L"<!", L">", L"declaration"}};
        bool skipped = false;
        for (const Construct& k : constructs) {
            if (text.compare(i, std::char_traits<wchar_t>::length(k.opener), k.opener) != 0)
                continue;
            size_t end = skipPast(text, i, k.closer);
            if (end == std::wstring::npos) return fault(i, std::wstring(k.what) + L" never ends");
            i = end;
            skipped = true;
            break;
        }
        if (skipped) continue;
        bool closing = i + 1 < text.size() && text[i + 1] == L'/';
        size_t nameStart = i + (closing ? 2 : 1);
        if (nameStart >= text.size() || !isNameStart(text[nameStart]))
            return fault(i, L"a '<' that starts no tag");
        std::wstring name = nameAt(text, nameStart);
        bool selfClosing = false;
        size_t end = tagEnd(text, i, selfClosing);
        if (end == std::wstring::npos) return fault(i, L"the tag <" + name + L" never ends");
        if (closing) {
            if (open.empty()) return fault(i, L"</" + name + L"> closes nothing");
            if (open.back().name != name)
                return fault(i, L"</" + name + L"> where <" + open.back().name + L"> of line " +
                                    std::to_wstring(lineAt(text, open.back().at)) +
                                    L" should be closed");
            open.pop_back();
        } else if (!selfClosing) {
            open.push_back({name, i});
        }
        i = end;
    }
    if (!open.empty()) return fault(open.back().at, L"<" + open.back().name + L"> is never closed");
    return false;
}

}  // namespace refhost
