#!/usr/bin/env bash
# Set-up, build, and the main job: the reference host plays a scenario against
# the built DLL and writes its trace, pictures and summary to an output folder.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32
out=${1:-$PWD/build/win32/refhost-out}
# The default folder holds only the newest run: no picture of an older one stays.
[ -n "${1:-}" ] || rm -rf "$out"
mkdir -p "$out"
if [ -x build/win32/bin/refhost.exe ]; then
  winout=$(HALVET_WINEPREFIX=$PWD/build/win32/wineprefix tools/wine-run winepath -w "$out" 2>/dev/null | tr -d '\r')
  status=0
  HALVET_WINEPREFIX=$PWD/build/win32/wineprefix tools/wine-run build/win32/bin/refhost.exe --out "$winout" "${@:2}" || status=$?
  echo "main job: report (report.html: the run at a glance, open it in a browser), trace (trace.txt, trace.jsonl), pictures (*.png) and summary (summary.txt) are in $out"
  exit $status
else
  HALVET_WINEPREFIX=$PWD/build/win32/wineprefix tools/wine-run build/win32/bin/smokehost.exe
fi
