#pragma once
#include <string>
#include <vector>

namespace refhost {

// Where the children of a document's root element stand in its text: the
// DOM keeps no line numbers, and a scenario's errors must name the line.
// Meant for text the XML parser has accepted; it skips comments, CDATA
// sections, processing instructions and quoted attribute values.
class ElementLocator {
public:
    struct Place {
        int line = 0;           // 1-based line of the start tag
        size_t innerBegin = 0;  // first character after the start tag
        size_t innerEnd = 0;    // first character of the end tag (innerBegin when empty)
    };

    // The root's child elements in document order; false when the text does
    // not have the expected shape (the caller then reports line 0).
    static bool locate(const std::wstring& text, std::vector<Place>& places);
    // Where text that the parser refused goes wrong: MSXML under Wine gives
    // neither line nor reason. Finds unclosed and mismatched tags, unended
    // comments, CDATA sections and tags, and a stray '<' or '&'. False when
    // it sees no fault.
    static bool firstFault(const std::wstring& text, int& line, std::wstring& reason);
    // 1-based line of a character position.
    static int lineAt(const std::wstring& text, size_t position);
};

}  // namespace refhost
