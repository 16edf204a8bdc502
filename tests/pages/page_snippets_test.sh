#!/usr/bin/env bash
# Runs every page snippet of the page authors' reference as its text says, and holds it to
# the output the text shows, so that the reference cannot drift from the control:
#
#   tests/pages/page_snippets_test.sh <win32 build> <win64 build> <markdown file>
#
# A snippet is a ```js or ```html block. Each of its runs follows it as a line
#   `./run page <file name> [options]` prints:
# and a ```text block with the output. Every snippet has at least one run; each run goes
# through tools/page.sh, as `./run page` does, with the page library vlservice.js beside
# the page. Runs in Chromium, `./run browser-page <file name> [options]` prints:, count as
# runs here and are run by tests/browser/reference_snippets_test.mjs. The ctest
# page_reference_snippets, with DISPLAY set, as root. Exit status 0 when every run printed
# what the text shows.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
WIN32=${1:?usage: page_snippets_test.sh <win32 build> <win64 build> <markdown file>}
WIN64=${2:?}
TEXT=${3:?}
LIBRARY=${VL_NATIVE_DIR:-$WIN32/../native}/page_library/vlservice.js
WORK=$(mktemp -d "${TMPDIR:-/tmp}/vl-snippets.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

# One folder per run, and a file for each snippet without a run (tests/pages/reference_runs.mjs).
node "$ROOT/tests/pages/reference_runs.mjs" "$TEXT" "$WORK" || { echo "FAILED: cannot read the runs of $TEXT"; exit 1; }

failures=0
for orphan in "$WORK"/orphan-*; do
  [ -e "$orphan" ] || continue
  echo "FAILED: the snippet at line ${orphan##*-} of $TEXT has no run (\`./run page <file> ...\` prints:)"
  failures=$((failures + 1))
done
runs=0
for dir in "$WORK"/run-*; do
  [ -d "$dir" ] || continue
  runs=$((runs + 1))
  file=$(cat "$dir/file")
  read -r -a options <"$dir/options"
  cp "$LIBRARY" "$dir/vlservice.js"
  "$ROOT/tools/page.sh" "$WIN32" "$WIN64" "$dir/$file" "${options[@]}" 2>&1 | tr -d '\r' >"$dir/output"
  if cmp -s "$dir/expected" "$dir/output"; then
    echo "ok: ./run page $file ${options[*]}"
  else
    echo "FAILED: ./run page $file ${options[*]} printed otherwise (- the reference, + the page):"
    diff -u "$dir/expected" "$dir/output" | tail -n +3 | sed 's/^/    /'
    failures=$((failures + 1))
  fi
done
[ "$runs" -gt 0 ] || { echo "FAILED: no snippet runs found in $TEXT"; exit 1; }
echo
if [ "$failures" -eq 0 ]; then
  echo "page_snippets_test: PASSED, $runs runs"
  exit 0
fi
echo "page_snippets_test: $failures FAILED of $runs runs"
exit 1
