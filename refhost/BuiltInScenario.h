#pragma once
#include <string>

namespace refhost {

// The scenario played when none is named: the road of the panel page from
// "CreateView" to finalize (scenarios/panel-road.xml, compiled into the
// program as resource kResourceId).
class BuiltInScenario {
public:
    static constexpr int kResourceId = 101;
    static std::wstring text();
    static const wchar_t* origin() { return L"built-in panel-road"; }
};

}  // namespace refhost
