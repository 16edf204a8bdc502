#!/usr/bin/env bash
# Runs a command whose Wine programs get a wineserver of their own for each prefix, ended
# when the command ends:
#
#   own_wineserver.sh PREFIX... -- command [args...]
#
# In a private mount namespace every PREFIX is overlaid with a throwaway layer: the layer
# gives the prefix a new identity and so a wineserver of its own, which nothing outside
# shares and which is stopped at the end; everything the command writes into the prefix
# (registry, documents) is discarded. The command sees the prefix as saved on disk: a
# wineserver outside may hold registry changes it has not yet written. What a wineserver
# took into its memory (the roots it trusts, say) thus never reaches another command's.
# The exit status is the command's. Needs root (unshare).
set -euo pipefail
. "$(dirname "$0")/../common/namespaces.sh"
enter_namespaces VL_OWN_SERVER_INSIDE --mount -- "$@"

prefixes=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do prefixes+=("$1"); shift; done
[ $# -ge 2 ] && [ ${#prefixes[@]} -gt 0 ] || usage
shift

# Scratch space that lives in this namespace only.
scratch=$(mktemp -d)
mount -t tmpfs -o mode=700 own-wineserver "$scratch"
layered=()
cleanup() {
  set +e
  local prefix server_dir
  for prefix in "${layered[@]}"; do
    # Our wineserver only: the overlay gives the prefix an identity of its own.
    server_dir=/tmp/.wine-$(id -u)/server-$(stat -c %D "$prefix")-$(printf %x "$(stat -c %i "$prefix")")
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    WINEPREFIX=$prefix wineserver -w 2>/dev/null
    umount "$prefix/home" 2>/dev/null
    umount "$prefix"
    rm -rf "$server_dir"
  done
  umount "$scratch" && rmdir "$scratch"
}
trap cleanup EXIT

n=0
for prefix in "${prefixes[@]}"; do
  [ -d "$prefix" ] || { echo "own_wineserver.sh: no prefix at $prefix" >&2; exit 2; }
  n=$((n + 1))
  mkdir "$scratch/upper$n" "$scratch/work$n"
  # The prefix's documents (home/, common/prefix_documents.sh) change under the layer while
  # other commands run in the prefix itself, and an overlay whose lower folder changes
  # misbehaves ("Directory not empty" when the command empties the home folder): the layer
  # takes a copy of them instead (a file that goes while it is copied is simply not in it).
  [ ! -d "$prefix/home" ] || cp -a "$prefix/home" "$scratch/home$n" 2>/dev/null || [ -d "$scratch/home$n" ]
  mount -t overlay own-wineserver-prefix -o "lowerdir=$prefix,upperdir=$scratch/upper$n,workdir=$scratch/work$n" "$prefix"
  layered+=("$prefix")
  [ ! -d "$scratch/home$n" ] || mount --bind "$scratch/home$n" "$prefix/home"
done

status=0
"$@" || status=$?
exit "$status"
