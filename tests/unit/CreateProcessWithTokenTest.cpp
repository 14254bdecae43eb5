// The process-launch forwarder against a stand-in library (halvet_launch_target.dll,
// built next to this program) whose entry records what it receives and whose
// unloading sets a last error of its own.
#include "util/CreateProcessWithToken.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr wchar_t kTarget[] = L"halvet_launch_target.dll";
constexpr char kEntry[] = "FakeCreateProcessWithTokenW";
constexpr DWORD kCalleeError = 0x1234;

bool targetLoaded() {
    return GetModuleHandleW(kTarget) != nullptr;
}

}  // namespace

TEST(CreateProcessWithTokenTest, PassesEveryArgumentAndTheResultThroughAndUnloads) {
    uintptr_t received[9] = {};
    wchar_t commandLine[] = L"cmd /c exit";
    STARTUPINFOW startup = {};
    PROCESS_INFORMATION process = {};
    SetLastError(0);
    const BOOL result = halvet::forwardProcessLaunch(
        kTarget, kEntry, reinterpret_cast<HANDLE>(0x1111), 0x2222, L"app.exe", commandLine, 0x3333,
        received, L"C:\\dir", &startup, &process);
    // The callee's result and last error, although the unload set another.
    EXPECT_EQ(result, 7);
    EXPECT_EQ(GetLastError(), kCalleeError);
    EXPECT_FALSE(targetLoaded());
    const uintptr_t sent[9] = {0x1111,
                               0x2222,
                               0,  // compared by text below
                               reinterpret_cast<uintptr_t>(commandLine),
                               0x3333,
                               reinterpret_cast<uintptr_t>(received),
                               0,
                               reinterpret_cast<uintptr_t>(&startup),
                               reinterpret_cast<uintptr_t>(&process)};
    for (int i : {0, 1, 3, 4, 5, 7, 8}) EXPECT_EQ(received[i], sent[i]) << "argument " << i + 1;
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(received[2]), L"app.exe");
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(received[6]), L"C:\\dir");
}

TEST(CreateProcessWithTokenTest, MissingEntryOrLibraryGivesFalseAndTheLookupsError) {
    uintptr_t received[9] = {};
    SetLastError(0);
    EXPECT_FALSE(halvet::forwardProcessLaunch(kTarget, "NoSuchEntry", nullptr, 0, nullptr, nullptr,
                                              0, received, nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_FALSE(targetLoaded());

    SetLastError(0);
    EXPECT_FALSE(halvet::forwardProcessLaunch(L"halvet_no_such_library.dll", kEntry, nullptr, 0,
                                              nullptr, nullptr, 0, received, nullptr, nullptr,
                                              nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    for (uintptr_t value : received) EXPECT_EQ(value, 0u) << "nothing was called";
}
