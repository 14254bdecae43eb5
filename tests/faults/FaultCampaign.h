#pragma once
// The campaign: every hooked call of every road failed once, each in a run of
// its own. A driver counts the calls, writes the plan, and runs it in worker
// processes, so that a crash ends one run rather than the campaign.
#include <cstdint>
#include <string>
#include <vector>

namespace halvet::test {

struct FaultPoint {
    int road = 0;
    int function = 0;
    uint32_t n = 0;
};

// The plan: every point, or every k-th of them for a sample of about
// `sample` points (0: all).
std::vector<FaultPoint> planCampaign(size_t sample, std::string& error);

bool writePlan(const std::string& file, const std::vector<FaultPoint>& plan);
bool readPlan(const std::string& file, std::vector<FaultPoint>& plan);

// Runs plan points from `from` on, appending one result row per point to
// `results` (flushed after each, so a crash loses only its own row).
int runWorker(const std::string& planFile, size_t from, const std::string& results);

// The whole campaign for this width: plan, workers, crash rows, the time.
// Returns 0 when every run held.
int runDriver(size_t sample, const std::string& width, const std::string& results);

}  // namespace halvet::test
