#include "app/Options.h"

#include <cwchar>

namespace refhost {

namespace {

bool number(const std::wstring& text, int low, int high, int& out) {
    wchar_t* end = nullptr;
    long value = std::wcstol(text.c_str(), &end, 10);
    if (text.empty() || *end != L'\0' || value < low || value > high) return false;
    out = static_cast<int>(value);
    return true;
}

}  // namespace

const wchar_t* Options::usage() {
    return L"usage: refhost [options]\n"
           L"  --dll PATH        the DLL to load (default: HalvetPanelUI.dll beside refhost.exe)\n"
           L"  --scenario FILE   the scenario to play (default: the built-in panel road)\n"
           L"  --out DIR         where the trace, pictures and summary go (default: "
           L".\\refhost-out)\n"
           L"  --web-view KIND   engine (default: a page of the headless browser engine) or\n"
           L"                    stand-in (a window that paints the URL; needs no engine)\n"
           L"  --engine PATH     the browser the engine web view drives (default: "
           L"/usr/bin/chromium)\n"
           L"  --bridge PATH     the engine bridge, bridge.js; --node PATH   the Node.js it runs on\n"
           L"  --high-dpi        tell the panel the display is high-DPI (isHighDPI 1)\n"
           L"  --width N, --height N   the panel holder's size in pixels (default 600 x 640)\n"
           L"  --verbose         print the trace while it is written\n"
           L"  --show-secrets    write proxy passwords into the trace and report as they are\n"
           L"                    (they are masked by default)\n"
           L"  --list-steps      print the steps a scenario may use\n"
           L"  --print-default   print the built-in scenario\n"
           L"exit status: 0 every expectation met, 1 one failed, 2 bad input or set-up, 3 crash\n";
}

bool Options::parse(int argc, wchar_t** argv, Options& options, std::wstring& error) {
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        auto value = [&](std::wstring& out) {
            if (i + 1 >= argc) {
                error = L"option " + arg + L" needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::wstring text;
        if (arg == L"--dll") {
            if (!value(options.dll)) return false;
        } else if (arg == L"--out") {
            if (!value(options.out)) return false;
        } else if (arg == L"--scenario") {
            if (!value(options.scenario)) return false;
        } else if (arg == L"--width" || arg == L"--height") {
            if (!value(text)) return false;
            if (!number(text, 64, 4096, arg == L"--width" ? options.width : options.height)) {
                error = L"option " + arg + L" needs a number from 64 to 4096, not '" + text + L"'";
                return false;
            }
        } else if (arg == L"--web-view") {
            if (!value(text)) return false;
            if (text != L"engine" && text != L"stand-in") {
                error = L"option --web-view needs engine or stand-in, not '" + text + L"'";
                return false;
            }
            options.standIn = text == L"stand-in";
        } else if (arg == L"--engine") {
            if (!value(options.engine)) return false;
        } else if (arg == L"--bridge") {
            if (!value(options.bridge)) return false;
        } else if (arg == L"--node") {
            if (!value(options.node)) return false;
        } else if (arg == L"--high-dpi") {
            options.highDpi = true;
        } else if (arg == L"--verbose") {
            options.verbose = true;
        } else if (arg == L"--show-secrets") {
            options.showSecrets = true;
        } else if (arg == L"--list-steps") {
            options.listSteps = true;
        } else if (arg == L"--print-default") {
            options.printDefault = true;
        } else if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            options.help = true;
        } else {
            error = L"unknown option '" + arg + L"'";
            return false;
        }
    }
    return true;
}

}  // namespace refhost
