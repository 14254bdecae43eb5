#include "boundary/LogCall.h"

#include <cwchar>

namespace refhost {

namespace {

std::wstring textOf(const wchar_t* text) {
    return text ? text : L"(null)";
}

// Only %s and %% are read: the DLL's formats use nothing else, and an
// argument of another conversion cannot be read safely without its type.
size_t stringConversions(const std::wstring& format) {
    size_t count = 0;
    for (size_t i = 0; i + 1 < format.size(); ++i) {
        if (format[i] != L'%') continue;
        if (format[i + 1] == L's') ++count;
        ++i;
    }
    return count;
}

std::wstring filledIn(const std::wstring& format, const std::vector<std::wstring>& args) {
    std::wstring out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size()) {
            wchar_t c = format[++i];
            if (c == L's') {
                out += next < args.size() ? args[next++] : L"";
                continue;
            }
            if (c != L'%') out += L'%';
            out += c;
            continue;
        }
        out += format[i];
    }
    return out;
}

}  // namespace

LogCall LogCall::read(int level, const wchar_t* module, va_list args) {
    LogCall call;
    call.level = level;
    call.module = textOf(module);
    for (int i = 0; i < 3; ++i) call.strings.push_back(textOf(va_arg(args, const wchar_t*)));
    const wchar_t* next = va_arg(args, const wchar_t*);
    if (next && !std::wcschr(next, L'%')) {
        call.strings.push_back(next);
        next = va_arg(args, const wchar_t*);
    }
    call.format = textOf(next);
    for (size_t i = stringConversions(call.format); i > 0; --i)
        call.args.push_back(textOf(va_arg(args, const wchar_t*)));
    call.text = filledIn(call.format, call.args);
    return call;
}

}  // namespace refhost
