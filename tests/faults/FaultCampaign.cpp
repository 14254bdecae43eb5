#include "faults/FaultCampaign.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "faults/FaultRun.h"

namespace halvet::test {

namespace {

std::string wide2(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text.substr(0, 40)) out += (c >= 32 && c < 127 && c != '\t') ? char(c) : '?';
    return out;
}

size_t rowsIn(const std::string& file) {
    std::ifstream in(file);
    size_t rows = 0;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') ++rows;
    return rows;
}

// This program again, as a worker; its exit code.
DWORD runWorkerProcess(const std::string& planFile, size_t from, const std::string& results) {
    wchar_t self[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --worker --plan \"" +
                           std::wstring(planFile.begin(), planFile.end()) + L"\" --from " +
                           std::to_wstring(from) + L" --results \"" +
                           std::wstring(results.begin(), results.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 1000;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1000;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

}  // namespace

std::vector<FaultPoint> planCampaign(size_t sample, std::string& error) {
    std::vector<FaultPoint> plan;
    const auto& roads = faultRoads();
    for (size_t r = 0; r < roads.size(); ++r) {
        const RoadCount count = countRoad(roads[r]);
        if (!count.ok) error += std::string("road \"") + roads[r].name + "\" fails without faults; ";
        for (int f = 0; f < kFaultyCount; ++f)
            for (uint32_t n = 1; n <= count.calls[f]; ++n) plan.push_back({int(r), f, n});
    }
    if (sample == 0 || sample >= plan.size()) return plan;
    // Every k-th point, so that each road and function keeps a share.
    std::vector<FaultPoint> picked;
    const double stride = double(plan.size()) / double(sample);
    for (size_t i = 0; i < sample; ++i) picked.push_back(plan[size_t(i * stride)]);
    return picked;
}

bool writePlan(const std::string& file, const std::vector<FaultPoint>& plan) {
    std::ofstream out(file, std::ios::trunc);
    for (const auto& p : plan) out << p.road << '\t' << p.function << '\t' << p.n << '\n';
    return bool(out);
}

bool readPlan(const std::string& file, std::vector<FaultPoint>& plan) {
    std::ifstream in(file);
    if (!in) return false;
    FaultPoint p;
    while (in >> p.road >> p.function >> p.n) plan.push_back(p);
    return true;
}

int runWorker(const std::string& planFile, size_t from, const std::string& results) {
    std::vector<FaultPoint> plan;
    if (!readPlan(planFile, plan)) return 2;
    const auto& roads = faultRoads();
    FILE* out = std::fopen(results.c_str(), "a");
    if (!out) return 2;
    for (size_t i = from; i < plan.size(); ++i) {
        const FaultPoint& p = plan[i];
        FaultRunResult r = runWithFailure(roads[p.road], static_cast<Faulty>(p.function), p.n);
        // The system's caches (drawing contexts, stock objects) grow the
        // first time a road takes a new turn; a leak of the DLL's grows again
        // with each fresh load. A growth is a leak when the same run shows it
        // twice.
        if (r.problems.find("leak") != std::string::npos) {
            const FaultRunResult again =
                runWithFailure(roads[p.road], static_cast<Faulty>(p.function), p.n);
            if (again.problems.find("leak") == std::string::npos) r = again;
        }
        std::fprintf(out, "%s\t%s\t%u\t%d\t%s\t%s\n", roads[p.road].name,
                     faultyInfo(static_cast<Faulty>(p.function)).name, p.n, r.failureGiven ? 1 : 0,
                     r.problems.empty() ? "ok" : r.problems.c_str(), wide2(r.reply).c_str());
        std::fflush(out);
    }
    std::fclose(out);
    return 0;
}

int runDriver(size_t sample, const std::string& width, const std::string& results) {
    const auto start = std::chrono::steady_clock::now();
    usePrivateTemporaryFolder();
    std::string error;
    const std::vector<FaultPoint> plan = planCampaign(sample, error);
    const std::string planFile = results + ".plan";
    if (!error.empty() || plan.empty() || !writePlan(planFile, plan)) {
        std::fprintf(stderr, "fault campaign: no plan: %s\n", error.c_str());
        removePrivateTemporaryFolder();
        return 2;
    }
    {
        std::ofstream out(results, std::ios::trunc);
        out << "#width\t" << width << "\n#mode\t" << (sample ? "sample" : "full") << "\n";
    }
    std::printf("fault campaign (%s): %zu runs\n", width.c_str(), plan.size());
    std::fflush(stdout);
    const auto& roads = faultRoads();
    size_t from = 0;
    while (from < plan.size()) {
        const DWORD code = runWorkerProcess(planFile, from, results);
        const size_t done = rowsIn(results);
        if (code == 0 && done >= plan.size()) break;
        // The run after the last row ended its process.
        const FaultPoint& p = plan[done];
        FILE* out = std::fopen(results.c_str(), "a");
        std::fprintf(out, "%s\t%s\t%u\t1\tcrash (exit 0x%lx)\t-\n", roads[p.road].name,
                     faultyInfo(static_cast<Faulty>(p.function)).name, p.n,
                     static_cast<unsigned long>(code));
        std::fclose(out);
        std::printf("crash: %s, %s call %u\n", roads[p.road].name,
                    faultyInfo(static_cast<Faulty>(p.function)).name, p.n);
        from = done + 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    {
        std::ofstream out(results, std::ios::app);
        out << "#seconds\t" << seconds << "\n";
    }
    DeleteFileA(planFile.c_str());
    removePrivateTemporaryFolder();
    // Any row with a problem fails the campaign.
    std::ifstream in(results);
    int bad = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string road, function, n, given, outcome;
        std::getline(fields, road, '\t');
        std::getline(fields, function, '\t');
        std::getline(fields, n, '\t');
        std::getline(fields, given, '\t');
        std::getline(fields, outcome, '\t');
        if (outcome != "ok") {
            ++bad;
            std::printf("problem: %s, %s call %s: %s\n", road.c_str(), function.c_str(), n.c_str(),
                        outcome.c_str());
        }
    }
    std::printf("fault campaign (%s): %zu runs, %d with problems, %.1f s\n", width.c_str(),
                plan.size(), bad, seconds);
    return bad == 0 ? 0 : 1;
}

}  // namespace halvet::test
