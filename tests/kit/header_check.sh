#!/usr/bin/env bash
# The public header under the Visual C++ rules, without any Windows SDK:
# clang in that ABI accepts it at both widths, in C89 and in C++, with its
# layout checks; and the checks do stop a compiler whose layout differs.
#
#   header_check.sh <source folder>
set -euo pipefail
src=$1
header=$src/include/HalvetPanelUI.h
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v clang >/dev/null || fail "clang is missing (tools/setup.sh installs it)"

check() {
  clang --target="$1" -ffreestanding -fsyntax-only -Wall -Wextra -Werror "${@:2}" "$header"
}
for target in i686-pc-windows-msvc x86_64-pc-windows-msvc; do
  check "$target" -x c -std=c89 -pedantic-errors || fail "$target C89"
  check "$target" -x c -std=c11 || fail "$target C11"
  check "$target" -x c++ -std=c++98 || fail "$target C++98"
  check "$target" -x c++ -std=c++17 || fail "$target C++17"
  echo "ok: $target accepts the header in C89, C11, C++98 and C++17"
done

# A host that packs its structures tightly still gets the DLL's layout.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#pragma pack(push, 1)\n#include "%s"\n#pragma pack(pop)\n' "$header" >"$work/packed.c"
for target in i686-pc-windows-msvc x86_64-pc-windows-msvc; do
  clang --target="$target" -ffreestanding -fsyntax-only -Werror "$work/packed.c" \
    || fail "$target: the layout depends on the includer's packing"
done
echo "ok: the includer's packing does not change the layout"

# The checks bite: 64-bit layout expected from a 32-bit compiler.
if check i686-pc-windows-msvc -x c -D_WIN64 2>"$work/err.txt"; then
  fail "a 32-bit compiler passed the 64-bit layout checks"
fi
grep -q 'halvetpanelui_check_record_size' "$work/err.txt" || { cat "$work/err.txt"; fail "no record size check fired"; }
echo "ok: a layout of the other width is refused"

# The header's message and event names are the guide's: every message the
# guide heads or lists as received has its constant, and no constant names a
# message the guide does not know.
guide=$src/docs/protocol.md
grep -q '^| message | data | reply | without a view |' "$guide" || fail "the guide has no table of received messages"
constants=$(sed -n 's/^#define HALVETPANELUI_\(MSG\|EVENT\)_[A-Z_]* L"\(.*\)"$/\2/p' "$header" | sort -u)
documented=$( {
  grep -oE '^#{3,4} "[^"]+"' "$guide" | sed 's/^[#]* "\(.*\)"$/\1/'
  awk '/^\| message \| data \| reply \| without a view \|/ { table = 1; next }
       table && /^\|/ { print; next } { table = 0 }' "$guide" | grep -oE '^\| "[^"]+"' | sed 's/^| "\(.*\)"$/\1/'
} | sort -u)
missing=$(comm -13 <(echo "$constants") <(echo "$documented"))
unknown=$(comm -23 <(echo "$constants") <(echo "$documented"))
[ -z "$missing" ] || fail "the guide documents messages the header has no constant for: $missing"
[ -z "$unknown" ] || fail "the header names messages the guide does not document: $unknown"
echo "ok: the header names every message and event the guide documents, and no other"
