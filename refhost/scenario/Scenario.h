#pragma once
#include <map>
#include <string>
#include <vector>

namespace refhost {

// One step of a scenario, as written: its element name, its line, its
// attributes and its body (the element's text, or, when it holds elements,
// its inner markup exactly as written).
struct Step {
    std::wstring kind;
    int line = 0;
    std::map<std::wstring, std::wstring> attributes;
    std::wstring body;

    bool has(const std::wstring& name) const { return attributes.count(name) != 0; }
    std::wstring attr(const std::wstring& name, const std::wstring& fallback = L"") const;
    // Expectations only look; every other step acts.
    bool isExpectation() const;
    // "step 4 (line 12) send CreateView": how reports name a step.
    std::wstring label(size_t index) const;
};

struct Scenario {
    std::wstring name;
    std::wstring origin;  // file path, or "built-in"
    std::vector<Step> steps;

    bool hasStep(const std::wstring& kind) const;
};

}  // namespace refhost
