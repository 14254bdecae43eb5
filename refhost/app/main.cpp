// The reference host: loads the panel DLL through its exports, plays the host
// and the applets around it along a scenario, and writes what happened (a
// trace, pictures, a summary) into an output folder.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "scenario/BuiltInScenario.h"
#include "webview/engine/EngineBridge.h"
#include "app/Options.h"
#include "boundary/PanelLibrary.h"
#include "recording/ReportWriter.h"
#include "scenario/ScenarioLoader.h"
#include "scenario/ScenarioPlayer.h"
#include "recording/Summary.h"
#include "platform/Text.h"
#include "platform/WinePath.h"
#include "recording/Trace.h"

namespace {

using namespace refhost;

enum Exit { kPassed = 0, kFailed = 1, kBadInput = 2, kCrashed = 3 };

Trace* g_trace = nullptr;

void print(const std::wstring& text) {
    std::string bytes = text::toUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

void printError(const std::wstring& text) {
    std::string bytes = text::toUtf8(L"refhost: " + text + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    char line[160];
    std::snprintf(line, sizeof line, "refhost: crashed: exception 0x%08lx at %p during step %d\n",
                  static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                  info->ExceptionRecord->ExceptionAddress, g_trace ? g_trace->step() : 0);
    std::fputs(line, stderr);
    std::fflush(stderr);
    ExitProcess(kCrashed);
}

std::wstring fullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, buffer, nullptr);
    return n && n < MAX_PATH * 4 ? std::wstring(buffer, n) : path;
}

std::wstring programFolder() {
    wchar_t buffer[MAX_PATH * 4] = {};
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    std::wstring path(buffer, n);
    return path.substr(0, path.find_last_of(L"\\/"));
}

bool loadScenario(const Options& options, Scenario& scenario, std::wstring& error) {
    if (!options.scenario.empty())
        return ScenarioLoader::loadFile(fullPath(options.scenario), scenario, error);
    return ScenarioLoader::parse(BuiltInScenario::text(options.standIn),
                                 BuiltInScenario::origin(options.standIn), scenario,
                                 error);
}

bool makeFolder(const std::wstring& folder, std::wstring& error) {
    int result = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS)
        return true;
    error = L"cannot make the output folder " + folder + L": " + text::systemMessage(result);
    return false;
}

int play(const Options& options) {
    Scenario scenario;
    std::wstring error;
    // The scenario is read and checked whole before anything is loaded or run.
    if (!loadScenario(options, scenario, error)) {
        printError(error);
        printError(L"nothing was run");
        return kBadInput;
    }
    std::wstring dll =
        fullPath(options.dll.empty() ? programFolder() + L"\\HalvetPanelUI.dll" : options.dll);
    std::wstring out = fullPath(options.out.empty() ? L"refhost-out" : options.out);
    if (!makeFolder(out, error)) {
        printError(error);
        return kBadInput;
    }
    PanelLibrary library;
    if (!library.load(dll, error)) {
        printError(error);
        return kBadInput;
    }
    Trace trace;
    g_trace = &trace;
    trace.setEcho(options.verbose);
    trace.setShowSecrets(options.showSecrets);
    if (!trace.open(out, error)) {
        printError(error);
        return kBadInput;
    }
    print(L"refhost: playing " + scenario.name + L" (" + scenario.origin + L") against " + dll +
          L"\n");
    ScenarioPlayer::Settings settings;
    settings.outFolder = out;
    settings.highDpi = options.highDpi;
    settings.width = options.width;
    settings.height = options.height;
    settings.engine = !options.standIn;
    auto unixOr = [](const std::wstring& given, const char* fallback) {
        return given.empty() ? text::fromUtf8(fallback) : winepath::unixName(given);
    };
    settings.engineSettings.engine = unixOr(options.engine, "/usr/bin/chromium");
    settings.engineSettings.bridge = unixOr(options.bridge, HALVET_REFHOST_BRIDGE);
    settings.engineSettings.node = unixOr(options.node, HALVET_REFHOST_NODE);
    ScenarioPlayer player(scenario, settings, library, trace);
    if (!player.run(error)) {
        printError(error);
        return kBadInput;
    }
    std::wstring summary = trace.shown(Summary::text(scenario, dll, out, player));
    if (!Summary::write(out + L"\\summary.txt", summary, error)) printError(error);
    // The page of the run, beside its trace; a run without it still passes.
    if (ReportWriter::write(out, trace, error))
        print(L"report: " + out + L"\\report.html\n");
    else
        printError(error);
    print(summary);
    print(L"summary: " + out + L"\\summary.txt\n");
    for (const auto& check : player.checks())
        if (!check.met)
            printError(trace.shown(L"expectation failed at " + check.step + L": " + check.what));
    g_trace = nullptr;
    return player.failures() ? kFailed : kPassed;
}

int run(int argc, wchar_t** argv) {
    Options options;
    std::wstring error;
    if (!Options::parse(argc, argv, options, error)) {
        printError(error);
        print(Options::usage());
        return kBadInput;
    }
    if (options.help) {
        print(Options::usage());
        return kPassed;
    }
    if (options.listSteps) {
        print(L"scenario steps (children of <scenario name=\"...\">):\n" +
              ScenarioLoader::describeSteps() +
              L"placeholders in attributes and bodies: {hostWindow} {viewGuid} {dllFolder}\n");
        return kPassed;
    }
    if (options.printDefault) {
        print(BuiltInScenario::text(options.standIn));
        return kPassed;
    }
    return play(options);
}

}  // namespace

int main() {
    SetUnhandledExceptionFilter(reportCrash);
    int code = kBadInput;
    try {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        int argc = 0;
        wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
        code = run(argc, argv);
        LocalFree(argv);
        CoUninitialize();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "refhost: stopped: %s\n", e.what());
        code = kCrashed;
    } catch (...) {
        std::fprintf(stderr, "refhost: stopped by an unknown exception\n");
        code = kCrashed;
    }
    return code;
}
