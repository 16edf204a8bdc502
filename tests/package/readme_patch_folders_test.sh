#!/usr/bin/env bash
# The operators' table of patch folders (docs/deploying.md) says what the endpoint table says:
#   tests/package/readme_patch_folders_test.sh <endpoint_hosts_dump> <docs/deploying.md>
# Every row "| <region value> | <folder> |" of the table is the row's endpoint role 2.
set -uo pipefail
dump=${1:?usage: readme_patch_folders_test.sh <endpoint_hosts_dump> <docs/deploying.md>}
doc=${2:?}
rows=0 failures=0
while read -r region folder; do
  rows=$((rows + 1))
  actual=$("$dump" --endpoint "$region" 2)
  [ "$actual" = "$folder" ] || { echo "FAILED: $region: $doc says $folder, the table $actual"; failures=$((failures + 1)); }
done < <(sed -n 's/^ *| \([A-Z][A-Z];[A-Za-z0-9.]*\) | \(http[^ ]*\) |$/\1 \2/p' "$doc")
[ "$rows" -gt 0 ] || { echo "FAILED: no patch folder rows in $doc"; exit 1; }
[ "$failures" -eq 0 ] && echo "readme_patch_folders_test: $rows rows as the table says"
exit $((failures > 0))
