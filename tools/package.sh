#!/usr/bin/env bash
# Builds both widths in release mode, signs the DLLs and writes the release
# package HalvetPanelUI-<version>.zip to the output folder (default:
# build/package).
#
#   tools/package.sh [output-folder]
#
# Signing (Authenticode, SHA-256, osslsigncode):
#   HALVET_SIGN_CERT   PEM file with the code-signing certificate (and its chain)
#   HALVET_SIGN_KEY    PEM file with its private key
#   HALVET_SIGN_PASS_FILE  file holding the key's password, if it has one
#   HALVET_SIGN_CAFILE     trusted roots for the check after signing (default:
#                          the system's bundle)
#   HALVET_SIGN_TIME   signing time in Unix seconds (default: now); with a fixed
#                      certificate and time, the signed files are the same bytes
#   HALVET_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server, so that the
#                      signatures outlive the certificate (none by default)
# Without HALVET_SIGN_CERT and HALVET_SIGN_KEY a throwaway self-signed
# certificate is made for this run only: its key is deleted afterwards, the
# certificate is left beside the ZIP (HalvetPanelUI-<version>-throwaway-cert.pem)
# so that the signatures can be checked, and nothing trusts it.
#
# SOURCE_DATE_EPOCH dates the archive's entries (default: the last commit's
# time, or 1980-01-01 outside a Git checkout).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/package}
mkdir -p "$out"
out=$(cd "$out" && pwd)
# Files named relative to where the script was started from.
absolute() { case "$1" in "" | /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
HALVET_SIGN_CERT=$(absolute "${HALVET_SIGN_CERT:-}")
HALVET_SIGN_KEY=$(absolute "${HALVET_SIGN_KEY:-}")
HALVET_SIGN_PASS_FILE=$(absolute "${HALVET_SIGN_PASS_FILE:-}")
HALVET_SIGN_CAFILE=$(absolute "${HALVET_SIGN_CAFILE:-}")
cd "$root"

tools/setup.sh

say() { echo "package: $*"; }
fail() { echo "package: $*" >&2; exit 1; }

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
# ZIP dates start in 1980.
[ "$SOURCE_DATE_EPOCH" -ge 315532800 ] || SOURCE_DATE_EPOCH=315532800
export SOURCE_DATE_EPOCH

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- Build: the DLL target alone, in each width's release tree, from clean:
# nothing left from an earlier configuration (another compiler launcher,
# other options) may reach a release.
for preset in win32-release win64-release; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --clean-first
done
# The version is the CMake project's, as the release tree saw it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win32-release/CMakeCache.txt)
[ -n "$version" ] || fail "no project version in build/win32-release/CMakeCache.txt"

# --- Signing key. ------------------------------------------------------------
cert=${HALVET_SIGN_CERT:-}
key=${HALVET_SIGN_KEY:-}
cafile=${HALVET_SIGN_CAFILE:-}
if [ -n "$cert" ] || [ -n "$key" ]; then
  [ -n "$cert" ] && [ -n "$key" ] || fail "HALVET_SIGN_CERT and HALVET_SIGN_KEY go together"
  [ -r "$cert" ] && [ -r "$key" ] || fail "cannot read $cert or $key"
else
  say "no HALVET_SIGN_CERT/HALVET_SIGN_KEY given: signing with a throwaway"
  say "self-signed certificate made for this run; nothing trusts it"
  cert=$work/throwaway-cert.pem
  key=$work/throwaway-key.pem
  (umask 077 && openssl req -x509 -newkey rsa:3072 -sha256 -nodes -days 2 \
     -subj "/CN=HalvetPanelUI throwaway test signature" \
     -addext "keyUsage=critical,digitalSignature" \
     -addext "extendedKeyUsage=codeSigning" \
     -keyout "$key" -out "$cert" 2>/dev/null) || fail "openssl could not make a certificate"
  cafile=$cert
fi
throwaway_copy=$out/HalvetPanelUI-$version-throwaway-cert.pem
rm -f "$throwaway_copy"
[ "$cert" != "$work/throwaway-cert.pem" ] || cp "$cert" "$throwaway_copy"
sign_args=(-certs "$cert" -key "$key" -h sha256 -n HalvetPanelUI)
[ -z "${HALVET_SIGN_PASS_FILE:-}" ] || sign_args+=(-readpass "$HALVET_SIGN_PASS_FILE")
[ -z "${HALVET_SIGN_TIME:-}" ] || sign_args+=(-time "$HALVET_SIGN_TIME")
[ -z "${HALVET_SIGN_TIMESTAMP_URL:-}" ] || sign_args+=(-ts "$HALVET_SIGN_TIMESTAMP_URL")
verify_args=()
[ -z "$cafile" ] || verify_args+=(-CAfile "$cafile")

# --- Stage the package's files. -----------------------------------------------
stage=$work/stage
mkdir -p "$stage/x86" "$stage/x64"
for pair in win32-release:x86 win64-release:x64; do
  tree=build/${pair%%:*}/bin
  folder=$stage/${pair##*:}
  cp "$tree/HalvetPanelUI.dll.debug" "$folder/"
  osslsigncode sign "${sign_args[@]}" -in "$tree/HalvetPanelUI.dll" \
    -out "$folder/HalvetPanelUI.dll" >"$work/sign.log" 2>&1 \
    || { cat "$work/sign.log" >&2; fail "signing ${pair##*:}/HalvetPanelUI.dll failed"; }
  osslsigncode verify "${verify_args[@]}" -in "$folder/HalvetPanelUI.dll" >"$work/verify.log" 2>&1 \
    || { cat "$work/verify.log" >&2; fail "the signature of ${pair##*:}/HalvetPanelUI.dll does not verify"; }
  say "signed and verified ${pair##*:}/HalvetPanelUI.dll ($(stat -c %s "$tree/HalvetPanelUI.dll") bytes unsigned)"
done
cp THIRD-PARTY-NOTICES "$stage/THIRD-PARTY-NOTICES.txt"
cp docs/integration.txt "$stage/INTEGRATION.txt"

# --- The host team's kit: header, import libraries, CMake package, guide,
# sample host and sample page. ---------------------------------------------------
mkdir -p "$stage/include" "$stage/cmake" "$stage/page" "$stage/examples/minimal-host"
cp include/HalvetPanelUI.h "$stage/include/"
# Per width: the entry points' .def and the two import libraries.
for width in x86 x64; do
  tools/import-libraries.sh "$width" "$stage/$width" || fail "no import libraries for $width"
done
cp cmake/package/HalvetPanelUIConfig.cmake "$stage/cmake/"
sed -e "s/@VERSION@/$version/g" -e "s/@MAJOR@/${version%%.*}/g" \
  cmake/package/HalvetPanelUIConfigVersion.cmake.in >"$stage/cmake/HalvetPanelUIConfigVersion.cmake"
cp docs/protocol.md "$stage/HalvetPanelUI-guide.md"
/usr/bin/python3 tools/guide-html.py docs/protocol.md "$stage/HalvetPanelUI-guide.html" \
  || fail "the guide's HTML page could not be written"
cp examples/minimal-host/CMakeLists.txt examples/minimal-host/minimal_host.c "$stage/examples/minimal-host/"
cp refhost/page/index.html "$stage/page/index.html"

# Sorted by byte order, whatever the locale.
export LC_ALL=C
(cd "$stage" && find . -type f -printf '%P\n' | sort >"$work/files")
(cd "$stage" && xargs -d '\n' sha256sum <"$work/files" >SHA256SUMS)
(cd "$stage" && find . -type f -printf '%P\n' | sort >"$work/files")

# --- The archive: fixed order, dates, modes; no owner or extra time fields. ---
(cd "$stage" && xargs -d '\n' chmod 644 <"$work/files" \
  && xargs -d '\n' touch -h -d "@$SOURCE_DATE_EPOCH" <"$work/files")
zipfile=$out/HalvetPanelUI-$version.zip
rm -f "$zipfile"
(cd "$stage" && TZ=UTC xargs -d '\n' zip -X -D -q -9 "$zipfile" <"$work/files")
say "wrote $zipfile ($(stat -c %s "$zipfile") bytes)"
(cd "$stage" && sed 's/^/package:   /' SHA256SUMS)
