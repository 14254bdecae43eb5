#!/usr/bin/env bash
# Set-up, build and the whole test suite under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
# Both widths from the same source: the 32-bit DLL and the 64-bit one.
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
