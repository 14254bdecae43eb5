#include "platform/WinePath.h"

#include <windows.h>

#include "platform/Text.h"

namespace refhost {
namespace winepath {

namespace {

using UnixNameFn = char*(CDECL*)(const wchar_t*);
using DosNameFn = wchar_t*(CDECL*)(const char*);

UnixNameFn unixNameFn() {
    return reinterpret_cast<UnixNameFn>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
}

}  // namespace

std::wstring unixName(const std::wstring& path) {
    bool dos = path.size() > 2 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    auto fn = unixNameFn();
    if (!dos || !fn) return path;
    char* unix = fn(path.c_str());
    if (!unix) return path;
    std::wstring out = text::fromUtf8(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

std::wstring dosName(const std::wstring& unixPath) {
    auto fn = reinterpret_cast<DosNameFn>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name"));
    if (!fn) return L"";
    wchar_t* name = fn(text::toUtf8(unixPath).c_str());
    if (!name) return L"";
    std::wstring out = name;
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

std::vector<std::pair<wchar_t, std::wstring>> driveRoots() {
    auto fn = unixNameFn();
    std::vector<std::pair<wchar_t, std::wstring>> out;
    DWORD drives = GetLogicalDrives();
    for (int i = 0; fn && i < 26; ++i) {
        if (!(drives & (1u << i))) continue;
        wchar_t root[] = {static_cast<wchar_t>(L'a' + i), L':', L'\\', 0};
        char* unix = fn(root);
        if (!unix) continue;
        out.emplace_back(root[0], text::fromUtf8(unix));
        HeapFree(GetProcessHeap(), 0, unix);
    }
    return out;
}

}  // namespace winepath
}  // namespace refhost
