#include "panel/PointerText.h"

#include <cwctype>

std::wstring pointerToText(uintptr_t value) {
    static const wchar_t digits[] = L"0123456789abcdef";
    wchar_t buffer[2 * sizeof(uintptr_t) + 1];
    size_t n = 0;
    do {
        buffer[n++] = digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    std::wstring text = L"0x";
    while (n > 0) text += buffer[--n];
    return text;
}

namespace {

int hexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

uintptr_t readHex(const std::wstring& text, size_t pos) {
    uintptr_t value = 0;
    bool any = false;
    for (; pos < text.size(); ++pos) {
        int d = hexDigit(text[pos]);
        if (d < 0) break;
        if (value > (UINTPTR_MAX >> 4)) return 0;  // does not fit: no handle of ours
        value = (value << 4) | static_cast<uintptr_t>(d);
        any = true;
    }
    return any ? value : 0;
}

uintptr_t readDecimal(const std::wstring& text) {
    size_t pos = 0;
    while (pos < text.size() && std::iswspace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-')) {
        negative = text[pos] == L'-';
        ++pos;
    }
    uint64_t value = 0;  // wraps: the result is truncated to pointer width anyway
    for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9'; ++pos)
        value = value * 10 + static_cast<uint64_t>(text[pos] - L'0');
    if (negative) value = ~value + 1;
    return static_cast<uintptr_t>(value);
}

}  // namespace

uintptr_t textToPointer(const std::wstring& text) {
    if (text.size() >= 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X'))
        return readHex(text, 2);
    return readDecimal(text);
}
