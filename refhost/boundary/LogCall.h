#pragma once
#include <cstdarg>
#include <string>
#include <vector>

namespace refhost {

// One call of the host log function, read from its variable arguments. The
// DLL uses two shapes: level, module, three strings, format, one string per
// %s; or level, module, four strings (the fourth names the event, such as
// "MethodNotFound"), format, arguments. A string without a '%' where the
// format is due is taken as the fourth string.
struct LogCall {
    int level = 0;
    std::wstring module;
    std::vector<std::wstring> strings;
    std::wstring format;
    std::vector<std::wstring> args;
    std::wstring text;  // the format with its arguments put in

    static LogCall read(int level, const wchar_t* module, va_list args);
};

}  // namespace refhost
