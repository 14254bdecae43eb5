#pragma once
#include <string>

namespace halvet {

// Text made safe to stand as the character data of an element: '&', '<' and
// '>' become entities, and code units that XML 1.0 does not allow (control
// characters other than tab, line feed and carriage return, U+FFFE, U+FFFF,
// unpaired surrogates) become U+FFFD, so the result always parses.
std::wstring escapeXMLText(const std::wstring& text);

// The same replacement of disallowed code units, without entities: for text
// that the DOM escapes itself but would write out unchanged otherwise.
std::wstring replaceInvalidXMLChars(const std::wstring& text);

}  // namespace halvet
