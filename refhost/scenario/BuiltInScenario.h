#pragma once
#include <string>

namespace refhost {

// The scenario played when none is named: the road of the panel page from
// "CreateView" to finalize, on the browser engine (scenarios/panel-road.xml,
// resource kResourceId) or on the web view stand-in, whose loads meet a
// proxy differently (scenarios/stand-in-road.xml, kStandInResourceId).
class BuiltInScenario {
public:
    static constexpr int kResourceId = 101;
    static constexpr int kStandInResourceId = 102;
    static std::wstring text(bool standIn = false);
    static const wchar_t* origin(bool standIn = false) {
        return standIn ? L"built-in stand-in-road" : L"built-in panel-road";
    }
};

}  // namespace refhost
