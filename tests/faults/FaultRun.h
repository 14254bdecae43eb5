#pragma once
// One run of a road with one platform call failing, and the checks after it.
#include <cstdint>
#include <string>

#include "faults/FaultRoad.h"
#include "support/FaultSwitch.h"

namespace halvet::test {

// What one run found. `problems` is empty when every check held.
struct FaultRunResult {
    bool failureGiven = false;  // the chosen call was reached and failed
    std::string problems;       // ", "-separated: "reply ...", "envelope", "lost view", ...
    std::wstring reply;         // the failing step's reply
};

// Calls of every hooked function along a road with nothing failing.
struct RoadCount {
    bool ok = false;
    std::array<uint32_t, kFaultyCount> calls{};
};
RoadCount countRoad(const FaultRoad& road);

// The road with the n-th call of `function` failing (n 0: nothing fails).
FaultRunResult runWithFailure(const FaultRoad& road, Faulty function, uint32_t n);

// Clean runs that set what every load of the DLL costs the counts by itself
// (its static runtime keeps a kernel handle or two per load under Wine; the
// system's drawing-context cache grows once): a run leaks what it leaves
// beyond that.
void calibrateCounts();

// Heap blocks of every process heap check out (Wine's tail and free checks
// fill what the block header does not cover).
bool heapsValid();

// The test program's own temporary folder, so that counts see only the DLL.
void usePrivateTemporaryFolder();
void removePrivateTemporaryFolder();

}  // namespace halvet::test
