#!/usr/bin/env bash
# The package that a portal deploys, made from a Windows build tree:
#
#   tools/package/make_package.sh [--sizes FILE] [--twin <64-bit build dir>] [--native <native build dir>]
#                                 <Windows build dir> <output dir>
#
# writes into the output folder
#   VLServiceAdapter.ocx   the release module, stripped of symbols and debug information,
#                          then Authenticode-signed
#   VLServiceHost.exe      the browser bridge's native-messaging host, stripped and signed
#   <host name>.json, <host name>.firefox.json
#                          the host's manifests for Chromium-based browsers (allowing only the
#                          extension's fixed ID) and for Firefox, "path" beside them
#   VLServiceAdapter.inf   the code-download INF, with the install and uninstall sections of
#                          the platform's INF installer (the control, the host, its manifests
#                          and the browsers' registration of the host)
#   VLServiceAdapter.cab   these five files in one MSZIP cabinet (gcab), signed (osslsigncode)
#   extension-chromium.zip the extension for the Chrome Web Store and Edge Add-ons (the
#                          release build; no "key": the store gives the ID)
#   extension-firefox.zip  the extension for addons.mozilla.org
#   object-tag.html        the tag a page author pastes, in a complete page
#   check-control.html     the operator's check of a deployment, opened on each portal site
#   check-bridge.html      the same for the browser bridge, opened with the extension
#   vlservice.js           the page library that gives VLService over the control
# and with --twin, for 64-bit hosts, a second cabinet:
#   x64/VLServiceAdapter.ocx, x64/VLServiceAdapter.inf   the twin, stripped and signed, and
#                          its INF (the installer's sections, no code download)
#   VLServiceAdapter64.cab  both in one signed cabinet
# The class identifier and the version in the INFs and the pages are read from each module
# (module_facts.exe under Wine, in the build's prefix), never typed here; the version must
# be the build's one version value (VL_MODULE_VERSION, <build>/module_version.txt).
#
# The extension and the host's manifests come from the native tree (default <Windows
# build dir>/../native).
# Signing: VL_SIGN_CERT names the certificate (PEM or DER; a PEM file may carry the
# intermediate certificates after it) and VL_SIGN_KEY its private key; VL_SIGN_PASS_FILE a
# file holding the key's password, VL_SIGN_TIMESTAMP_URL an RFC 3161 time-stamp server.
# Without VL_SIGN_CERT and VL_SIGN_KEY the build's test maker certificate signs
# (tools/package/test_signer.sh), and the output says so.
# --sizes FILE writes the sizes to FILE as a "## Package" section, which `./run bench` takes
# into bench/RESULTS.md (`./run package` writes <build>/package_sizes.md: nothing under
# version control changes).
# Called by `./run package` with WINEPREFIX set; exit status 0 when all the files were made.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
MODULE=VLServiceAdapter.ocx
INF=VLServiceAdapter.inf
CAB=VLServiceAdapter.cab
TWIN_CAB=VLServiceAdapter64.cab
TAG=object-tag.html
CHECK=check-control.html
BRIDGE_CHECK=check-bridge.html
LIBRARY=vlservice.js
HOST=VLServiceHost.exe
USAGE="usage: make_package.sh [--sizes FILE] [--twin <64-bit build dir>] [--native <native build dir>] <Windows build dir> <output dir>"

sizes= twin= native=
while [ $# -gt 2 ]; do
  case $1 in
    --sizes) sizes=${2:?$USAGE}; shift 2 ;;
    --twin) twin=$(cd "${2:?$USAGE}" && pwd); shift 2 ;;
    --native) native=$(cd "${2:?$USAGE}" && pwd); shift 2 ;;
    *) echo "$USAGE" >&2; exit 2 ;;
  esac
done
WIN=$(cd "${1:?$USAGE}" && pwd)
OUT=${2:?$USAGE}
NATIVE=${native:-$WIN/../native}

fail() { echo "make_package: $*" >&2; exit 1; }
# shellcheck source=../common/windows_path.sh
. "$(dirname "${BASH_SOURCE[0]}")/../common/windows_path.sh"
bytes() { stat -c %s "$1"; }

# The signer: the operator's certificate, or the test maker certificate said plainly.
# shellcheck source=test_signer.sh
. "$HERE/test_signer.sh"
if [ -n "${VL_SIGN_CERT:-}" ] || [ -n "${VL_SIGN_KEY:-}" ]; then
  [ -n "${VL_SIGN_CERT:-}" ] && [ -n "${VL_SIGN_KEY:-}" ] || fail "set both VL_SIGN_CERT and VL_SIGN_KEY"
  cert=$VL_SIGN_CERT key=$VL_SIGN_KEY test_signer=
else
  cert=$WIN/$VL_TEST_SIGN_CERT key=$WIN/$VL_TEST_SIGN_KEY test_signer=1
fi
HOST_MANIFEST=$NATIVE/extension/native_messaging_host
for f in "$WIN/$MODULE" ${twin:+"$twin/$MODULE"} "$WIN/$HOST" "$WIN/tools/package/module_facts.exe" "$WIN/module_version.txt" \
         "$HOST_MANIFEST.chromium.json" "$HOST_MANIFEST.firefox.json" "$NATIVE/extension/chromium/manifest.json" \
         "$NATIVE/extension/firefox/manifest.json" "$NATIVE/page_library/$LIBRARY" "$cert" "$key"; do
  [ -f "$f" ] || fail "$f is missing (build first: ./run build)"
done
build_version=$(cat "$WIN/module_version.txt")
command -v gcab >/dev/null || fail "gcab is not installed"
# The name under which the browsers find the host, as its manifest gives it.
host_name=$(sed -n 's/^ *"name": "\([a-z0-9_.]*\)",$/\1/p' "$HOST_MANIFEST.chromium.json")
[ -n "$host_name" ] || fail "no host name in $HOST_MANIFEST.chromium.json"

signing_options=(-certs "$cert" -key "$key" -h sha256 -n "vorlink! service adapter")
[ -n "${VL_SIGN_PASS_FILE:-}" ] && signing_options+=(-readpass "$VL_SIGN_PASS_FILE")
[ -n "${VL_SIGN_TIMESTAMP_URL:-}" ] && signing_options+=(-ts "$VL_SIGN_TIMESTAMP_URL")

# sign IN OUT: an Authenticode signature over IN, a program or a cabinet, into OUT.
sign() {
  rm -f "$2"
  osslsigncode sign "${signing_options[@]}" -in "$1" -out "$2" >"$WORK/sign.log" 2>&1 ||
    { cat "$WORK/sign.log" >&2; fail "signing $(basename "$1") failed"; }
}

mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
WORK=$(mktemp -d "$OUT/.work.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
BRIDGE_FILES=("$HOST" "$host_name.json" "$host_name.firefox.json")
ZIPS=(extension-chromium.zip extension-firefox.zip)
rm -rf "$OUT/$MODULE" "$OUT/$INF" "$OUT/$CAB" "$OUT/$TAG" "$OUT/$CHECK" "$OUT/$BRIDGE_CHECK" "$OUT/$LIBRARY" \
       "$OUT/x64" "$OUT/$TWIN_CAB" \
       "${BRIDGE_FILES[@]/#/$OUT/}" "${ZIPS[@]/#/$OUT/}"

# fact KEY: what module_facts.exe said of the module packed last.
fact() { printf '%s\n' "$facts" | awk -v key="$1" '$1 == key { print $2 }'; }
# fill TEMPLATE BITNESS CABINET
fill() {
  sed -e "s/@CLSID@/$clsid/g" -e "s/@CLSID_BARE@/${clsid:1:36}/g" -e "s/@FILE_VERSION@/${version//./,}/g" \
      -e "s/@VERSION@/$version/g" -e "s/@HOST_NAME@/$host_name/g" \
      -e "s/@BITNESS@/$2/g" -e "s/@CAB@/$3/g" "$1"
}
# The INF's browser bridge (the lines "@BRIDGE:...@" and the blocks between "@BRIDGE_BEGIN@"
# and "@BRIDGE_END@") kept for the 32-bit cabinet, which carries the host, and cut from the
# twin's.
with_bridge() { sed -e '/@BRIDGE_\(BEGIN\|END\)@/d' -e 's/@BRIDGE:\([^@]*\)@/\1/'; }
without_bridge() { sed -e '/@BRIDGE_BEGIN@/,/@BRIDGE_END@/d' -e '/^@BRIDGE:[^@]*@$/d' -e 's/@BRIDGE:[^@]*@//'; }

# strip_and_sign STRIP BUILT OUT: stripped first, since stripping would break a signature
# made before it.
strip_and_sign() {
  "$1" --strip-all -o "$WORK/stripped" "$2"
  sign "$WORK/stripped" "$3"
}

# package BUILT_MODULE STRIP DIR CABINET BITNESS [FILE...]: the module stripped and signed
# into DIR, its INF beside it, and both with the FILEs of DIR in the signed CABINET of the
# output folder.
package() {
  local built=$1 strip=$2 dir=$3 cab=$4 bitness=$5
  shift 5
  mkdir -p "$dir"
  strip_and_sign "$strip" "$built" "$dir/$MODULE"
  # What the INF and the tag say, as the signed module says it.
  facts=$("$WIN/wine_run.sh" "$WIN/tools/package/module_facts.exe" "$(windows_path "$dir/$MODULE")" | tr -d '\r') ||
    fail "module_facts.exe could not read $dir/$MODULE"
  clsid=$(fact clsid)
  version=$(fact version)
  [[ $clsid =~ ^\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}$ ]] || fail "unexpected class identifier '$clsid'"
  [[ $version =~ ^[0-9]+(\.[0-9]+){3}$ ]] || fail "unexpected file version '$version'"
  [ "$version" = "$build_version" ] || fail "$built is version $version, the build's version value is $build_version"
  # INF files are read in the ANSI code page with CR LF line ends. Only the 32-bit module
  # is offered to the browsers' code download.
  if [ "$bitness" = 32-bit ]; then
    fill "$HERE/$INF.in" "$bitness" "$cab" | with_bridge | sed '/@CODE_DOWNLOAD_/d'
  else
    fill "$HERE/$INF.in" "$bitness" "$cab" | without_bridge | sed "/@CODE_DOWNLOAD_BEGIN@/,/@CODE_DOWNLOAD_END@/c\\
; For 64-bit hosts (script hosts, office macros): the sections below, run by the 64-bit\\
; rundll32. No code-download section: browsers install from $CAB."
  fi | sed 's/$/\r/' >"$dir/$INF"
  rm -f "$WORK/$cab"
  (cd "$dir" && gcab --create --zip --nopath "$WORK/$cab" "$INF" "$MODULE" "$@")
  sign "$WORK/$cab" "$OUT/$cab"
  echo "  $cab  $(bytes "$OUT/$cab") bytes, $bitness: $MODULE $(bytes "$dir/$MODULE") bytes (built $(bytes "$built")),"
  echo "      version $version, class $clsid; $INF $(bytes "$dir/$INF") bytes"
}

echo "made in $OUT:"
if [ -n "$twin" ]; then
  package "$twin/$MODULE" x86_64-w64-mingw32-strip "$OUT/x64" "$TWIN_CAB" 64-bit
  twin_signature=$(fact maker_signature)
fi
# The browser bridge: the (32-bit) host, which serves 64-bit Windows too, and its manifests
# with the host beside them (a relative "path" counts from the manifest's folder).
strip_and_sign i686-w64-mingw32-strip "$WIN/$HOST" "$OUT/$HOST"
sed 's|{{HOST_PATH}}|'"$HOST"'|' "$HOST_MANIFEST.chromium.json" >"$OUT/$host_name.json"
sed 's|{{HOST_PATH}}|'"$HOST"'|' "$HOST_MANIFEST.firefox.json" >"$OUT/$host_name.firefox.json"
# The 32-bit module last: the tag and the lines below speak of it.
package "$WIN/$MODULE" i686-w64-mingw32-strip "$OUT" "$CAB" 32-bit "${BRIDGE_FILES[@]}"
echo "  $HOST $(bytes "$OUT/$HOST") bytes, signed; its manifests $host_name.json and $host_name.firefox.json"
# One zip per store, the manifest at its root. The Chrome Web Store refuses a "key" and
# gives the ID itself (docs/deploying.md).
zip_extension() { # <built extension folder> <zip> [sed program for its manifest]
  rm -rf "$WORK/extension"
  cp -r "$1" "$WORK/extension"
  [ -z "${3:-}" ] || sed -i "$3" "$WORK/extension/manifest.json"
  (cd "$WORK/extension" && cmake -E tar cf "$OUT/$2" --format=zip -- *)
  echo "  $2 $(bytes "$OUT/$2") bytes"
}
zip_extension "$NATIVE/extension/chromium" extension-chromium.zip '/^  "key": /d'
zip_extension "$NATIVE/extension/firefox" extension-firefox.zip
fill "$HERE/$TAG.in" 32-bit "$CAB" >"$OUT/$TAG"
fill "$HERE/$CHECK.in" 32-bit "$CAB" >"$OUT/$CHECK"
fill "$HERE/$BRIDGE_CHECK.in" 32-bit "$CAB" >"$OUT/$BRIDGE_CHECK"
cp "$NATIVE/page_library/$LIBRARY" "$OUT/$LIBRARY"
echo "  $TAG, $CHECK, $BRIDGE_CHECK, $LIBRARY"
subject() { openssl x509 -inform "$1" -in "$cert" -noout -subject -nameopt oneline,-space_eq 2>/dev/null; }
echo "signed by $( (subject pem || subject der) | sed 's/^subject=//')"
# shellcheck source=publisher_verdict.sh
. "$HERE/publisher_verdict.sh"
verdict=$(publisher_verdict "$(fact maker_signature)" "$cert" \
  "$(sed -n 's/^VL_PUBLISHER_SERIAL:STRING=//p' "$WIN/CMakeCache.txt")" "$WIN/$VL_TEST_SIGN_ROOT")
echo "the control's publisher check would accept it as the maker's: ${verdict%%$'\n'*}${twin:+ (the twin: $twin_signature)}"
[ "$verdict" = yes ] || printf '%s\n' "${verdict#*$'\n'}"
if [ -n "$test_signer" ]; then
  echo "NOTE: signed with the TEST maker certificate of the build tree ($cert)."
  echo "      Browsers do not trust it: do not deploy this package. Sign with the real"
  echo "      certificate: VL_SIGN_CERT=<certificate> VL_SIGN_KEY=<key> ./run package"
fi
# A store whose ID the host's manifest does not name: the host refuses that store's users.
for store in CHROME_WEB_STORE:"Chrome Web Store" EDGE_ADDONS:"Edge Add-ons"; do
  if grep -qx "set(VL_EXTENSION_${store%%:*}_ID \"\")" "$HERE/../../web/extension/identity.cmake"; then
    echo "NOTE: no ${store#*:} ID in web/extension/identity.cmake (VL_EXTENSION_${store%%:*}_ID): the host"
    echo "      refuses the extension installed from there; fill it in (docs/deploying.md, 3)."
  fi
done

if [ -n "$sizes" ]; then
  line="\`./run package\` on $(date -u '+%Y-%m-%d %H:%M UTC'): \`$MODULE\` $(bytes "$WIN/$MODULE") bytes as built,"
  line+=" $(bytes "$OUT/$MODULE") bytes stripped and signed; \`$CAB\` $(bytes "$OUT/$CAB") bytes"
  line+=" (MSZIP, the module, the service host, its manifests and the INF, signed);"
  line+=" \`$HOST\` $(bytes "$WIN/$HOST") bytes as built, $(bytes "$OUT/$HOST") stripped and signed;"
  line+=" the extension's zips $(bytes "$OUT/${ZIPS[0]}") (Chromium) and $(bytes "$OUT/${ZIPS[1]}") bytes (Firefox)."
  [ -n "$twin" ] && line+=" The twin's \`$TWIN_CAB\`: $(bytes "$OUT/$TWIN_CAB") bytes, its module $(bytes "$OUT/x64/$MODULE") bytes stripped and signed."
  printf '## Package\n\n%s\n' "$line" >"$sizes"
  echo "sizes written to $sizes"
fi
