#!/usr/bin/env bash
# Runs a command with the test root certificate authority trusted by Wine, without
# touching the machine's own trust:
#
#   with_test_root.sh ROOT_CERT [--wine-prefix PREFIX]... -- command [args...]
#
# Wine builds each process's root store from the host's CA bundle, so the command runs in
# a private mount namespace in which a copy of that bundle plus ROOT_CERT (PEM) is
# bind-mounted over it. A wineserver keeps in its registry the roots its processes found,
# for every later process it serves, also after this command: with --wine-prefix the
# command's Wine programs get a wineserver of their own for PREFIX, ended when the command
# ends (tools/trust/own_wineserver.sh). Without it the command must see to that itself.
# The command sees VL_TEST_ROOT_TRUSTED=1 (a script can wrap itself once with it). The exit
# status is the command's. Needs root (unshare).
set -euo pipefail
. "$(dirname "$0")/../common/namespaces.sh"

BUNDLE=/etc/ssl/certs/ca-certificates.crt

[ $# -ge 3 ] || usage
cert=$1
[ -s "$cert" ] || { echo "with_test_root.sh: no certificate at $cert" >&2; exit 2; }
grep -q -- '-----BEGIN CERTIFICATE-----' "$cert" || { echo "with_test_root.sh: $cert is not PEM" >&2; exit 2; }
enter_namespaces VL_TRUST_INSIDE --mount -- "$@"
shift

own_server=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  [ "$1" = --wine-prefix ] && [ $# -ge 2 ] || usage
  own_server+=("$2")
  shift 2
done
[ $# -ge 2 ] || usage
shift
[ ${#own_server[@]} -gt 0 ] && own_server=("$(dirname "$0")/own_wineserver.sh" "${own_server[@]}" --)

# Already trusted here (a wrapped command wraps another): nothing to mount again.
if [[ $(cat "$BUNDLE") == *"$(cat "$cert")"* ]]; then
  export VL_TEST_ROOT_TRUSTED=1
  exec "${own_server[@]}" "$@"
fi

# The copy lives on only through the mount, which ends with the namespace.
copy=$(mktemp /tmp/vl-ca-bundle.XXXXXX)
{ cat "$BUNDLE"; echo; cat "$cert"; } >"$copy"
chmod 644 "$copy"
mount --bind "$copy" "$BUNDLE"
rm -f "$copy"

export VL_TEST_ROOT_TRUSTED=1
exec "${own_server[@]}" "$@"
