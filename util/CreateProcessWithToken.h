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
// The forwarder's whole work, for any library and entry of that signature:
// load the library, look the entry up, call it with the arguments unchanged,
// release the library. 0 when the library or entry is missing (the last error
// is what the failed load or lookup left); otherwise the callee's result, with
// its last error kept across the release. Keeps no state.
BOOL forwardProcessLaunch(const wchar_t* library, const char* entry, HANDLE token,
                          DWORD logonFlags, LPCWSTR applicationName, LPWSTR commandLine,
                          DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                          LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInfo);
}  // namespace halvet
