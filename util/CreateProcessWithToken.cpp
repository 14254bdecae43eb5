#include "util/CreateProcessWithToken.h"

namespace halvet {

BOOL forwardProcessLaunch(const wchar_t* library, const char* entry, HANDLE token,
                          DWORD logonFlags, LPCWSTR applicationName, LPWSTR commandLine,
                          DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                          LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInfo) {
    using Fn = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                             LPSTARTUPINFOW, LPPROCESS_INFORMATION);
    // A failed load or lookup leaves its own last error; we set none.
    HMODULE module = LoadLibraryW(library);
    if (!module) return FALSE;
    BOOL result = FALSE;
    if (auto fn = reinterpret_cast<Fn>(GetProcAddress(module, entry))) {
        result = fn(token, logonFlags, applicationName, commandLine, creationFlags, environment,
                    currentDirectory, startupInfo, processInfo);
    }
    // The release may run the library's detach code, which may set an error
    // of its own: the caller is owed the callee's (or the lookup's).
    const DWORD error = GetLastError();
    FreeLibrary(module);
    SetLastError(error);
    return result;
}

}  // namespace halvet

extern "C" BOOL WINAPI HalvetCreateProcessWithTokenW(HANDLE token, DWORD logonFlags,
                                                     LPCWSTR applicationName, LPWSTR commandLine,
                                                     DWORD creationFlags, LPVOID environment,
                                                     LPCWSTR currentDirectory,
                                                     LPSTARTUPINFOW startupInfo,
                                                     LPPROCESS_INFORMATION processInfo) {
    return halvet::forwardProcessLaunch(L"Advapi32.dll", "CreateProcessWithTokenW", token,
                                        logonFlags, applicationName, commandLine, creationFlags,
                                        environment, currentDirectory, startupInfo, processInfo);
}
