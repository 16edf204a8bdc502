#!/usr/bin/env bash
# The demo: a portal page (tools/demo/portal_page.js) drives the control on a machine that
# has no widget kernel yet. The control fetches the updater from the portal and starts it,
# the updater fetches and installs the kernel, and the page then links to the kernel and
# uses it. The portal's hosts are played by our patch server in a private network
# namespace (tools/netns/run_in_netns.sh), which also gives Wine a throwaway layer over the
# build's prefix: nothing the demo does there outlives it.
#
#   tools/demo.sh <Windows build dir>
#
# Called by `./run demo` and by ctest, with DISPLAY and WINEPREFIX set; needs root for the
# namespace. The native build tree (patch server) is $VL_NATIVE_DIR, by default beside the
# Windows tree. Exit status 0 when every step passed.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The portal of region TW, environment Production: the page runs as its install page, so
# the control fetches the updater itself; both programs come from the patch folder of its
# patch host, http://patch.tw.vorlink.com/vorlink05/.
PAGE_URL=http://tw.vorlink.com/vorlink_block/install.aspx
PATCH_FOLDER=vorlink05
# The control asks for VLUpdate_<version>.exe once the page has set an updater version,
# the updater for VLWidgetKernel_<version>.exe; the portal also serves the plain name
# (common/portal_setup.sh publishes them).
# shellcheck source=common/portal_setup.sh
. "$ROOT/tools/common/portal_setup.sh"

# Only what the portal publishes decides where the programs come from and how they behave.
unset VL_UPDATER_SOURCE VL_KERNEL_BEHAVIOUR

number=0     # steps of this script begun
steps=0      # and passed
page_steps=0 # steps of the page that passed
current=
failed=      # the first step that failed

step() {
  current=$1
  number=$((number + 1))
  printf '\n[%d] %s\n' "$number" "$1"
}
passed() { steps=$((steps + 1)); }
fail() {
  echo "    FAILED: $*"
  [ -n "$failed" ] || failed=$current
}
say() { echo "    $*"; }

# ---------------------------------------------------------------------------------------
# Outside the namespace: the signed module and the portal's files.

sign_module() {
  step "sign the control with the maker's certificate"
  local certs=$WIN/certs
  "$ROOT/cmake/sign.sh" "$certs" maker "$WIN/VLServiceAdapter.ocx" "$WORK/VLServiceAdapter.ocx" ||
    { fail "signing failed"; return; }
  if ! osslsigncode verify -CAfile "$certs/test_root.crt" -in "$WORK/VLServiceAdapter.ocx" >"$WORK/verify.log" 2>&1; then
    fail "the signature does not verify (see $WORK/verify.log)"
    return
  fi
  say "$WORK/VLServiceAdapter.ocx"
  say "signed by $(openssl x509 -in "$certs/maker.crt" -noout -subject -nameopt oneline,-space_eq | sed 's/^subject=//')," \
      "serial $(openssl x509 -in "$certs/maker.crt" -noout -serial | sed 's/^serial=//')"
  passed
}

publish_on_portal() {
  step "publish the updater and the widget kernel on the portal"
  rm -rf "$PORTAL"
  publish_programs "$WIN" "$PORTAL" "$PATCH_FOLDER" || { fail "cannot publish in $PORTAL"; return; }
  local name
  for name in "${PUBLISHED_UPDATERS[@]}" "$PUBLISHED_KERNEL"; do
    say "http://patch.tw.vorlink.com/$PATCH_FOLDER/$name ($(stat -c %s "$PORTAL/$PATCH_FOLDER/$name") bytes)"
  done
  passed
}

# ---------------------------------------------------------------------------------------
# Inside the namespace: the prefix is a throwaway layer with a wineserver of its own.

register_module() {
  step "register the signed control in the private prefix"
  local problem
  problem=$(register_control "$WORK/VLServiceAdapter.ocx" 2>&1) || { fail "$problem"; return; }
  local clsid
  clsid=$(registry_value "HKCR\\$PROGID\\CLSID" "")
  say "$PROGID = $clsid"
  say "InprocServer32 = $(registry_value "HKCR\\CLSID\\$clsid\\InprocServer32" "")"
  passed
}

reset_state() {
  step "reset the product state: no kernel, no product registry key, an empty home folder"
  local problem
  problem=$(reset_product_state "$PREFIX" 2>&1) || { fail "$problem"; return; }
  say "$PRODUCT_KEY: absent"
  say "$(windows_path "$(home_folder "$PREFIX")"): empty"
  passed
}

run_page() {
  step "open the portal page $PAGE_URL"
  say "script: tools/demo/portal_page.js"
  # Hosted as a browser hosts a web page: the control answers the portal's pages only.
  local status=0
  show_page_host "$WORK/page.out" '  | ' --url "$PAGE_URL" --caller untrusted \
    --script "$(windows_path "$ROOT/tools/demo/portal_page.js")" || status=$?
  tr -d '\r' <"$WORK/page.out" >"$WORK/page.log"
  local done_line failed_line
  done_line=$(grep -o 'page: all [0-9]* steps done' "$WORK/page.log")
  failed_line=$(grep -o 'page: FAILED at step .*' "$WORK/page.log")
  if [ "$status" -eq 0 ] && [ -n "$done_line" ]; then
    page_steps=$(echo "$done_line" | awk '{ print $3 }')
    passed
  elif [ -n "$failed_line" ]; then
    current="the portal page, ${failed_line#page: FAILED at }"
    fail "the page failed"
  elif [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    fail "the page did not end within 300 s"
  else
    fail "pagehost.exe ended with status $status"
  fi
}

# The kernel removes its "PID" value when it ends; a page that failed may leave it running.
check_nothing_left() {
  step "check that the kernel has ended"
  local pid
  pid=$(registry_value "$PRODUCT_KEY" PID)
  if [ -n "$pid" ]; then
    say "the kernel still runs (PID $((pid))): ending it"
    wine_bounded 30 taskkill /f /pid "$((pid))" >/dev/null
    fail "the kernel did not end with the page"
    return
  fi
  say "no kernel runs"
  if [ -s "$WORK/portal.log" ]; then
    say "the portal served:"
    sed 's/^/      /' "$WORK/portal.log"
  fi
  passed
}

in_network() {
  number=$1
  steps=$1
  register_module
  [ -z "$failed" ] && reset_state
  if [ -z "$failed" ]; then
    run_page
    # After a failed page too: it ends a kernel left behind.
    check_nothing_left
  fi
  printf '%s\n%s\n%s\n' "$steps" "$page_steps" "$failed" >"$RESULT"
}

# ---------------------------------------------------------------------------------------

inside=
if [ "${1:-}" = --in-network ]; then
  inside=1
  shift
fi
WIN=$(cd "${1:?usage: tools/demo.sh <Windows build dir>}" && pwd)
PREFIX=${VL_WINEPREFIX:-$WIN/wineprefix}
NATIVE=${VL_NATIVE_DIR:-$WIN/../native}
WORK=$WIN/demo
PORTAL=$WORK/portal
RESULT=$WORK/result

if [ -n "$inside" ]; then
  in_network "${2:?}"
  exit 0
fi

echo "== vorlink! service adapter: a portal page installs the widget kernel and uses it"
echo "   the page runs in pagehost.exe under Wine; the portal's hosts are served from"
echo "   $PORTAL inside a private network"

for f in "$WIN/VLServiceAdapter.ocx" "$WIN/pagehost.exe" "$WIN/certs/maker.crt" "$WIN/certs/test_root.crt" \
         "$WIN/signed/VLUpdate.exe" "$WIN/signed/VLWidgetKernel.exe" "$NATIVE/patch_server"; do
  [ -f "$f" ] || { echo "demo: $f is missing; build first (./run build)" >&2; exit 1; }
done
mkdir -p "$WORK"
rm -f "$RESULT" "$WORK/page.log" "$WORK/portal.log"

sign_module
[ -z "$failed" ] && publish_on_portal
if [ -z "$failed" ]; then
  # The kernel's download is paced (1 KiB every 3 ms, a few seconds on loopback) so that the
  # page has the updater's progress to show.
  # The programs' publisher check wants the maker's chain to end at a trusted root.
  "$ROOT/tools/netns/run_in_netns.sh" --native-dir "$NATIVE" --wine-prefix "$PREFIX" \
    --test-root "$WIN/certs/test_root.crt" --root "$PORTAL" --log "$WORK/portal.log" --slow-for VLWidgetKernel_1_0_0_10.exe --slow-delay-ms 3 \
    -- "$ROOT/tools/demo.sh" --in-network "$WIN" "$steps"
  { read -r steps && read -r page_steps && IFS= read -r failed; } <"$RESULT" 2>/dev/null ||
    failed="entering the private network"
fi

echo
if [ -z "$failed" ]; then
  echo "demo: PASSED, $((steps + page_steps)) steps ($steps here, $page_steps on the page)"
  exit 0
fi
echo "demo: FAILED at $failed"
exit 1
