#include "webview/engine/BridgeLine.h"

#include "platform/Text.h"

namespace refhost {

namespace {

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::string("-_.!~*'()").find(static_cast<char>(c)) != std::string::npos;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::wstring decodeField(const std::string& field) {
    std::string bytes;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '%' && i + 2 < field.size()) {
            int h = hexValue(field[i + 1]);
            int l = hexValue(field[i + 2]);
            if (h >= 0 && l >= 0) {
                bytes += static_cast<char>(h * 16 + l);
                i += 2;
                continue;
            }
        }
        bytes += field[i];
    }
    return text::fromUtf8(bytes);
}

}  // namespace

std::string BridgeLine::encode(const std::vector<std::wstring>& fields) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string line;
    for (size_t f = 0; f < fields.size(); ++f) {
        if (f) line += ' ';
        for (unsigned char c : text::toUtf8(fields[f])) {
            if (unreserved(c)) {
                line += static_cast<char>(c);
            } else {
                line += '%';
                line += kHex[c >> 4];
                line += kHex[c & 15];
            }
        }
    }
    return line + '\n';
}

std::vector<std::wstring> BridgeLine::decode(const std::string& line) {
    std::string text = line;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        size_t blank = text.find(' ', start);
        fields.push_back(decodeField(text.substr(start, blank - start)));
        if (blank == std::string::npos) break;
        start = blank + 1;
    }
    return fields;
}

std::wstring BridgeLine::readable(const std::vector<std::wstring>& fields, size_t limit) {
    std::wstring out;
    for (const std::wstring& field : fields) {
        if (!out.empty()) out += L' ';
        out += field.size() > limit ? field.substr(0, limit) + L"... (" +
                                          std::to_wstring(field.size()) + L" characters)"
                                    : field;
    }
    return text::oneLine(out, limit * 4);
}

}  // namespace refhost
