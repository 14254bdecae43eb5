#include "util/CreateProcessWithToken.h"

namespace halvet {
namespace {
const wchar_t* g_library = L"Advapi32.dll";
const char* g_entry = "CreateProcessWithTokenW";
}  // namespace

void setProcessLaunchTarget(const wchar_t* library, const char* entry) {
    g_library = library ? library : L"Advapi32.dll";
    g_entry = entry ? entry : "CreateProcessWithTokenW";
}
}  // namespace halvet

extern "C" BOOL WINAPI HalvetCreateProcessWithTokenW(HANDLE token, DWORD logonFlags,
                                                     LPCWSTR applicationName, LPWSTR commandLine,
                                                     DWORD creationFlags, LPVOID environment,
                                                     LPCWSTR currentDirectory,
                                                     LPSTARTUPINFOW startupInfo,
                                                     LPPROCESS_INFORMATION processInfo) {
    using Fn = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                             LPSTARTUPINFOW, LPPROCESS_INFORMATION);
    // A failed load or lookup leaves its own last error; we set none.
    HMODULE library = LoadLibraryW(halvet::g_library);
    BOOL result = FALSE;
    if (library) {
        auto fn = reinterpret_cast<Fn>(GetProcAddress(library, halvet::g_entry));
        if (fn) {
            result = fn(token, logonFlags, applicationName, commandLine, creationFlags,
                        environment, currentDirectory, startupInfo, processInfo);
        }
        // Keep the callee's last error across the release.
        DWORD error = GetLastError();
        FreeLibrary(library);
        SetLastError(error);
    }
    return result;
}
