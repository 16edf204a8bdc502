# Sourced by the scripts that run a command in namespaces of their own (unshare, as root).

# Prints the calling script's synopsis (its fifth line) and ends it with status 2.
usage() {
  sed -n '5p' "$0" | sed 's/^# *//' >&2
  exit 2
}

# enter_namespaces MARKER UNSHARE_OPTION... -- ARGS...: runs the calling script again with
# ARGS in new namespaces (private mount propagation), once: the environment variable named
# MARKER tells the second run, which returns from here with MARKER unset.
enter_namespaces() {
  local marker=$1 options=()
  shift
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  if [ "${!marker:-}" != 1 ]; then
    [ "$(id -u)" -eq 0 ] || { echo "$(basename "$0"): needs root (unshare)" >&2; exit 2; }
    export "$marker=1"
    exec unshare "${options[@]}" --propagation private -- "$0" "$@"
  fi
  unset "$marker"
}
