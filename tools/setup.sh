#!/usr/bin/env bash
# Installs what the build and the tests need, when it is missing (Debian 12).
# Needs root (or sudo) only when something must be installed.
set -euo pipefail
# osslsigncode, openssl and zip make the release package (tools/package.sh);
# unzip checks it. chromium is the reference host's browser engine and opens the
# run report in its test; fonts-dejavu-core gives the pages a text face.
# clang checks the public header under the Visual C++ rules, llvm's dlltool
# writes the Visual C++ import libraries, lld links a test program against
# them, python3-markdown writes the guide's HTML page (the host kit in the
# package).
packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 cmake make googletest
          chromium fonts-dejavu-core osslsigncode openssl zip unzip clang llvm lld python3-markdown)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ -d /usr/src/googletest ] || missing+=(googletest)
# The engine bridge and the run report's page run on Node.js (Debian's, when
# there is none on the PATH).
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)

# The npm packages of one folder, as its lock file pins them; installed again
# only when the lock file changed since the last install.
npm_packages() {
  local dir lock stamp
  dir="$top/$1"
  lock=$(sha256sum "$dir/package-lock.json" | cut -d' ' -f1)
  stamp="$dir/node_modules/.halvet-lock-sha256"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$lock" ]; then return 0; fi
  echo "setup: installing the npm packages of $1 (npm ci)"
  (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
  echo "$lock" >"$stamp"
}
all_npm_packages() {
  npm_packages refhost/webview/engine/bridge
  npm_packages refhost/recording/report
}
top="$(cd "$(dirname "$0")/.." && pwd)"

if [ ${#missing[@]} -eq 0 ]; then
  all_npm_packages
  exit 0
fi
echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
apt=($sudo apt-get -o DPkg::Lock::Timeout=600)

# A mirror in the middle of a sync makes one index fail now and then: retry, and
# go on with the install when only some indexes could not be refreshed.
refresh() {
  for attempt in 1 2 3; do
    if "${apt[@]}" "$@" update -qq; then return 0; fi
    echo "setup: apt-get update failed (attempt $attempt)"
    sleep $((attempt * 5))
  done
  return 0
}

# The same sources without the security suite: when its index is out of step
# with the main archive (seen for i386), the main archive alone is consistent.
without_security() {
  local dir
  dir=$(mktemp -d)
  : >"$dir/sources.list"
  [ -f /etc/apt/sources.list ] && grep -v -- '-security' /etc/apt/sources.list >"$dir/sources.list" || true
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && awk 'BEGIN { RS = ""; ORS = "\n\n" } !/-security/' "$f" >"$dir/$(basename "$f")"
  done
  for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && grep -v -- '-security' "$f" >"$dir/$(basename "$f")" || true
  done
  echo "-o" "Dir::Etc::SourceList=$dir/sources.list" "-o" "Dir::Etc::SourceParts=$dir"
}

refresh
if ! "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"; then
  echo "setup: install failed; trying again without the security suite"
  read -r -a alternative <<<"$(without_security)"
  refresh "${alternative[@]}"
  "${apt[@]}" "${alternative[@]}" install -y -qq --no-install-recommends "${missing[@]}"
fi
all_npm_packages
