#pragma once
#include <string>

#include "scenario/ScenarioPlayer.h"

namespace refhost {

// The end of a run in words: which expectations were met and which failed
// (each naming its step), the pictures and where everything is.
class Summary {
public:
    static std::wstring text(const Scenario& scenario, const std::wstring& dll,
                             const std::wstring& out, const ScenarioPlayer& player);
    static bool write(const std::wstring& path, const std::wstring& text, std::wstring& error);
};

}  // namespace refhost
