#pragma once
#include <windows.h>

// Forwarder to the system's CreateProcessWithTokenW, looked up at each call
// so that the library does not import it. Exported as _CreateProcessWithTokenW@36
// (on x64: CreateProcessWithTokenW).
extern "C" BOOL WINAPI HalvetCreateProcessWithTokenW(HANDLE token, DWORD logonFlags,
                                                     LPCWSTR applicationName, LPWSTR commandLine,
                                                     DWORD creationFlags, LPVOID environment,
                                                     LPCWSTR currentDirectory,
                                                     LPSTARTUPINFOW startupInfo,
                                                     LPPROCESS_INFORMATION processInfo);

namespace halvet {
// The library and entry the forwarder resolves; tests point it elsewhere to
// observe the arguments. Defaults: "Advapi32.dll", "CreateProcessWithTokenW".
void setProcessLaunchTarget(const wchar_t* library, const char* entry);
}  // namespace halvet
