#!/usr/bin/env bash
# `./run page` as a page author meets it (tools/page.sh): a bad command line is refused
# before anything runs, options stand before or after the page, the exit status is the
# page's, what the page prints is printed, a page past its time limit is ended with a line
# that says so, a kernel behaviour the stand-in kernel does not know is refused, and the
# run leaves no kernel and no registration behind in the build's prefix.
#
#   tests/pages/page_command_test.sh <win32 build> <win64 build>
#
# The ctest page_command, with DISPLAY set, as root. Exit status 0 when every check passed.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WIN32=${1:?usage: page_command_test.sh <win32 build> <win64 build>}
WIN64=${2:?}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vl-page-command.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
failures=0
check() { # <what> <expected status> <expected output> <page.sh arguments...>
  local what=$1 status=$2 expected=$3
  shift 3
  local output actual=0
  "$ROOT/tools/page.sh" "$WIN32" "$WIN64" "$@" >"$WORK/output" 2>&1 || actual=$?
  output=$(tr -d '\r' <"$WORK/output")
  if [ "$actual" = "$status" ] && [ "$output" = "$expected" ]; then
    echo "ok: $what"
  else
    echo "FAILED: $what: status $actual (not $status), output:"
    printf '%s\n' "$output" | sed 's/^/    /'
    failures=$((failures + 1))
  fi
}

printf 'host.print("before");\nhost.exit(7);\nhost.print("after");\n' >"$WORK/exit.js"
printf 'host.print("before");\nno_such_function();\n' >"$WORK/error.js"
printf 'host.sleep(600000);\n' >"$WORK/sleep.js"
usage="usage: ./run page <file.js|file.html> [--url <page address>] [--caller trusted|untrusted] [--no-kernel] [--no-control] [--bits 32|64] [--time-limit <seconds>] [--kernel-behaviour <words>]"

check "an unknown option is refused" 2 "$usage" "$WORK/exit.js" --colour red
check "a caller that is neither trusted nor untrusted is refused" 2 "$usage" "$WORK/exit.js" --caller admin
check "a bitness other than 32 or 64 is refused" 2 "$usage" "$WORK/exit.js" --bits 16
check "a second page is refused" 2 "$usage" "$WORK/exit.js" "$WORK/error.js"
check "a time limit of no seconds is refused" 2 "$usage" "$WORK/exit.js" --time-limit 0
check "a behaviour the stand-in kernel does not know is refused before anything runs" 2 \
  "page: the stand-in kernel does not understand the behaviour \"slow:5\" (its words: tools/README.md, \"Test behaviours\")" \
  --kernel-behaviour slow:5 "$WORK/exit.js"
check "a missing page is named" 2 "page: no page at $WORK/none.js" "$WORK/none.js"
check "the exit status is the page's, with the options before the page" 7 "before" --no-kernel "$WORK/exit.js"
check "a script error ends the page with status 1" 1 "before
script error at line 2, column 1: Object expected" "$WORK/error.js" --no-kernel
check "a page past its time limit is ended, and the line says so" 124 \
  "page: ended after 3 s, the time limit (--time-limit <seconds> sets another)" "$WORK/sleep.js" --no-kernel --time-limit 3

# The page ran on a throwaway layer: the build's prefix holds no registration from it.
if VL_WINEPREFIX="$WIN32/wineprefix" "$WIN32/wine_run.sh" reg query 'HKCU\Software\Torvane\vorlink!' /v PID >/dev/null 2>&1; then
  echo "FAILED: a kernel's PID is left in the build's prefix"
  failures=$((failures + 1))
else
  echo "ok: no kernel's PID is left in the build's prefix"
fi

echo
[ "$failures" -eq 0 ] && { echo "page_command_test: PASSED"; exit 0; }
echo "page_command_test: $failures check(s) FAILED"
exit 1
