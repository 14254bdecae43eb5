#include "xml/XMLText.h"

namespace halvet {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool isAllowedSingle(wchar_t c) {
    if (c == L'\t' || c == L'\n' || c == L'\r') return true;
    if (c < 0x20) return false;
    return c != 0xFFFE && c != 0xFFFF;
}

std::wstring rewrite(const std::wstring& text, bool entities) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            out += c;
            out += text[++i];
            continue;
        }
        switch (entities ? c : L'\0') {
            case L'&': out += L"&amp;"; break;
            case L'<': out += L"&lt;"; break;
            case L'>': out += L"&gt;"; break;
            default:
                if (isHighSurrogate(c) || isLowSurrogate(c) || !isAllowedSingle(c))
                    out += kReplacement;
                else
                    out += c;
        }
    }
    return out;
}

}  // namespace

std::wstring escapeXMLText(const std::wstring& text) { return rewrite(text, true); }

std::wstring replaceInvalidXMLChars(const std::wstring& text) { return rewrite(text, false); }

}  // namespace halvet
