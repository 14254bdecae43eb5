// A stand-in for the system library behind the process-launch forwarder. Its
// entry copies the nine arguments it receives into the record that the
// environment argument points at, sets a last error of its own and returns 7;
// unloading the library sets another last error, as a system library's detach
// code may.
#include <windows.h>

#include <cstdint>

namespace {
constexpr DWORD kCalleeError = 0x1234;
constexpr DWORD kUnloadError = 0x4321;
}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI FakeCreateProcessWithTokenW(
    HANDLE token, DWORD logonFlags, LPCWSTR applicationName, LPWSTR commandLine,
    DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
    LPPROCESS_INFORMATION processInfo) {
    if (auto* record = static_cast<uintptr_t*>(environment)) {
        record[0] = reinterpret_cast<uintptr_t>(token);
        record[1] = logonFlags;
        record[2] = reinterpret_cast<uintptr_t>(applicationName);
        record[3] = reinterpret_cast<uintptr_t>(commandLine);
        record[4] = creationFlags;
        record[5] = reinterpret_cast<uintptr_t>(environment);
        record[6] = reinterpret_cast<uintptr_t>(currentDirectory);
        record[7] = reinterpret_cast<uintptr_t>(startupInfo);
        record[8] = reinterpret_cast<uintptr_t>(processInfo);
    }
    SetLastError(kCalleeError);
    return 7;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) SetLastError(kUnloadError);
    return TRUE;
}
