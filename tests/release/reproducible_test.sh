#!/usr/bin/env bash
# Builds the 32-bit release DLL a second time, from a copy of the source in
# another folder and without SOURCE_DATE_EPOCH, and compares it with the
# release tree the package test built: the DLL and its debug file must be the
# same bytes, and so must the two DLLs signed with one certificate at one
# signing time, and the import libraries and the guide's page of the kit.
#
#   reproducible_test.sh <source folder> <work folder>
set -euo pipefail
src=$1
work=$2

fail() { echo "FAIL: $*" >&2; exit 1; }
same() {
  local a b
  a=$(sha256sum <"$1" | cut -d' ' -f1)
  b=$(sha256sum <"$2" | cut -d' ' -f1)
  [ "$a" = "$b" ] || fail "$3 differs: $a against $b"
  echo "ok: $3 the same in both builds ($a)"
}

first=$src/build/win32-release/bin
[ -f "$first/HalvetPanelUI.dll" ] || fail "no first release build in $first (the package test makes it)"
rm -rf "$work"
mkdir -p "$work/elsewhere/source"
tar -C "$src" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/elsewhere/source" -xf -
unset SOURCE_DATE_EPOCH
# Compile everything again: objects from a compiler cache would hide a
# difference the compiler makes.
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
export CCACHE_DISABLE=1
if ! (cd "$work/elsewhere/source" && cmake --preset win32-release && cmake --build --preset win32-release) \
      >"$work/build.log" 2>&1; then
  tail -n 60 "$work/build.log"
  fail "the second build failed"
fi
second=$work/elsewhere/source/build/win32-release/bin
same "$first/HalvetPanelUI.dll" "$second/HalvetPanelUI.dll" "unsigned DLL"
same "$first/HalvetPanelUI.dll.debug" "$second/HalvetPanelUI.dll.debug" "debug file"

# One throwaway certificate and one signing time for both; the key lives only
# in this work folder and is deleted at the end.
trap 'rm -f "$work/key.pem"' EXIT
openssl req -x509 -newkey rsa:2048 -sha256 -nodes -days 2 -subj "/CN=HalvetPanelUI test" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
now=$(date +%s)
for n in first second; do
  dir=$first
  [ $n = first ] || dir=$second
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -h sha256 -n HalvetPanelUI \
    -time "$now" -in "$dir/HalvetPanelUI.dll" -out "$work/$n.dll" >/dev/null
done
same "$work/first.dll" "$work/second.dll" "signed DLL"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/second.dll" >/dev/null || fail "signature does not verify"
# The host team's kit made from both copies of the source, into different
# folders: import libraries, .def files and the guide's page are the same bytes.
copy=$work/elsewhere/source
for width in x86 x64; do
  "$src/tools/import-libraries.sh" "$width" "$work/kit-first/$width"
  "$copy/tools/import-libraries.sh" "$width" "$work/elsewhere/kit/$width"
  for f in HalvetPanelUI.def HalvetPanelUI.lib libHalvetPanelUI.dll.a; do
    same "$work/kit-first/$width/$f" "$work/elsewhere/kit/$width/$f" "$width/$f"
  done
done
/usr/bin/python3 "$src/tools/guide-html.py" "$src/docs/protocol.md" "$work/kit-first/guide.html"
/usr/bin/python3 "$copy/tools/guide-html.py" "$copy/docs/protocol.md" "$work/elsewhere/kit/guide.html"
same "$work/kit-first/guide.html" "$work/elsewhere/kit/guide.html" "guide page"
# The copy is large and only its hashes matter.
rm -rf "$work/elsewhere"
