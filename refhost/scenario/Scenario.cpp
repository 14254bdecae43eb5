#include "scenario/Scenario.h"

namespace refhost {

std::wstring Step::attr(const std::wstring& name, const std::wstring& fallback) const {
    auto it = attributes.find(name);
    return it == attributes.end() ? fallback : it->second;
}

bool Step::isExpectation() const {
    return kind.compare(0, 7, L"expect-") == 0;
}

std::wstring Step::label(size_t index) const {
    std::wstring out =
        L"step " + std::to_wstring(index) + L" (line " + std::to_wstring(line) + L") " + kind;
    if (has(L"name")) out += L" " + attr(L"name");
    return out;
}

bool Scenario::hasStep(const std::wstring& kind) const {
    for (const Step& step : steps)
        if (step.kind == kind) return true;
    return false;
}

}  // namespace refhost
