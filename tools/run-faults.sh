#!/usr/bin/env bash
# The full fault campaign at both widths, and docs/reliability.md from it.
#   tools/run-faults.sh            every failure point (about 7 minutes a width here)
#   tools/run-faults.sh --sample N about N points a width (what CI runs)
# Each width runs in its build tree's heap-checking prefix; results stay in
# build/<preset>/fault-results.tsv.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
args=("$@")
status=0
for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target fault_campaign
  (
    cd "build/$preset"
    HALVET_WINEPREFIX="$PWD/wineprefix-heapcheck" HALVET_WINE_HEAPCHECK=1 \
      ../../tools/wine-run bin/fault_campaign.exe "${args[@]}" --results fault-results.tsv
  ) || status=1
done
# Paths relative to the working folder, which Wine maps as it is.
HALVET_WINEPREFIX="$PWD/build/win32/wineprefix-heapcheck" HALVET_WINE_HEAPCHECK=1 \
  tools/wine-run build/win32/bin/fault_campaign.exe --report docs/reliability.md \
  build/win32/fault-results.tsv build/win64/fault-results.tsv
echo "run-faults: docs/reliability.md written"
exit "$status"
