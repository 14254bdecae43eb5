#!/usr/bin/env bash
# Builds the 32-bit DLL's benchmark and prints its table (figures under Wine).
#   tools/run-bench.sh [--reps N]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target halvet_bench >/dev/null
export HALVET_WINEPREFIX=$PWD/build/win32/wineprefix
exec tools/wine-run build/win32/bin/halvet_bench.exe "$@"
