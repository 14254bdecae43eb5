#pragma once
#include <string>
#include <vector>

namespace refhost {

// The npm packages the bridge runs on, as its lock file pins them: every
// package the lock file names must be installed below the bridge's folder
// before the bridge is started. A bridge that starts without one dies on
// its first require, and says so only where nobody reads it.
class BridgePackages {
public:
    // The package folders ("node_modules/proxy", ...) named as keys of the
    // lock file's text, in their order.
    static std::vector<std::string> named(const std::string& lockText);

    // Checks the bridge folder (a DOS path, ending in a separator or not);
    // false with a sentence naming the first package that is missing, or the
    // lock file when it cannot be read.
    static bool check(const std::wstring& folder, std::wstring& error);
};

}  // namespace refhost
