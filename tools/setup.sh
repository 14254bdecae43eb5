#!/usr/bin/env bash
# Installs what the build and the tests need, when it is missing (Debian 12).
# Needs root (or sudo) only when something must be installed.
set -euo pipefail
packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 cmake make googletest)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ -d /usr/src/googletest ] || missing+=(googletest)
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
# A mirror in the middle of a sync makes one index fail now and then: retry, and
# go on with the install when only some indexes could not be refreshed.
for attempt in 1 2 3; do
  if $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq; then break; fi
  echo "setup: apt-get update failed (attempt $attempt)"
  sleep $((attempt * 5))
done
$sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
