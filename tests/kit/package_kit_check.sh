#!/usr/bin/env bash
# The host team's kit, from the unpacked release package alone, at both
# widths: a program compiled and linked in the Visual C++ format (clang,
# lld-link) against HalvetPanelUI.lib; a CMake build through
# find_package(HalvetPanelUI) of the shipped sample host and of a program
# linked against the MinGW import library; each run under Wine.
#
#   package_kit_check.sh <source folder> <unpacked package> <work folder>
# HALVET_WINEPREFIX names the Wine prefix (a 64-bit one runs both widths).
set -euo pipefail
src=$1
pkg=$2
work=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
pass() { echo "ok: $*"; }
for tool in clang lld-link llvm-dlltool cmake; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/setup.sh installs it)"
done
rm -rf "$work"
mkdir -p "$work"
wine_run() { "$src/tools/wine-run" "$@"; }

for entry in x86:i686:i386 x64:x86_64:i386:x86-64; do
  width=${entry%%:*}
  rest=${entry#*:}
  arch=${rest%%:*}
  machine=${rest#*:}
  dir=$work/$width
  mkdir -p "$dir/msvc"

  # --- Visual C++ format: no SDK here, so the one system function the probe
  # needs gets an import library of its own.
  if [ "$width" = x86 ]; then entry=ExitProcess@4; else entry=ExitProcess; fi
  printf 'LIBRARY kernel32.dll\nEXPORTS\n    %s\n' "$entry" >"$dir/msvc/kernel32.def"
  llvm-dlltool -m "$machine" -k -d "$dir/msvc/kernel32.def" -l "$dir/msvc/kernel32.lib"
  clang --target="$arch-pc-windows-msvc" -ffreestanding -fno-stack-protector -O1 -Wall -Werror \
    -DHALVET_PROBE_NO_CRT -I "$pkg/include" -c "$src/tests/kit/link_probe.c" -o "$dir/msvc/probe.obj" \
    || fail "$width: clang (Visual C++ ABI) could not compile against the header"
  lld-link /nologo /entry:probeEntry /subsystem:console /nodefaultlib /out:"$dir/msvc/probe.exe" \
    "$dir/msvc/probe.obj" "$pkg/$width/HalvetPanelUI.lib" "$dir/msvc/kernel32.lib" \
    || fail "$width: lld-link could not link against HalvetPanelUI.lib"
  cp "$pkg/$width/HalvetPanelUI.dll" "$dir/msvc/"
  status=0
  wine_run "$dir/msvc/probe.exe" >"$dir/msvc/run.log" 2>&1 || status=$?
  [ "$status" = 0 ] || { cat "$dir/msvc/run.log"; fail "$width: the Visual C++ linked probe ended with $status"; }
  pass "$width: a Visual C++ format program linked against HalvetPanelUI.lib runs"

  # --- MinGW and CMake: the sample host and the MinGW import library.
  if ! cmake -S "$src/tests/kit/consumer" -B "$dir/cmake" \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-$arch-mingw.cmake" \
        -DCMAKE_PREFIX_PATH="$pkg" -DHALVET_PACKAGE="$pkg" -DCMAKE_BUILD_TYPE=Release \
        >"$dir/cmake.log" 2>&1 || ! cmake --build "$dir/cmake" -j2 >>"$dir/cmake.log" 2>&1; then
    tail -n 40 "$dir/cmake.log"
    fail "$width: the CMake build from the package failed"
  fi
  status=0
  wine_run "$dir/cmake/bin/link_probe.exe" >"$dir/probe.log" 2>&1 || status=$?
  [ "$status" = 0 ] || { cat "$dir/probe.log"; fail "$width: the MinGW linked probe ended with $status"; }
  pass "$width: find_package(HalvetPanelUI) links a program against libHalvetPanelUI.dll.a"

  status=0
  wine_run "$dir/cmake/bin/minimal_host.exe" >"$dir/host.log" 2>&1 || status=$?
  host_log=$(tr -d '\r' <"$dir/host.log")
  for want in 'log 30 HalvetPanelUI: Initialize called: <CommandLineArguments>' \
              'CreateView -> "0x' 'send: attachParentWindow to Applet HEX_UIX' \
              'send: OnLoadEnd to Applet HalvetPanel_BL' 'page: .*index.html (present)' \
              'HideSpinner -> "Success"' 'ok: the panel.s dialog follows the host window' \
              'send: signalUIClose to Applet HEX_UIX' 'log 30 HalvetPanelUI: Finalize called: minimal host done' \
              'outstanding: 0 host replies, 0 panel replies' 'result: passed'; do
    grep -q -- "$want" <<<"$host_log" || { echo "$host_log"; fail "$width: the sample host did not print '$want'"; }
  done
  if grep -q 'FAILED\|InitializeDocumentUnread' <<<"$host_log"; then
    echo "$host_log"; fail "$width: the sample host reported a failure"
  fi
  [ "$status" = 0 ] || { echo "$host_log"; fail "$width: the sample host ended with $status"; }
  pass "$width: the sample host, built from the package, plays its road and leaves nothing outstanding"
done
