// Test main for running under Wine: COM on the UI thread, an unhandled-exception
// filter that prints, and a watchdog that fails the run when a test hangs
// (a modal loop or a message pump waiting forever would otherwise stall CI).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

namespace {

LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "FATAL: unhandled exception 0x%08lx at %p\n",
                 static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                 info->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    ExitProcess(3);
}

DWORD WINAPI watchdog(void* param) {
    DWORD seconds = static_cast<DWORD>(reinterpret_cast<uintptr_t>(param));
    Sleep(seconds * 1000);
    std::fprintf(stderr, "FATAL: watchdog: the test run exceeded %lu s\n",
                 static_cast<unsigned long>(seconds));
    std::fflush(stderr);
    ExitProcess(4);
}

}  // namespace

int main(int argc, char** argv) {
    SetUnhandledExceptionFilter(reportCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    DWORD seconds = 600;
    if (const char* s = std::getenv("HALVET_TEST_WATCHDOG")) seconds = std::strtoul(s, nullptr, 10);
    CloseHandle(CreateThread(nullptr, 0, watchdog,
                             reinterpret_cast<void*>(static_cast<uintptr_t>(seconds)), 0, nullptr));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    CoUninitialize();
    std::fflush(stdout);
    return rc;
}
