#pragma once
#include <string>

#include "scenario/Scenario.h"

namespace refhost {

// Reads a scenario document and checks every step before anything runs: a
// text that is not XML, an unknown step, an unknown or missing attribute or
// a value out of range is refused with the line it stands on.
class ScenarioLoader {
public:
    // Text of a file: UTF-8 (with or without a byte-order mark) or UTF-16
    // with one.
    static bool readFile(const std::wstring& path, std::wstring& text, std::wstring& error);
    static bool parse(const std::wstring& text, const std::wstring& origin, Scenario& scenario,
                      std::wstring& error);
    static bool loadFile(const std::wstring& path, Scenario& scenario, std::wstring& error);

    // The step names and the attributes each accepts, for --help.
    static std::wstring describeSteps();
};

}  // namespace refhost
