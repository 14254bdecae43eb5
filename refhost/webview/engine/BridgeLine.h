#pragma once
#include <string>
#include <vector>

namespace refhost {

// One line of the engine bridge's protocol: fields joined by single blanks,
// each field UTF-8 with every byte outside A-Z a-z 0-9 - _ . ! ~ * ' ( )
// written as %XX, the line ended by a line feed.
class BridgeLine {
public:
    static std::string encode(const std::vector<std::wstring>& fields);
    // The fields of one line (without its line feed); a broken escape is
    // kept as it stands.
    static std::vector<std::wstring> decode(const std::string& line);
    // The fields for people: blanks between, long ones cut.
    static std::wstring readable(const std::vector<std::wstring>& fields, size_t limit = 300);
};

}  // namespace refhost
