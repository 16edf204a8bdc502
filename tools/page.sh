#!/usr/bin/env bash
# Tries a page author's page against the control, the way `./run page` does:
#
#   tools/page.sh <win32 build> <win64 build> <file.js|file.html> [--url <page address>]
#                 [--caller trusted|untrusted] [--no-kernel] [--no-control] [--bits 32|64]
#                 [--time-limit <seconds>] [--kernel-behaviour <words>]
#
# The options may stand before or after the page.
# In a private network where the portal's hosts are our patch server (with the signed
# stand-in updater and kernel published in every patch folder), on a throwaway layer over
# the build's Wine prefix, with the test root trusted for this command only:
#   - the control is registered (or, with --no-control, every registration of it removed,
#     so that the page's "not installed" branch runs);
#   - the product state is reset and the signed stand-in kernel and updater are put in the
#     home folder (with --no-kernel the home folder stays empty: a first visit);
#   - the page runs in pagehost.exe at the page address (default: the TW;Production portal
#     page) as a web page (--caller untrusted, the default) or a trusted local caller, and
#     a browser that the control asks the shell to open is printed instead of opened;
#   - the stand-in kernel behaves as --kernel-behaviour says (VL_KERNEL_BEHAVIOUR, words of
#     tools/README.md such as late:<ms> or never_answer; default: the normal kernel).
# What the page prints is printed; the exit status is the page's (pagehost.exe's). A page
# still running after --time-limit seconds (default 300) is ended, with a line that says
# so, and the status is 124. Nothing the run does outlives it. Needs root (namespaces),
# DISPLAY and the built trees.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
USAGE="usage: ./run page <file.js|file.html> [--url <page address>] [--caller trusted|untrusted] [--no-kernel] [--no-control] [--bits 32|64] [--time-limit <seconds>] [--kernel-behaviour <words>]"
# shellcheck source=common/portal_setup.sh
. "$ROOT/tools/common/portal_setup.sh"

usage() { echo "$USAGE" >&2; exit 2; }

inside=
if [ "${1:-}" = --in-network ]; then
  inside=1
  shift
fi
[ $# -ge 3 ] || usage
WIN32=$(cd "$1" && pwd) || usage
WIN64=$2
shift 2
PAGE= URL= CALLER=untrusted KERNEL=1 CONTROL=1 BITS=32 TIME_LIMIT=300 BEHAVIOUR=
while [ $# -gt 0 ]; do
  case $1 in
    --url) URL=${2:-}; [ -n "$URL" ] || usage; shift 2 ;;
    --caller) CALLER=${2:-}; [ "$CALLER" = trusted ] || [ "$CALLER" = untrusted ] || usage; shift 2 ;;
    --no-kernel) KERNEL=; shift ;;
    --no-control) CONTROL=; shift ;;
    --bits) BITS=${2:-}; [ "$BITS" = 32 ] || [ "$BITS" = 64 ] || usage; shift 2 ;;
    --time-limit) TIME_LIMIT=${2:-}; [[ $TIME_LIMIT =~ ^[1-9][0-9]{0,4}$ ]] || usage; shift 2 ;;
    --kernel-behaviour) BEHAVIOUR=${2:-}; [ -n "$BEHAVIOUR" ] || usage; shift 2 ;;
    -*) usage ;;
    *) [ -z "$PAGE" ] || usage; PAGE=$1; shift ;;
  esac
done
[ -n "$PAGE" ] || usage
NATIVE=${VL_NATIVE_DIR:-$WIN32/../native}
if [ "$BITS" = 64 ]; then
  WIN=$(cd "$WIN64" && pwd) || { echo "page: $WIN64 is not built (./run build)" >&2; exit 2; }
  # The system's own programs (regsvr32, reg) as 64-bit ones, in the 64-bit view.
  export VL_WINE_LOADER
  VL_WINE_LOADER=$(command -v wine64 || echo /usr/lib/wine/wine64)
else
  WIN=$WIN32
fi
PREFIX=$WIN/wineprefix
export VL_WINEPREFIX=$PREFIX
[ -n "$URL" ] || URL=$("$NATIVE/endpoint_hosts_dump" --endpoint "TW;Production" 3)

if [ -n "$inside" ]; then
  # The layer over the prefix is this run's own: set it up, run the page. Its wineserver
  # and the session's own processes stay up between the programs (run_in_netns.sh ends
  # them), which spares each program the start of a new session; they hold no output of
  # the steps below.
  WINEPREFIX=$PREFIX wineserver -p </dev/null >/dev/null 2>&1
  "$WIN/wine_run.sh" cmd /c exit </dev/null >/dev/null 2>&1
  failure=
  if [ -n "$CONTROL" ]; then
    failure=$(register_control "$WIN/VLServiceAdapter.ocx" 2>&1)
  else
    failure=$(unregister_control "$WIN/VLServiceAdapter.ocx" 2>&1)
  fi
  [ -z "$failure" ] && { failure=$(reset_product_state "$PREFIX" 2>&1) || true; }
  if [ -z "$failure" ] && [ -n "$KERNEL" ]; then
    home=$(home_folder "$PREFIX")
    cp "$WIN32/signed/VLWidgetKernel.exe" "$home/VLWidgetKernel.exe" &&
      cp "$WIN32/signed/VLUpdate.exe" "$home/VLUpdate.exe" || failure="cannot put the kernel in $home"
  fi
  if [ -n "$failure" ]; then
    echo "page: setting up the prefix failed: $failure" >&2
    exit 3
  fi
  [ -z "$BEHAVIOUR" ] || export VL_KERNEL_BEHAVIOUR=$BEHAVIOUR
  started=$SECONDS
  PAGE_TIME_LIMIT=$TIME_LIMIT show_page_host "$WORK/page.out" '' --url "$URL" --caller "$CALLER" --record-browser \
    --script "$(windows_path "$PAGE")"
  status=$?
  # timeout's status when it ended the page host (124), or killed it later (137).
  if { [ "$status" = 124 ] || [ "$status" = 137 ]; } && [ $((SECONDS - started)) -ge "$TIME_LIMIT" ]; then
    echo "page: ended after $TIME_LIMIT s, the time limit (--time-limit <seconds> sets another)" >&2
    exit 124
  fi
  exit "$status"
fi

[ -f "$PAGE" ] || { echo "page: no page at $PAGE" >&2; exit 2; }
PAGE=$(cd "$(dirname "$PAGE")" && pwd)/$(basename "$PAGE")
for f in "$WIN/VLServiceAdapter.ocx" "$WIN/pagehost.exe" "$WIN32/signed/VLUpdate.exe" \
         "$WIN32/signed/VLWidgetKernel.exe" "$WIN32/certs/test_root.crt" "$NATIVE/patch_server" \
         "$NATIVE/endpoint_hosts_dump" "$NATIVE/kernel_behaviour_check"; do
  [ -f "$f" ] || { echo "page: $f is missing; build first (./run build)" >&2; exit 2; }
done
# A kernel that does not understand its behaviour ends at once, unseen: asked first.
if [ -n "$BEHAVIOUR" ] && ! behaviour_refused=$("$NATIVE/kernel_behaviour_check" "$BEHAVIOUR" 2>&1); then
  echo "page: $behaviour_refused" >&2
  exit 2
fi
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vl-page.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export WORK
mapfile -t folders < <("$NATIVE/endpoint_hosts_dump" --patch-folders)
publish_programs "$WIN32" "$WORK/portal" "${folders[@]}" || { echo "page: cannot publish the programs" >&2; exit 3; }

# Only what the portal publishes decides where the programs come from, and only
# --kernel-behaviour how the kernel behaves.
env -u VL_UPDATER_SOURCE -u VL_KERNEL_BEHAVIOUR \
  "$ROOT/tools/netns/run_in_netns.sh" --native-dir "$NATIVE" --wine-prefix "$PREFIX" \
  --test-root "$WIN32/certs/test_root.crt" --root "$WORK/portal" --log "$WORK/portal.log" \
  -- "$0" --in-network "$WIN32" "$WIN64" "$PAGE" --url "$URL" --caller "$CALLER" --bits "$BITS" \
  --time-limit "$TIME_LIMIT" ${BEHAVIOUR:+--kernel-behaviour "$BEHAVIOUR"} \
  $([ -n "$KERNEL" ] || echo --no-kernel) $([ -n "$CONTROL" ] || echo --no-control)
