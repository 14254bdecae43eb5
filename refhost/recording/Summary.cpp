#include "recording/Summary.h"

#include <cstdio>

#include "platform/Text.h"

namespace refhost {

std::wstring Summary::text(const Scenario& scenario, const std::wstring& dll,
                           const std::wstring& out, const ScenarioPlayer& player) {
    size_t failed = player.failures();
    size_t met = player.checks().size() - failed;
    std::wstring s = L"scenario: " + scenario.name + L" (" + scenario.origin + L")\n";
    s += L"DLL: " + dll + L"\n";
    s += L"expectations: " + std::to_wstring(met) + L" met, " + std::to_wstring(failed) +
         L" failed\n";
    for (const auto& check : player.checks()) {
        s += std::wstring(check.met ? L"  met     " : L"  FAILED  ") + check.step + L": " +
             check.what + L"\n";
        if (!check.met) s += L"            " + check.why + L"\n";
    }
    if (!out.empty()) {
        s += L"trace: " + out + L"\\trace.txt and " + out + L"\\trace.jsonl\n";
        s += L"pictures:";
        if (player.pictures().empty()) s += L" none";
        for (const auto& p : player.pictures()) s += L"\n  " + out + L"\\" + p;
        s += L"\n";
    }
    s += failed ? L"result: FAILED\n" : L"result: passed\n";
    return s;
}

bool Summary::write(const std::wstring& path, const std::wstring& content, std::wstring& error) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) {
        error = L"cannot write " + path;
        return false;
    }
    std::string bytes = text::toUtf8(content);
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    if (!ok) error = L"cannot write " + path;
    return ok;
}

}  // namespace refhost
