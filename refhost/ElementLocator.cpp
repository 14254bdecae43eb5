#include "ElementLocator.h"

#include <algorithm>

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

}  // namespace refhost
