#include "faults/ReliabilityReport.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "faults/FaultRoad.h"
#include "support/FaultSwitch.h"

namespace halvet::test {

namespace {

struct Row {
    std::string road, function, outcome;
    unsigned n = 0;
    bool given = false;
};

struct Width {
    std::string name, mode;
    double seconds = 0;
    std::vector<Row> rows;
};

bool readResults(const std::string& file, Width& width) {
    std::ifstream in(file);
    if (!in) return false;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
        if (f.size() >= 2 && f[0] == "#width") width.name = f[1];
        if (f.size() >= 2 && f[0] == "#mode") width.mode = f[1];
        if (f.size() >= 2 && f[0] == "#seconds") width.seconds = std::stod(f[1]);
        if (f.size() < 5 || line[0] == '#') continue;
        Row r;
        r.road = f[0];
        r.function = f[1];
        r.n = static_cast<unsigned>(std::stoul(f[2]));
        r.given = f[3] == "1";
        r.outcome = f[4];
        width.rows.push_back(r);
    }
    return true;
}

bool has(const std::string& outcome, const char* what) {
    return outcome.find(what) != std::string::npos;
}

void writeWidth(std::ostream& out, const Width& w) {
    const auto& roads = faultRoads();
    std::map<std::string, std::map<std::string, int>> points;  // function -> road -> count
    std::map<std::string, int> problemsOf;
    int given = 0, crashes = 0, heap = 0, leaks = 0, envelopes = 0, other = 0;
    for (const Row& r : w.rows) {
        if (!r.given) continue;
        ++given;
        ++points[r.function][r.road];
        if (r.outcome == "ok") continue;
        ++problemsOf[r.function];
        if (has(r.outcome, "crash")) ++crashes;
        if (has(r.outcome, "heap")) ++heap;
        if (has(r.outcome, "leak")) ++leaks;
        if (has(r.outcome, "envelope")) ++envelopes;
        if (!has(r.outcome, "crash") && !has(r.outcome, "heap") && !has(r.outcome, "leak") &&
            !has(r.outcome, "envelope"))
            ++other;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.0f", w.seconds);
    out << "## " << w.name << " (" << w.mode << " campaign)\n\n"
        << "Failure points exercised: **" << given << "** (runs: " << w.rows.size()
        << "; a run whose chosen call was not reached again counts as a run, not a point). "
        << "Crashes: **" << crashes << "**. Heap errors: **" << heap << "**. Leaks: **" << leaks
        << "**. Ill-formed envelopes: **" << envelopes << "**. Other failed checks: **" << other
        << "**. Time: " << seconds << " s.\n\n";
    out << "| function | group |";
    for (const auto& road : roads) out << ' ' << road.name << " |";
    out << " total | outcome |\n|---|---|";
    for (size_t i = 0; i < roads.size(); ++i) out << "---:|";
    out << "---:|---|\n";
    for (int f = 0; f < kFaultyCount; ++f) {
        const FaultyInfo& info = faultyInfo(static_cast<Faulty>(f));
        const auto& byRoad = points[info.name];
        int total = 0;
        out << "| `" << info.name << "` | " << info.group << " |";
        for (const auto& road : roads) {
            auto it = byRoad.find(road.name);
            const int n = it == byRoad.end() ? 0 : it->second;
            total += n;
            out << ' ' << (n ? std::to_string(n) : std::string("·")) << " |";
        }
        const int bad = problemsOf.count(info.name) ? problemsOf.at(info.name) : 0;
        out << ' ' << total << " | "
            << (total == 0 ? "not reached" : bad ? std::to_string(bad) + " failed checks" : "all checks held")
            << " |\n";
    }
    out << "\n";
    bool any = false;
    for (const Row& r : w.rows) {
        if (!r.given || r.outcome == "ok") continue;
        if (!any) out << "Runs whose checks failed:\n\n";
        any = true;
        out << "- " << r.road << ", `" << r.function << "` call " << r.n << ": " << r.outcome << "\n";
    }
    if (any) out << "\n";
}

}  // namespace

bool writeReliabilityReport(const std::string& file, const std::vector<std::string>& resultFiles) {
    std::vector<Width> widths;
    for (const auto& name : resultFiles) {
        Width w;
        if (!readResults(name, w)) return false;
        widths.push_back(w);
    }
    std::ofstream out(file, std::ios::trunc);
    out << "# Reliability: every platform failure, once\n\n"
        << "Written by `fault_campaign` (`tools/run-faults.sh`); do not edit by hand.\n\n"
        << "The campaign loads the built DLL as a host does and patches its import table, so that "
           "only the DLL's own calls of the functions below can fail. For each road it first counts "
           "the calls of every hooked function with nothing failing; then, for every function and "
           "every n up to that count, it runs the road again in a fresh load of the DLL with exactly "
           "the n-th call failing as the platform fails it (the documented failure value, cleared "
           "out-values, a plausible last error or errno). After each run it checks: no crash; every "
           "process heap validates (the prefix runs with Wine's heap tail and free checks); the "
           "failing step's reply is one the protocol names, and no exception reached an export; "
           "every envelope sent has its nine texts and well-formed XML data; every view attached "
           "was closed with its own \"signalUIClose\"; a \"CreateView\" answered \"Failure\" "
           "leaves no window in the host's, one answered with the handle has its dialog and its "
           "page request; a fresh \"CreateView\" and \"ShowView\" work afterwards in the same "
           "process; after finalize and unload no window, GDI object, kernel handle or temporary "
           "file of the run is left, beyond what a load of the DLL costs by itself (each worker measures "
           "that first with clean runs and a run that throws once: the static runtime keeps a kernel "
           "handle or two per load, and the 64-bit one another for a load's first exception). A "
           "growth counts as a leak only when the same run shows it twice, as the system's caches "
           "grow once.\n\n"
        << "Each cell is the number of failure points exercised for that function on that road "
           "(· none: the road makes no such call).\n\n";
    for (const Width& w : widths) writeWidth(out, w);
    return bool(out);
}

}  // namespace halvet::test
