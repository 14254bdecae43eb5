#!/usr/bin/env bash
# Writes the entry points' .def and the two import libraries of one width of
# HalvetPanelUI.dll into a folder: HalvetPanelUI.def, libHalvetPanelUI.dll.a
# (MinGW, dlltool) and HalvetPanelUI.lib (Visual C++, llvm-dlltool). The bytes
# do not depend on the folders involved.
#
#   import-libraries.sh <x86|x64> <output folder>
#
# Only the three entry points go in: the decorated forwarder and operator stay
# out (hosts reach them with GetProcAddress), and a library symbol
# CreateProcessWithTokenW would shadow the system's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
width=$1
out=$(mkdir -p "$2" && cd "$2" && pwd)
fail() { echo "import-libraries: $*" >&2; exit 1; }
case "$width" in
  x86) source=HalvetPanelUI.def prefix=i686 machine=i386 ;;
  x64) source=HalvetPanelUI64.def prefix=x86_64 machine=i386:x86-64 ;;
  *) fail "width is x86 or x64, not $width" ;;
esac
def=$out/HalvetPanelUI.def
{
  echo "; The entry points of HalvetPanelUI.dll ($width), for import libraries."
  echo "LIBRARY HalvetPanelUI.dll"
  echo "EXPORTS"
  grep -E '^[[:space:]]+[A-Za-z_][A-Za-z0-9_]*[[:space:]]*$' "$root/resources/$source"
} >"$def"
[ "$(grep -c '^[[:space:]]' "$def")" = 3 ] || fail "$source does not list the three entry points"
# dlltool names the library's members after its temporary prefix and output
# name: both relative, in a scratch folder of their own.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && "$prefix-w64-mingw32-dlltool" --deterministic-libraries -t "HalvetPanelUI_$width" \
   -d "$def" -D HalvetPanelUI.dll -l libHalvetPanelUI.dll.a) \
  || fail "dlltool could not write the MinGW import library of $width"
mv "$scratch/libHalvetPanelUI.dll.a" "$out/"
llvm-dlltool -m "$machine" -d "$def" -D HalvetPanelUI.dll -l "$out/HalvetPanelUI.lib" \
  || fail "llvm-dlltool could not write the Visual C++ import library of $width"
