#!/usr/bin/env bash
# The deployable package as a portal and a browser meet it: made by
# tools/package/make_package.sh from the Windows build tree, then checked
#   - the cabinet holds exactly the module and its INF (and, 32-bit only, the service host and
#     its manifests), and the signatures verify (osslsigncode, and the control's own
#     publisher check on the extracted module);
#   - the browser bridge (32-bit only): each host manifest allows only the extension, the
#     extension's zips hold the release build (the store's without a "key"), and Firefox ESR
#     takes its zip (tools/browser/firefox.sh: root, as the ctest runs);
#   - in a throwaway Wine prefix of its own (its Documents a link to a folder inside it, as
#     ./run lays out the build trees' prefixes, never the real home), the platform's cabinet
#     extraction and INF installer (advpack's LaunchINFSection through rundll32) install and
#     register the control: its ProgID resolves, its server is the installed file, a script
#     host creates it;
#   - the class identifier and the version in the INF and the page's tag are the module's;
#   - the INF installs the service host with its manifests and registers it for Chrome, Edge
#     and Firefox under the machine's keys (its lines for both registry views), removing the
#     user's keys of earlier packages; the installed host, found through a key, serves a
#     portal page;
#   - the INF's uninstall removes what the install added (the type library's entries stay),
#     and the user's keys of earlier packages;
#   - make_package.sh's output says whether the publisher check would accept the signer,
#     and, where it would not, why and what to do;
#   - one version everywhere: the build's version value, the module's file version and
#     GetVersion's text, the INF, the tag and the check page;
#   - the package's pages (object-tag.html, check-control.html) print what they should in
#     the page host, as `./run page` runs them, and docs/deploying.md's `osslsigncode verify`
#     line succeeds on the test-signed package with the test root trusted (32-bit only).
# With --twin the same for the 64-bit twin's cabinet, in a 64-bit prefix where the 64-bit
# installer, registry view and script host serve it (and the 32-bit view stays empty).
#
#   tests/package/package_test.sh <Windows build dir> [--twin <64-bit build dir>]
#
# The ctests package_install and package_install_twin, with DISPLAY set; root for the
# Firefox check's test network. Exit status 0 when every check passed; what each step printed is kept in
# <tested build dir>/package_test.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WIN=$(cd "${1:?usage: tests/package/package_test.sh <Windows build dir> [--twin <64-bit build dir>]}" && pwd)
TWIN=
[ "${2:-}" = --twin ] && TWIN=$(cd "${3:?}" && pwd)
if [ -n "$TWIN" ]; then
  # The twin's programs run in a 64-bit prefix of its own (its wine_run.sh makes one), the
  # system's programs there (rundll32, cscript, reg) as 64-bit ones.
  TESTED=$TWIN CAB=VLServiceAdapter64.cab PACKED=x64 WINE_RUN=$TWIN/wine_run.sh
  export VL_WINE_LOADER
  VL_WINE_LOADER=$(command -v wine64 || echo /usr/lib/wine/wine64)
else
  TESTED=$WIN CAB=VLServiceAdapter.cab PACKED=. WINE_RUN=$WIN/wine_run.sh
fi
WORK=$TESTED/package_test
DIST=$WORK/dist
EXTRACTED=$WORK/extracted
PREFIX=$WORK/prefix
# shellcheck source=../../tools/package/test_signer.sh
. "$ROOT/tools/package/test_signer.sh"

failures=0
check() { # <what> <command...>: one check, reported either way
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
same() { [ "$1" = "$2" ] || { echo "    '$1' is not '$2'"; return 1; }; }
# same_value A B: as same, for two texts read from two places, which must not agree by both
# being missing.
same_value() { [ -n "$1" ] || { echo "    nothing was read"; return 1; }; same "$1" "$2"; }
# listing_change OPTION BEFORE AFTER: comm OPTION of two sorted listings that must both have
# been made: a listing that is missing or empty would pass as "nothing changed".
listing_change() {
  local listing
  for listing in "$2" "$3"; do [ -s "$listing" ] || { echo "    $listing is missing or empty" >&2; return 1; }; done
  LC_ALL=C comm "$1" "$2" "$3"
}
not() { ! "$@"; }
# shellcheck source=../../tools/common/windows_path.sh
. "$ROOT/tools/common/windows_path.sh"
# shellcheck source=../../tools/common/prefix_documents.sh
. "$ROOT/tools/common/prefix_documents.sh"

# Windows programs run in the throwaway prefix, each ended after $1 seconds at the latest.
wine_in_prefix() {
  local seconds=$1
  shift
  VL_WINEPREFIX=$PREFIX timeout -k 5 "$seconds" "$WINE_RUN" "$@" 2>>"$WORK/wine.log" | tr -d '\r'
}
stop_prefix() { WINEPREFIX=$PREFIX wineserver -k 2>/dev/null; WINEPREFIX=$PREFIX wineserver -w 2>/dev/null; }
# The classes root as text, one line per value with its key in front: comparable as sets.
classes_root() {
  wine_in_prefix 120 reg export HKCR "$(windows_path "$WORK/classes.reg")" /y >/dev/null
  iconv -f UTF-16LE -t UTF-8 "$WORK/classes.reg" | tr -d '\r' |
    awk '/^\[/ { key = $0; print key; next } NF { print key $0 }' | LC_ALL=C sort
}
run_inf_section() { # <section>
  wine_in_prefix 120 rundll32 advpack.dll,LaunchINFSection "$(windows_path "$EXTRACTED/VLServiceAdapter.inf"),$1,1" >/dev/null
}

[ -n "${DISPLAY:-}" ] || { echo "package_test: needs DISPLAY (./run ctest sets it)" >&2; exit 2; }
stop_prefix
rm -rf "$WORK"
mkdir -p "$WORK"
trap 'stop_prefix; rm -rf "$PREFIX"' EXIT

echo "== making the package"
env -u VL_SIGN_CERT -u VL_SIGN_KEY "$ROOT/tools/package/make_package.sh" ${TWIN:+--twin "$TWIN"} "$WIN" "$DIST" \
  >"$WORK/package.log" 2>&1 ||
  { cat "$WORK/package.log"; echo "FAILED: make_package.sh"; exit 1; }
sed 's/^/    /' "$WORK/package.log"
check "the output says that the test certificate signed" grep -q "TEST maker certificate" "$WORK/package.log"
check "the output says that the publisher check accepts it where the test root is trusted" grep -qx \
  "the control's publisher check would accept it as the maker's: yes${TWIN:+ (the twin: yes)}" "$WORK/package.log"
if [ -z "$TWIN" ]; then
  # Where the check would refuse, the output says why and what to do.
  # shellcheck source=../../tools/package/publisher_verdict.sh
  . "$ROOT/tools/package/publisher_verdict.sh"
  explains() { # <certificate of the build's certs/> <words of the reason>
    local verdict
    verdict=$(publisher_verdict no "$WIN/certs/$1.crt" "$(sed -n 's/^VL_PUBLISHER_SERIAL:STRING=//p' "$WIN/CMakeCache.txt")" \
      "$WIN/$VL_TEST_SIGN_ROOT")
    [ "${verdict%%$'\n'*}" = no ] && grep -q "To do: " <<<"$verdict" && grep -qF "$2" <<<"$verdict"
  }
  check "a refusal of another serial's certificate says why" explains other_serial "is not the maker's serial"
fi
inf_clsid=$(tr -d '\r' <"$DIST/VLServiceAdapter.inf" | sed -n 's/^clsid=//p')
inf_version=$(tr -d '\r' <"$DIST/VLServiceAdapter.inf" | sed -n 's/^FileVersion=//p')
twin_inf_sections=
[ -n "$TWIN" ] && twin_inf_sections=$(tr -d '\r' <"$DIST/x64/VLServiceAdapter.inf" | grep '^\[' | tr '\n' ' ')
tag_clsid=$(sed -n 's/.*classid="clsid:\([^"]*\)".*/{\1}/p' "$DIST/object-tag.html")
tag_version=$(sed -n 's/.*codebase="VLServiceAdapter\.cab#version=\([^"]*\)".*/\1/p' "$DIST/object-tag.html")
HOST_NAME=com.torvane.vorlink.service_host
# An ID of web/extension/identity.cmake, empty for an empty slot.
extension_id() { sed -n 's/^set('"$1"' "\{0,1\}\([a-p]*\)"\{0,1\})$/\1/p' "$ROOT/web/extension/identity.cmake"; }
EXTENSION_ID=$(extension_id VL_EXTENSION_ID)
ALLOWED_ORIGINS=
for id in "$EXTENSION_ID" "$(extension_id VL_EXTENSION_CHROME_WEB_STORE_ID)" "$(extension_id VL_EXTENSION_EDGE_ADDONS_ID)"; do
  [ -n "$id" ] && ALLOWED_ORIGINS+="${ALLOWED_ORIGINS:+,}\"chrome-extension://$id/\""
done
CONTENTS="VLServiceAdapter.inf VLServiceAdapter.ocx "
[ -z "$TWIN" ] && CONTENTS+="VLServiceHost.exe $HOST_NAME.firefox.json $HOST_NAME.json "
HOST_FOLDER='C:\Program Files\Torvane\vorlink! service host'
# Where each browser looks for the host (under HKEY_LOCAL_MACHINE; earlier packages wrote the
# same keys under HKEY_CURRENT_USER) and the manifest it is given.
REGISTRATIONS=(
  "Software\Google\Chrome\NativeMessagingHosts\\$HOST_NAME $HOST_NAME.json"
  "Software\Microsoft\Edge\NativeMessagingHosts\\$HOST_NAME $HOST_NAME.json"
  "Software\Mozilla\NativeMessagingHosts\\$HOST_NAME $HOST_NAME.firefox.json"
)
# The default value of a key; fails when the key is missing.
key_default() {
  wine_in_prefix 60 reg query "$1" /ve | sed -n 's/^ *(Default) *REG_SZ *//p' | grep .
}
# The keys an earlier package left under the installing user's key.
add_earlier_user_keys() {
  local registration
  for registration in "${REGISTRATIONS[@]}"; do
    wine_in_prefix 60 reg add "HKCU\\${registration% *}" /ve /d "C:\\earlier\\${registration#* }" /f >/dev/null
    same "$(key_default "HKCU\\${registration% *}")" "C:\\earlier\\${registration#* }" || return 1
  done
}

echo "== the cabinet and its signatures"
check "the cabinet holds exactly the files it installs and its INF" \
  same "$(gcab --list "$DIST/$CAB" | LC_ALL=C sort | tr '\n' ' ')" "$CONTENTS"
verify() { osslsigncode verify -CAfile "$WIN/$VL_TEST_SIGN_ROOT" -in "$1" >>"$WORK/verify.log" 2>&1; }
check "the cabinet's signature verifies" verify "$DIST/$CAB"
if [ -z "$TWIN" ]; then
  echo "== the browser bridge's files"
  check "the service host's signature verifies" verify "$DIST/VLServiceHost.exe"
  # manifest_says <manifest> <expected JSON of name, path and allowed callers>
  manifest_says() {
    same "$(node -e 'const m = JSON.parse(require("fs").readFileSync(process.argv[1]));
      console.log(JSON.stringify([m.name, m.path, m.type, m.allowed_origins, m.allowed_extensions]))' "$1")" "$2"
  }
  check "the Chromium manifest allows exactly the extension's IDs" manifest_says "$DIST/$HOST_NAME.json" \
    "[\"$HOST_NAME\",\"VLServiceHost.exe\",\"stdio\",[$ALLOWED_ORIGINS],null]"
  check "the Firefox manifest allows only the extension's ID" manifest_says "$DIST/$HOST_NAME.firefox.json" \
    "[\"$HOST_NAME\",\"VLServiceHost.exe\",\"stdio\",null,[\"service@vorlink.com\"]]"
  # zip_holds <zip> <built extension> <manifest differences>: the built release extension,
  # its manifest at the root, with the given lines of the built manifest left out.
  zip_holds() {
    rm -rf "$WORK/zip" && mkdir -p "$WORK/zip" && (cd "$WORK/zip" && cmake -E tar xf "$DIST/$1") &&
      same "$(ls "$WORK/zip" | tr '\n' ' ')" "$(ls "$2" | tr '\n' ' ')" &&
      same "$(diff "$2/manifest.json" "$WORK/zip/manifest.json" | grep '^[<>]' | sed 's/": .*/":/')" "$3" &&
      for f in "$2"/*.js; do cmp -s "$f" "$WORK/zip/${f##*/}" || return 1; done
  }
  native=$(cd "$WIN/../native" && pwd)
  check "the stores' zip holds the Chromium release build without its key" \
    zip_holds extension-chromium.zip "$native/extension/chromium" '<   "key":'
  check "the Firefox zip holds the Firefox release build" zip_holds extension-firefox.zip "$native/extension/firefox" ""
  # The store's zip as Firefox ESR installs it, unsigned, reaching this tree's host.
  firefox_connects() {
    VL_FIREFOX_EXTENSION=$DIST/extension-firefox.zip VL_FIREFOX_PROFILE=$WORK/firefox \
      "$ROOT/tools/browser/firefox.sh" "$WIN" "https://www.vorlink.com/demo.html?report" 2>>"$WORK/firefox.log" |
      grep -qx "    connected from https://www.vorlink.com/demo.html?report"
  }
  check "Firefox ESR installs the Firefox zip and a portal page connects through the host" firefox_connects
fi
if [ -n "$TWIN" ]; then
  check "the twin's cabinet holds the 64-bit module" \
    same "$(od -An -tx1 -j$(($(od -An -tu4 -j60 -N4 "$DIST/x64/VLServiceAdapter.ocx") + 4)) -N2 "$DIST/x64/VLServiceAdapter.ocx" | tr -d ' ')" 6486
  check "the twin's INF offers no code download" same "$twin_inf_sections" \
    "[Version] [DefaultInstall] [DefaultUninstall] [DestinationDirs] [VLServiceAdapter.Files] [VLServiceAdapter.Register] [VLServiceAdapter.Unregister] [SourceDisksNames] [SourceDisksFiles] [Strings] "
fi

echo "== a throwaway prefix: extraction, the INF's install"
# Without the menu builder, which would write the desktop's menus into the real home.
VL_WINEPREFIX=$PREFIX WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=d;mshtml=d};winemenubuilder.exe=d" \
  "$WINE_RUN" wineboot -i >/dev/null 2>&1
# Wine links the new prefix's Documents into the real home (to the home itself where it has
# no Documents), where the control would make its home folder: nothing runs until it is not.
if own_documents "$PREFIX" && documents_are_own "$PREFIX"; then
  echo "ok: the throwaway prefix's Documents leads into the prefix, not the real home"
else
  echo "FAILED: the throwaway prefix's Documents leads to $(readlink -f "$(prefix_documents "$PREFIX")")"
  exit 1
fi
wine_in_prefix 120 extrac32 /Y /E /L "$(windows_path "$EXTRACTED")" "$(windows_path "$DIST/$CAB")" >/dev/null
check "the platform extracts every file" same "$(ls "$EXTRACTED" | LC_ALL=C sort | tr '\n' ' ')" "$CONTENTS"
check "the extracted files are the packed ones" cmp -s "$EXTRACTED/VLServiceAdapter.ocx" "$DIST/$PACKED/VLServiceAdapter.ocx"
check "the extracted module's signature verifies" verify "$EXTRACTED/VLServiceAdapter.ocx"
# The 32-bit program reads either module.
facts=$(wine_in_prefix 60 "$WIN/tools/package/module_facts.exe" "$(windows_path "$EXTRACTED/VLServiceAdapter.ocx")")
check "the control's publisher check accepts the extracted module" grep -qx "maker_signature yes" <<<"$facts"

# Before the install no script host finds the control; the run also leaves the host's own
# registrations in place before the classes root is read.
check "before the install, a script host cannot create the control" \
  same "$(wine_in_prefix 120 cscript //nologo "$(windows_path "$ROOT/tests/package/create_control.js")" | grep -c '^clsid ')" 0
system32=$PREFIX/drive_c/windows/system32
LC_ALL=C ls "$system32" >"$WORK/system32.before"
classes_root >"$WORK/classes.before"
[ -z "$TWIN" ] && check "the user keys of an earlier package are in place" add_earlier_user_keys
run_inf_section DefaultInstall
check "the module is installed in the system folder" cmp -s "$EXTRACTED/VLServiceAdapter.ocx" "$system32/VLServiceAdapter.ocx"
created=$(wine_in_prefix 120 cscript //nologo "$(windows_path "$ROOT/tests/package/create_control.js")")
sed 's/^/    /' <<<"$created"
said() { awk -v key="$1" '$1 == key { $1 = ""; sub(/^ /, ""); print }' <<<"$created"; }
check "the ProgID names the module's class" same_value "$(said clsid)" "$(awk '$1 == "clsid" { print $2 }' <<<"$facts")"
check "the class's server is the installed file" same "$(said server | tr '[:upper:]' '[:lower:]')" 'c:\windows\system32\vlserviceadapter.ocx'
# The control's own version text against the installed file's version resource.
created_and_answered() { [ -n "$(said GetVersion)" ] && same "$(said GetVersion)" "$(said FileVersion)"; }
check "a script host creates the control" created_and_answered
if [ -n "$TWIN" ]; then
  check "the 32-bit view of the registry does not hold the twin's class" \
    not wine_in_prefix 60 reg query "HKCR\\CLSID\\$(said clsid)\\InprocServer32" /reg:32
else
  echo "== the browser bridge installed"
  host_folder=$PREFIX/drive_c/Program\ Files/Torvane/vorlink!\ service\ host
  check "the host and its manifests are installed in their folder" \
    same "$(cd "$host_folder" && for f in *; do cmp -s "$f" "$DIST/$f" && echo "$f"; done | LC_ALL=C sort | tr '\n' ' ')" \
    "VLServiceHost.exe $HOST_NAME.firefox.json $HOST_NAME.json "
  for registration in "${REGISTRATIONS[@]}"; do
    check "HKLM\\${registration% *} names the installed ${registration#* }" \
      same "$(key_default "HKLM\\${registration% *}")" "$HOST_FOLDER\\${registration#* }"
    check "the earlier package's HKCU\\${registration% *} is gone" not key_default "HKCU\\${registration% *}"
  done
  # Wine's INF installer ignores the flag of the registry's 64-bit view and writes the one
  # view of the process: the INF's lines for the other view are read here.
  in_both_views() {
    local inf registration key
    inf=$(tr -d '\r' <"$EXTRACTED/VLServiceAdapter.inf") || return 1
    for registration in "${REGISTRATIONS[@]}"; do
      key="HKLM,\"${registration% *}\""
      same "$(grep -cxF "$key,,,\"%16422%\\Torvane\\vorlink! service host\\${registration#* }\"" <<<"$inf")" 1 &&
        same "$(grep -cxF "$key,,0x00001000,\"%16422%\\Torvane\\vorlink! service host\\${registration#* }\"" <<<"$inf")" 1 &&
        same "$(grep -cxF "$key" <<<"$inf")" 1 && same "$(grep -cxF "$key,,0x00003000" <<<"$inf")" 1 || return 1
    done
  }
  check "the INF writes and removes each key in the 32-bit and the 64-bit view" in_both_views
  # The browser's start of the host: the manifest's path from its folder, the extension's
  # origin as the argument, a portal page's address as the first message.
  page_message='{"id":0,"page":"https://www.vorlink.com/index.html"}'
  answered() {
    printf "\\x$(printf %02x ${#page_message})\\x00\\x00\\x00%s" "$page_message" |
      (cd "$host_folder" && VL_WINEPREFIX=$PREFIX timeout -k 5 60 "$WINE_RUN" ./VLServiceHost.exe \
        "chrome-extension://$EXTENSION_ID/" 2>>"$WORK/wine.log") | tail -c +5
  }
  check "the installed host accepts a portal page from the extension" same "$(answered)" \
    '{"id":0,"result":{"host":"'"$(said GetVersion)"'","kernel":""}}'
fi

echo "== the INF and the tag say what the module says"
check "the INF's uninstall names the module's class" \
  grep -qxF "HKCR,\"CLSID\\$(said clsid)\"" <(tr -d '\r' <"$EXTRACTED/VLServiceAdapter.inf")
check "INF clsid" same_value "$inf_clsid" "$(said clsid)"
check "INF FileVersion" same_value "$inf_version" "$(said FileVersion | tr . ,)"
if [ -z "$TWIN" ]; then
  check "tag classid" same_value "$tag_clsid" "$(said clsid)"
  check "tag version" same_value "$tag_version" "$(said FileVersion | tr . ,)"
fi

echo "== one version"
build_version=$(cat "$WIN/module_version.txt")
check "the module's file version is the build's version value" same "$(said FileVersion)" "$build_version"
check "GetVersion answers the build's version value" same "$(said GetVersion)" "$build_version"
[ -z "$TWIN" ] && check "the check page expects the build's version value" \
  grep -qF "var EXPECTED = \"$build_version\";" "$DIST/check-control.html"
[ -z "$TWIN" ] && check "the bridge's check page expects the build's version value" \
  grep -qF "const EXPECTED = \"$build_version\";" "$DIST/check-bridge.html"
[ -z "$TWIN" ] && check "the package's page library is the built one" \
  cmp -s "$DIST/vlservice.js" "${VL_NATIVE_DIR:-$WIN/../native}/page_library/vlservice.js"

if [ -z "$TWIN" ]; then
  echo "== the package's pages in the page host"
  # prints EXPECTED PAGE [OPTIONS]: the page run as ./run page runs it printed EXPECTED.
  prints() {
    local expected=$1
    shift
    same "$("$ROOT/tools/page.sh" "$WIN" "$WIN/../win64" "$@" 2>&1 | tr -d '\r')" "$expected"
  }
  not_installed="pagehost: <object id=\"VLServiceAdapter\"> could not be created (0x80040154); the page runs without it"
  install_from="pagehost: a browser would install it from VLServiceAdapter.cab#version=${build_version//./,}"
  check "object-tag.html links, hears the kernel and leaves" prints $'linked to the widget kernel\nOnResult 2 1 Echo=Page=object-tag' \
    "$DIST/object-tag.html"
  check "object-tag.html on a first visit opens the install page and waits for the update" prints \
    "pagehost: the control asked the shell to open \"C:\\Program Files\\Internet Explorer\\iexplore.exe\" http://tw.vorlink.com/vorlink_block/install.aspx (verb runas, hidden)
updating the widget kernel
finish the installation in the new window, then reload this page" "$DIST/object-tag.html" --no-kernel
  check "object-tag.html without the control shows its fallback content" prints "$not_installed
The vorlink! service adapter is not installed, or this browser cannot run it. Install it with Internet Explorer.
$install_from" "$DIST/object-tag.html" --no-control
  check "check-control.html on a portal site" prints "vorlink! service adapter check of http://tw.vorlink.com/default.aspx
control: installed, version $build_version
version: current
update status answered: Status=Waiting" "$DIST/check-control.html"
  check "check-control.html at another address" prints "vorlink! service adapter check of http://www.example.com/
control: installed, but it refuses this address: it serves the portal's own sites only" \
    "$DIST/check-control.html" --url http://www.example.com/

  echo "== docs/deploying.md's verification of the package's signature"
  readme_verify=$(sed -n 's/^    \(osslsigncode verify .*\)$/\1/p' "$ROOT/docs/deploying.md" | head -1)
  mkdir -p "$WORK/readme/build"
  ln -sfn "$DIST" "$WORK/readme/build/dist"
  check "\`$readme_verify\` succeeds" bash -c "cd '$WORK/readme' && $readme_verify >>'$WORK/verify.log' 2>&1"
fi

echo "== the INF's uninstall"
[ -z "$TWIN" ] && check "the user keys of an earlier package are in place again" add_earlier_user_keys
run_inf_section DefaultUninstall
classes_root >"$WORK/classes.after"
LC_ALL=C ls "$system32" >"$WORK/system32.after"
unchanged() { local change; change=$(listing_change "$1" "$2" "$3") || return 1; same "$change" ""; }
check "the module file is gone" unchanged -3 "$WORK/system32.before" "$WORK/system32.after"
if [ -z "$TWIN" ]; then
  check "the host's folder is gone" not test -e "$PREFIX/drive_c/Program Files/Torvane"
  for registration in "${REGISTRATIONS[@]}"; do
    check "HKLM\\${registration% *} is gone" not key_default "HKLM\\${registration% *}"
    check "the earlier package's HKCU\\${registration% *} is gone" not key_default "HKCU\\${registration% *}"
  done
fi
nothing_left() {
  local added
  added=$(listing_change -13 "$WORK/classes.before" "$WORK/classes.after") || return 1
  same "$(grep -v -i -E '^\[HKEY_CLASSES_ROOT\\(Wow6432Node\\)?(TypeLib|Interface)\\' <<<"$added")" ""
}
check "nothing of the install is left but the type library's entries" nothing_left
check "nothing that was there before is gone" unchanged -23 "$WORK/classes.before" "$WORK/classes.after"

echo
if [ "$failures" -eq 0 ]; then
  echo "package_test: PASSED"
  exit 0
fi
echo "package_test: $failures check(s) FAILED (logs in $WORK)"
exit 1
