#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// Small text helpers of the reference host: encodings, the text form of
// handles and addresses used in the panel's messages, JSON escaping.
namespace refhost::text {

std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);

// "0x" and lower-case hexadecimal digits without leading zeros (0 is "0x0").
std::wstring pointerText(uintptr_t value);
// Reads "0x"/"0X" hexadecimal or plain decimal text; false when it is neither
// or does not fit in a pointer.
bool parsePointer(const std::wstring& text, uintptr_t& value);

// The text as a JSON string literal, quotes included.
std::string jsonString(const std::wstring& text);

// Text escaped for an XML element or attribute.
std::wstring xmlEscaped(const std::wstring& text);

std::wstring replaceAll(std::wstring text, const std::wstring& from, const std::wstring& to);
bool startsWith(const std::wstring& text, const std::wstring& prefix);
bool contains(const std::wstring& text, const std::wstring& part);
std::wstring trimmed(const std::wstring& text);

// The system's description of an error code, without the trailing line break.
std::wstring systemMessage(DWORD error);

// Text with control characters shown as escapes, cut after limit characters,
// for one-line display.
std::wstring oneLine(const std::wstring& text, size_t limit = 400);

}  // namespace refhost::text
