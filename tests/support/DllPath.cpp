#include "support/DllPath.h"

#include <windows.h>

namespace halvet::test {

std::wstring programFolder() {
    wchar_t buffer[MAX_PATH * 4] = {};
    DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    std::wstring path(buffer, n);
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring dllPath() {
    wchar_t env[MAX_PATH * 4] = {};
    if (GetEnvironmentVariableW(L"HALVET_DLL", env, static_cast<DWORD>(std::size(env))))
        return env;
    return programFolder() + L"HalvetPanelUI.dll";
}

}  // namespace halvet::test
