#!/usr/bin/env bash
# Long fuzz-and-soak run of the 32-bit build (CI runs 20,000 steps).
#   tools/run-fuzz.sh [steps] [seed]     e.g. tools/run-fuzz.sh 1000000
# The seed is printed; giving it again repeats the run exactly.
set -euo pipefail
cd "$(dirname "$0")/.."
steps=${1:-1000000}
seed=${2:-}
tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target fuzz_tests
export HALVET_WINEPREFIX=$PWD/build/win32/wineprefix
export HALVET_FUZZ_STEPS=$steps HALVET_FUZZ_SECONDS=${HALVET_FUZZ_SECONDS:-86400}
export HALVET_TEST_WATCHDOG=${HALVET_TEST_WATCHDOG:-90000}
[ -n "$seed" ] && export HALVET_FUZZ_SEED=$seed
exec tools/wine-run build/win32/bin/fuzz_tests.exe 2>/dev/null
