// The fault campaign's program.
//   fault_campaign [--sample N] [--width NAME] --results FILE
//       counts, plans and runs the campaign (every failure point, or about N);
//       exit 0 when every run held.
//   fault_campaign --report OUT.md RESULTS...
//       writes the reliability table from result files, one per width.
//   fault_campaign --worker --plan FILE --from I --results FILE
//       runs plan points from I on (started by the campaign itself).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "faults/FaultCampaign.h"
#include "faults/FaultRun.h"
#include "faults/ReliabilityReport.h"

namespace {

LONG WINAPI endOnCrash(EXCEPTION_POINTERS* info) {
    // The module and the offset in it, for addr2line.
    HMODULE module = nullptr;
    char name[MAX_PATH] = "?";
    void* at = info->ExceptionRecord->ExceptionAddress;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<const char*>(at), &module))
        GetModuleFileNameA(module, name, MAX_PATH);
    std::fprintf(stderr, "fault campaign: exception 0x%08lx at %p (%s + 0x%lx)\n",
                 static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode), at, name,
                 static_cast<unsigned long>(static_cast<const char*>(at) -
                                            reinterpret_cast<const char*>(module)));
    std::fflush(stderr);
    ExitProcess(3);
}

// A run that hangs (a modal loop, a wait) ends its worker after this long.
DWORD WINAPI watchdog(void*) {
    Sleep(20 * 60 * 1000);
    std::fprintf(stderr, "fault campaign: watchdog\n");
    ExitProcess(4);
}

int usage() {
    std::fprintf(stderr,
                 "usage: fault_campaign [--sample N] [--width NAME] --results FILE\n"
                 "       fault_campaign --report OUT.md RESULTS...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    SetUnhandledExceptionFilter(endOnCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "--report") {
        if (args.size() < 3) return usage();
        const std::vector<std::string> files(args.begin() + 2, args.end());
        return halvet::test::writeReliabilityReport(args[1], files) ? 0 : 1;
    }
    bool worker = false;
    size_t sample = 0, from = 0;
    std::string width = sizeof(void*) == 8 ? "win64" : "win32", results, plan;
    for (size_t i = 0; i < args.size(); ++i) {
        const bool more = i + 1 < args.size();
        if (args[i] == "--worker") worker = true;
        else if (args[i] == "--sample" && more) sample = std::strtoul(args[++i].c_str(), nullptr, 10);
        else if (args[i] == "--from" && more) from = std::strtoul(args[++i].c_str(), nullptr, 10);
        else if (args[i] == "--width" && more) width = args[++i];
        else if (args[i] == "--results" && more) results = args[++i];
        else if (args[i] == "--plan" && more) plan = args[++i];
        else return usage();
    }
    if (results.empty()) return usage();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int rc = 0;
    if (worker) {
        CloseHandle(CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));
        halvet::test::usePrivateTemporaryFolder();
        halvet::test::calibrateCounts();
        rc = halvet::test::runWorker(plan, from, results);
    } else {
        rc = halvet::test::runDriver(sample, width, results);
    }
    std::fflush(stdout);
    // Straight out: what the campaign loaded and freed has nothing left to do.
    ExitProcess(static_cast<UINT>(rc));
}
