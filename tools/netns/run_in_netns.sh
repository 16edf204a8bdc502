#!/usr/bin/env bash
# Runs a command in a private network and mount namespace in which every host of the
# endpoint table resolves to 127.0.0.1, where our patch server answers on port 80.
#
#   run_in_netns.sh [--native-dir DIR] [--wine-prefix PREFIX] [--test-root CERT] --root DIR [patch_server options] -- command [args...]
#
# --native-dir  the native build tree holding patch_server and endpoint_hosts_dump
#               (default: $VL_NATIVE_DIR)
# --test-root   a root certificate (PEM) that the command's Wine programs trust, through
#               tools/trust/with_test_root.sh (default: $VL_TEST_ROOT; none when empty)
# --wine-prefix gives the command's Wine programs a wineserver of their own inside the
#               namespace, on a throwaway layer over PREFIX (changes are discarded), through
#               tools/trust/own_wineserver.sh. Needed: Wine creates every socket in the
#               wineserver, so programs talking to a wineserver outside would connect in the
#               outer network.
# --root and any other option go to patch_server (see tools/patch_server/patch_server.cpp);
# it serves DIR, created when missing. The exit status is the command's. Needs root.
set -euo pipefail
. "$(dirname "$0")/../common/namespaces.sh"
enter_namespaces VL_NETNS_INSIDE --mount --net -- "$@"

native=${VL_NATIVE_DIR:-}
test_root=${VL_TEST_ROOT:-}
prefix=
root=
server_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --) shift; break ;;
    --native-dir) native=${2:?}; shift 2 ;;
    --wine-prefix) prefix=${2:?}; shift 2 ;;
    --test-root) test_root=${2:?}; shift 2 ;;
    --root) root=${2:?}; server_args+=("$1" "$2"); shift 2 ;;
    --*) [ $# -ge 2 ] || usage; server_args+=("$1" "$2"); shift 2 ;;
    *) usage ;;
  esac
done
[ $# -gt 0 ] && [ -n "$root" ] && [ -n "$native" ] || usage
for tool in patch_server endpoint_hosts_dump; do
  [ -x "$native/$tool" ] || { echo "run_in_netns.sh: $native/$tool not built" >&2; exit 2; }
done
mkdir -p "$root"

# Scratch space that lives in this namespace only.
scratch=$(mktemp -d)
mount -t tmpfs -o mode=700 netns-scratch "$scratch"
server_pid=
cleanup() {
  set +e
  if [ -n "$server_pid" ]; then kill "$server_pid"; wait "$server_pid" 2>/dev/null; fi
  umount /etc/hosts 2>/dev/null
  umount "$scratch" && rmdir "$scratch"
}
trap cleanup EXIT

ip link set lo up

{
  printf '127.0.0.1\tlocalhost\n::1\tlocalhost\n'
  "$native/endpoint_hosts_dump" | sed 's/^/127.0.0.1\t/'
} >"$scratch/hosts"
mount --bind "$scratch/hosts" /etc/hosts

"$native/patch_server" --port 80 "${server_args[@]}" --ready-file "$scratch/ready" &
server_pid=$!
for _ in $(seq 100); do
  [ -e "$scratch/ready" ] && break
  kill -0 "$server_pid" 2>/dev/null || { server_pid=; echo "run_in_netns.sh: patch_server did not start" >&2; exit 2; }
  sleep 0.05
done
[ -e "$scratch/ready" ] || { echo "run_in_netns.sh: patch_server is not ready" >&2; exit 2; }

wrappers=()
[ -n "$prefix" ] && wrappers+=("$(dirname "$0")/../trust/own_wineserver.sh" "$prefix" --)
[ -n "$test_root" ] && wrappers+=("$(dirname "$0")/../trust/with_test_root.sh" "$test_root" --)
status=0
"${wrappers[@]}" "$@" || status=$?
exit "$status"
