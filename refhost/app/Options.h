#pragma once
#include <string>

namespace refhost {

// The command line of the reference host.
struct Options {
    std::wstring dll;       // empty: HalvetPanelUI.dll beside the program
    std::wstring out;       // empty: refhost-out in the current folder
    std::wstring scenario;  // empty: the built-in scenario
    bool standIn = false;  // --web-view stand-in: no browser engine
    std::wstring engine;   // the browser (empty: the default one)
    std::wstring bridge;   // bridge.js (empty: the one of this source tree)
    std::wstring node;     // Node.js (empty: the one found when this was built)
    bool highDpi = false;
    int width = 600;
    int height = 640;
    bool verbose = false;
    bool showSecrets = false;  // proxy passwords written as they are
    bool help = false;
    bool listSteps = false;
    bool printDefault = false;

    // False with error set for an unknown option or a missing value.
    static bool parse(int argc, wchar_t** argv, Options& options, std::wstring& error);
    static const wchar_t* usage();
};

}  // namespace refhost
