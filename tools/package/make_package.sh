#!/usr/bin/env bash
# The package that a portal deploys, made from a Windows build tree:
#
#   tools/package/make_package.sh [--results FILE] <Windows build dir> <output dir>
#
# writes into the output folder
#   VLServiceAdapter.ocx   the release module, stripped of symbols and debug information,
#                          then Authenticode-signed
#   VLServiceAdapter.inf   the code-download INF, with the install and uninstall sections of
#                          the platform's INF installer
#   VLServiceAdapter.cab   both files in one MSZIP cabinet (gcab), signed (osslsigncode)
#   object-tag.html        the tag a page author pastes
# The class identifier and the version in the INF and the tag are read from the module
# (module_facts.exe under Wine, in the build's prefix), never typed here.
#
# Signing: VL_SIGN_CERT names the certificate (PEM or DER; a PEM file may carry the
# intermediate certificates after it) and VL_SIGN_KEY its private key; VL_SIGN_PASS_FILE a
# file holding the key's password, VL_SIGN_TIMESTAMP_URL an RFC 3161 time-stamp server.
# Without VL_SIGN_CERT and VL_SIGN_KEY the build's test maker certificate signs
# (tools/package/test_signer.sh), and the output says so.
# --results FILE replaces the "## Package" section of FILE (bench/RESULTS.md) with the sizes.
# Called by `./run package` with WINEPREFIX set; exit status 0 when all four files were made.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
MODULE=VLServiceAdapter.ocx
INF=VLServiceAdapter.inf
CAB=VLServiceAdapter.cab
TAG=object-tag.html
STRIP=i686-w64-mingw32-strip

results=
if [ "${1:-}" = --results ]; then
  results=${2:?}
  shift 2
fi
WIN=$(cd "${1:?usage: make_package.sh [--results FILE] <Windows build dir> <output dir>}" && pwd)
OUT=${2:?usage: make_package.sh [--results FILE] <Windows build dir> <output dir>}

fail() { echo "make_package: $*" >&2; exit 1; }
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
bytes() { stat -c %s "$1"; }

# The signer: the operator's certificate, or the test maker certificate said plainly.
if [ -n "${VL_SIGN_CERT:-}" ] || [ -n "${VL_SIGN_KEY:-}" ]; then
  [ -n "${VL_SIGN_CERT:-}" ] && [ -n "${VL_SIGN_KEY:-}" ] || fail "set both VL_SIGN_CERT and VL_SIGN_KEY"
  cert=$VL_SIGN_CERT key=$VL_SIGN_KEY test_signer=
else
  # shellcheck source=test_signer.sh
  . "$HERE/test_signer.sh"
  cert=$WIN/$VL_TEST_SIGN_CERT key=$WIN/$VL_TEST_SIGN_KEY test_signer=1
fi
for f in "$WIN/$MODULE" "$WIN/tools/package/module_facts.exe" "$cert" "$key"; do
  [ -f "$f" ] || fail "$f is missing (build first: ./run build)"
done
command -v gcab >/dev/null || fail "gcab is not installed"

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
rm -f "$OUT/$MODULE" "$OUT/$INF" "$OUT/$CAB" "$OUT/$TAG"

# The module: stripped first, since stripping would break a signature made before it.
"$STRIP" --strip-all -o "$WORK/stripped.ocx" "$WIN/$MODULE"
sign "$WORK/stripped.ocx" "$OUT/$MODULE"

# What the INF and the tag say, as the signed module says it.
facts=$("$WIN/wine_run.sh" "$WIN/tools/package/module_facts.exe" "$(windows_path "$OUT/$MODULE")" | tr -d '\r') ||
  fail "module_facts.exe could not read $OUT/$MODULE"
fact() { printf '%s\n' "$facts" | awk -v key="$1" '$1 == key { print $2 }'; }
clsid=$(fact clsid)
version=$(fact version)
[[ $clsid =~ ^\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}$ ]] || fail "unexpected class identifier '$clsid'"
[[ $version =~ ^[0-9]+(\.[0-9]+){3}$ ]] || fail "unexpected file version '$version'"
fill() {
  sed -e "s/@CLSID@/$clsid/g" -e "s/@CLSID_BARE@/${clsid:1:36}/g" -e "s/@FILE_VERSION@/${version//./,}/g" "$1"
}
# INF files are read in the ANSI code page with CR LF line ends.
fill "$HERE/$INF.in" | sed 's/$/\r/' >"$OUT/$INF"
fill "$HERE/$TAG.in" >"$OUT/$TAG"

(cd "$OUT" && gcab --create --zip --nopath "$WORK/$CAB" "$INF" "$MODULE")
sign "$WORK/$CAB" "$OUT/$CAB"

echo "made in $OUT:"
echo "  $MODULE  $(bytes "$OUT/$MODULE") bytes (built $(bytes "$WIN/$MODULE") bytes), version $version, class $clsid"
echo "  $INF  $(bytes "$OUT/$INF") bytes"
echo "  $CAB  $(bytes "$OUT/$CAB") bytes"
echo "  $TAG"
subject() { openssl x509 -inform "$1" -in "$cert" -noout -subject -nameopt oneline,-space_eq 2>/dev/null; }
echo "signed by $( (subject pem || subject der) | sed 's/^subject=//')"
echo "the control's publisher check would accept it as the maker's: $(fact maker_signature)"
if [ -n "$test_signer" ]; then
  echo "NOTE: signed with the TEST maker certificate of the build tree ($cert)."
  echo "      Browsers do not trust it: do not deploy this package. Sign with the real"
  echo "      certificate: VL_SIGN_CERT=<certificate> VL_SIGN_KEY=<key> ./run package"
fi

if [ -n "$results" ]; then
  line="\`./run package\` on $(date -u '+%Y-%m-%d %H:%M UTC'): \`$MODULE\` $(bytes "$WIN/$MODULE") bytes as built,"
  line+=" $(bytes "$OUT/$MODULE") bytes stripped and signed; \`$CAB\` $(bytes "$OUT/$CAB") bytes"
  line+=" (MSZIP, the module and its INF, signed)."
  # The section replaces its previous copy, wherever that stood; the rest stays as it was
  # but for blank lines at its end.
  touch "$results"
  awk '/^## / { skip = ($0 == "## Package") }
       skip { next }
       $0 == "" { blanks++; next }
       { for (; blanks > 0; blanks--) print ""; print }' "$results" >"$WORK/results"
  printf '\n## Package\n\n%s\n' "$line" >>"$WORK/results"
  cat "$WORK/results" >"$results"
  echo "size line written to $results"
fi
