#pragma once
#include <cstdint>
#include <string>

// Text form in which window handles and function addresses cross the message
// boundary: "0x" and lower-case hexadecimal digits without leading zeros.
std::wstring pointerToText(uintptr_t value);

// Reads "0x"/"0X" hexadecimal (either case, up to the first non-digit; no digit
// or a value wider than a pointer gives 0) or else signed decimal (leading
// white space and one sign accepted, no digit gives 0, truncated to pointer width).
uintptr_t textToPointer(const std::wstring& text);
