#!/usr/bin/env bash
# Runs a command with the test root certificate authority trusted by Wine, without
# touching the machine's own trust:
#
#   with_test_root.sh ROOT_CERT -- command [args...]
#
# Wine builds each process's root store from the host's CA bundle, so the command runs in
# a private mount namespace in which a copy of that bundle plus ROOT_CERT (PEM) is
# bind-mounted over it. The command sees VL_TEST_ROOT_TRUSTED=1 (a script can wrap itself
# once with it). The exit status is the command's. Needs root (unshare).
set -euo pipefail

BUNDLE=/etc/ssl/certs/ca-certificates.crt

usage() {
  sed -n '5p' "$0" | sed 's/^# *//' >&2
  exit 2
}

[ $# -ge 3 ] && [ "$2" = -- ] || usage
cert=$1
shift 2
[ -s "$cert" ] || { echo "with_test_root.sh: no certificate at $cert" >&2; exit 2; }
grep -q -- '-----BEGIN CERTIFICATE-----' "$cert" || { echo "with_test_root.sh: $cert is not PEM" >&2; exit 2; }

# Already trusted here (a wrapped command wraps another): nothing to mount again.
if [[ $(cat "$BUNDLE") == *"$(cat "$cert")"* ]]; then
  export VL_TEST_ROOT_TRUSTED=1
  exec "$@"
fi

if [ "${VL_TRUST_INSIDE:-}" != 1 ]; then
  [ "$(id -u)" -eq 0 ] || { echo "with_test_root.sh: needs root (unshare)" >&2; exit 2; }
  VL_TRUST_INSIDE=1 exec unshare --mount --propagation private -- "$0" "$cert" -- "$@"
fi
unset VL_TRUST_INSIDE

# The copy lives on only through the mount, which ends with the namespace.
copy=$(mktemp /tmp/vl-ca-bundle.XXXXXX)
{ cat "$BUNDLE"; echo; cat "$cert"; } >"$copy"
chmod 644 "$copy"
mount --bind "$copy" "$BUNDLE"
rm -f "$copy"

export VL_TEST_ROOT_TRUSTED=1
exec "$@"
