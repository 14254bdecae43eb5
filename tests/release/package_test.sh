#!/usr/bin/env bash
# Makes the release package as a host team's build would, unpacks it and
# checks it: the entries and their dates, the sums, the split debug
# information, the signatures, the version resource, a run of the reference
# host's default scenario against the packaged 32-bit DLL, and the host
# team's kit at both widths (tests/kit/package_kit_check.sh).
#
#   package_test.sh <source folder> <32-bit build tree> <work folder>
set -euo pipefail
src=$1
tree=$2
work=$3

# Arguments of the reference host's run against the packaged DLL: the one
# place to add options (for example which web view the host drives).
refhost_args=()

fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }

rm -rf "$work"
mkdir -p "$work"
# No certificate given: the package is signed with a throwaway one. A fixed
# date, so that the test knows what the entries must say.
unset HALVET_SIGN_CERT HALVET_SIGN_KEY HALVET_SIGN_TIME HALVET_SIGN_CAFILE
export SOURCE_DATE_EPOCH=1700000000
if ! "$src/tools/package.sh" "$work/out" >"$work/package.log" 2>&1; then
  tail -n 60 "$work/package.log"
  fail "tools/package.sh failed"
fi
grep -q 'throwaway' "$work/package.log" || fail "the run did not say it used a throwaway certificate"
grep '^package:' "$work/package.log"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")
zip=$work/out/HalvetPanelUI-$version.zip
cert=$work/out/HalvetPanelUI-$version-throwaway-cert.pem
[ -f "$zip" ] || fail "no $zip"
[ -f "$cert" ] || fail "no throwaway certificate beside the ZIP"
if grep -rlq 'PRIVATE KEY' "$work/out"; then fail "a private key was left in the output"; fi

# --- Entries: sorted, nothing else, fixed date, no owner or time fields. -----
expected='HalvetPanelUI-guide.html
HalvetPanelUI-guide.md
INTEGRATION.txt
SHA256SUMS
THIRD-PARTY-NOTICES.txt
cmake/HalvetPanelUIConfig.cmake
cmake/HalvetPanelUIConfigVersion.cmake
examples/minimal-host/CMakeLists.txt
examples/minimal-host/minimal_host.c
include/HalvetPanelUI.h
page/index.html
x64/HalvetPanelUI.def
x64/HalvetPanelUI.dll
x64/HalvetPanelUI.dll.debug
x64/HalvetPanelUI.lib
x64/libHalvetPanelUI.dll.a
x86/HalvetPanelUI.def
x86/HalvetPanelUI.dll
x86/HalvetPanelUI.dll.debug
x86/HalvetPanelUI.lib
x86/libHalvetPanelUI.dll.a'
entries=$(zipinfo -1 "$zip")
[ "$entries" = "$expected" ] || fail "entries differ:"$'\n'"$entries"
pass "entries"
stamp=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y%m%d.%H%M%S)
dates=$(zipinfo -T -s "$zip" | awk '/^-/ { print $7 }' | sort -u)
[ "$dates" = "$stamp" ] || fail "entry dates are $dates, not $stamp"
extras=$(zipinfo -v "$zip" | grep 'length of extra field' | grep -vc ' 0 bytes' || true)
[ "$extras" = 0 ] || fail "$extras entries carry extra fields (owner, times)"
pass "dates $stamp, no extra fields"

# --- Sums cover every other file and hold. --------------------------------------
unpacked=$work/unpacked
unzip -q "$zip" -d "$unpacked"
listed=$(awk '{ print $2 }' "$unpacked/SHA256SUMS" | sort)
[ "$listed" = "$(grep -vx SHA256SUMS <<<"$expected")" ] || fail "SHA256SUMS lists:"$'\n'"$listed"
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "a sum does not match"
pass "SHA256SUMS"

# --- The guide and the header are the source's, the page stands alone. --------
cmp -s "$unpacked/HalvetPanelUI-guide.md" "$src/docs/protocol.md" || fail "the guide is not docs/protocol.md"
cmp -s "$unpacked/include/HalvetPanelUI.h" "$src/include/HalvetPanelUI.h" || fail "the header is not the source's"
grep -q '<table>' "$unpacked/HalvetPanelUI-guide.html" || fail "the guide's HTML page has no tables"
if grep -Eq "(src|href)=[\"'](https?:)?//" "$unpacked/HalvetPanelUI-guide.html"; then
  fail "the guide's HTML page refers to something outside itself"
fi
pass "guide (Markdown, self-contained HTML) and header"

# --- Symbols: stripped DLLs that name their debug file and its CRC. -----------
for pair in x86:i686 x64:x86_64; do
  dir=$unpacked/${pair%%:*}
  objdump=${pair##*:}-w64-mingw32-objdump
  objcopy=${pair##*:}-w64-mingw32-objcopy
  sections=$("$objdump" -h "$dir/HalvetPanelUI.dll")
  if grep -q '\.debug_info' <<<"$sections"; then fail "${pair%%:*} DLL still holds debug information"; fi
  grep -q '\.gnu_debuglink' <<<"$sections" || fail "${pair%%:*} DLL has no .gnu_debuglink"
  "$objdump" -h "$dir/HalvetPanelUI.dll.debug" | grep -q '\.debug_info' \
    || fail "${pair%%:*} debug file holds no debug information"
  "$objcopy" --dump-section ".gnu_debuglink=$work/link.bin" "$dir/HalvetPanelUI.dll" "$work/scratch.dll"
  [ "$(head -c 24 "$work/link.bin" | tr -d '\0')" = "HalvetPanelUI.dll.debug" ] \
    || fail "${pair%%:*} debug link names another file"
  # gzip's trailer holds the CRC-32 of its input, in the byte order the link uses.
  [ "$(tail -c 4 "$work/link.bin" | od -An -tx1)" = \
    "$(gzip -c "$dir/HalvetPanelUI.dll.debug" | tail -c 8 | head -c 4 | od -An -tx1)" ] \
    || fail "${pair%%:*} debug link CRC does not match the debug file"
  pass "${pair%%:*} stripped ($(stat -c %s "$dir/HalvetPanelUI.dll") bytes), debug file linked"
done

# --- Signatures. -------------------------------------------------------------------
for width in x86 x64; do
  osslsigncode verify -CAfile "$cert" -in "$unpacked/$width/HalvetPanelUI.dll" >"$work/verify.log" 2>&1 \
    || { cat "$work/verify.log"; fail "$width signature does not verify"; }
  grep -qi 'digest algorithm.*sha256' "$work/verify.log" || fail "$width is not signed with SHA-256"
  pass "$width Authenticode signature (SHA-256) verifies"
done

# --- Under Wine: the version resource and the reference host's scenario. ------
export HALVET_WINEPREFIX=$tree/wineprefix
wine_run() { "$src/tools/wine-run" "$@"; }
winpath() { wine_run winepath -w "$1" 2>/dev/null | tr -d '\r'; }
dll=$unpacked/x86/HalvetPanelUI.dll
HALVET_DLL=$(winpath "$dll") wine_run "$tree/bin/release_tests.exe" --gtest_brief=1 \
  || fail "the packaged DLL's version resource"
pass "version resource of the packaged 32-bit DLL"

# The package's sample page stands where the DLL looks for it, below the
# DLL's own folder.
page=$unpacked/x86/resource/HalvetPanelHTML/HalvetPanel/src/www/halvet
mkdir -p "$page"
cp "$unpacked/page/index.html" "$page/"
mkdir -p "$work/refhost-out"
status=0
wine_run "$tree/bin/refhost.exe" --dll "$(winpath "$dll")" --out "$(winpath "$work/refhost-out")" \
  "${refhost_args[@]}" >"$work/refhost.log" 2>&1 || status=$?
if [ "$status" != 0 ] || ! grep -q 'result: passed' "$work/refhost.log" \
   || ! grep -qF "DLL: $(winpath "$dll")" "$work/refhost.log"; then
  tail -n 40 "$work/refhost.log"
  fail "the reference host's default scenario against the packaged DLL (exit $status)"
fi
pass "reference host's default scenario against the packaged 32-bit DLL"

# --- The host team's kit: import libraries, CMake package, sample host. -----
# Checked on a copy without the page placed above: the sample host puts the
# package's page in place itself.
rm -rf "$work/kit-package"
unzip -q "$zip" -d "$work/kit-package"
bash "$src/tests/kit/package_kit_check.sh" "$src" "$work/kit-package" "$work/kit" \
  || fail "the host team's kit from the package"
