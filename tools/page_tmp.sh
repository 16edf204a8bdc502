#!/usr/bin/env bash
# Tries a page author's page against the control, the way `./run page` does:
#
#   tools/page.sh <win32 build> <win64 build> <file.js|file.html> [--url <page address>]
#                 [--caller trusted|untrusted] [--no-kernel] [--no-control] [--bits 32|64]
#
# In a private network where the portal's hosts are our patch server (with the signed
# stand-in updater and kernel published in every patch folder), on a throwaway layer over
# the build's Wine prefix, with the test root trusted for this command only:
#   - the control is registered (or, with --no-control, every registration of it removed,
#     so that the page's "not installed" branch runs);
#   - the product state is reset and the signed stand-in kernel and updater are put in the
#     home folder (with --no-kernel the home folder stays empty: a first visit);
#   - the page runs in pagehost.exe at the page address (default: the TW;Production portal
#     page) as a web page (--caller untrusted, the default) or a trusted local caller, and
#     a browser that the control asks the shell to open is printed instead of opened.
# What the page prints is printed; the exit status is the page's (pagehost.exe's). Nothing
# the run does outlives it. Needs root (namespaces), DISPLAY and the built trees.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
USAGE="usage: ./run page <file.js|file.html> [--url <page address>] [--caller trusted|untrusted] [--no-kernel] [--no-control] [--bits 32|64]"
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
PAGE=$3
shift 3
URL= CALLER=untrusted KERNEL=1 CONTROL=1 BITS=32
while [ $# -gt 0 ]; do
  case $1 in
    --url) URL=${2:-}; [ -n "$URL" ] || usage; shift 2 ;;
    --caller) CALLER=${2:-}; [ "$CALLER" = trusted ] || [ "$CALLER" = untrusted ] || usage; shift 2 ;;
    --no-kernel) KERNEL=; shift ;;
    --no-control) CONTROL=; shift ;;
    --bits) BITS=${2:-}; [ "$BITS" = 32 ] || [ "$BITS" = 64 ] || usage; shift 2 ;;
    *) usage ;;
  esac
done
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
  show_page_host "$WORK/page.out" '' --url "$URL" --caller "$CALLER" --record-browser \
    --script "$(windows_path "$PAGE")"
  exit $?
fi

[ -f "$PAGE" ] || { echo "page: no page at $PAGE" >&2; exit 2; }
PAGE=$(cd "$(dirname "$PAGE")" && pwd)/$(basename "$PAGE")
for f in "$WIN/VLServiceAdapter.ocx" "$WIN/pagehost.exe" "$WIN32/signed/VLUpdate.exe" \
         "$WIN32/signed/VLWidgetKernel.exe" "$WIN32/certs/test_root.crt" "$NATIVE/patch_server" \
         "$NATIVE/endpoint_hosts_dump"; do
  [ -f "$f" ] || { echo "page: $f is missing; build first (./run build)" >&2; exit 2; }
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vl-page.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export WORK
mapfile -t folders < <("$NATIVE/endpoint_hosts_dump" --patch-folders)
publish_programs "$WIN32" "$WORK/portal" "${folders[@]}" || { echo "page: cannot publish the programs" >&2; exit 3; }

# Only what the portal publishes decides where the programs come from and how they behave.
env -u VL_UPDATER_SOURCE  \
  "$ROOT/tools/netns/run_in_netns.sh" --native-dir "$NATIVE" --wine-prefix "$PREFIX" \
  --test-root "$WIN32/certs/test_root.crt" --root "$WORK/portal" --log "$WORK/portal.log" \
  -- "$0" --in-network "$WIN32" "$WIN64" "$PAGE" --url "$URL" --caller "$CALLER" --bits "$BITS" \
  $([ -n "$KERNEL" ] || echo --no-kernel) $([ -n "$CONTROL" ] || echo --no-control)
