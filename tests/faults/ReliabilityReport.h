#pragma once
// docs/reliability.md from the campaign's result files, one per width.
#include <string>
#include <vector>

namespace halvet::test {

// Writes the report; false when a result file cannot be read.
bool writeReliabilityReport(const std::string& out, const std::vector<std::string>& resultFiles);

}  // namespace halvet::test
