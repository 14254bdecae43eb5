#!/usr/bin/env bash
# Set-up, build and the whole test suite under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32
ctest --preset win32
