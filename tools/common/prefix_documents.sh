# The Documents folder of a Wine prefix of ours, sourced (bash) by ./run for the build trees'
# prefixes and by the package's test for its throwaway one. Wine links a user's Documents
# (and Desktop, Music, ...) to the Unix home, or to the home itself where it has no such
# folder; ours keeps that layout, a link to a folder outside drive_c, but to the prefix's own
# "home/Documents": the programs under test never write into the real home.

# The prefix's Documents as Windows programs reach it.
prefix_documents() { printf '%s/drive_c/users/%s/Documents' "$1" "$(whoami)"; }
# The prefix's home folder "My Vorlink", where the control and the kernel find it.
home_folder() { printf '%s/My Vorlink' "$(prefix_documents "$1")"; }

# own_documents PREFIX: links PREFIX's Documents to PREFIX/home/Documents (made when
# missing). Wine's link goes, never what it points to; a folder left by an earlier layout
# holds only this prefix's test state.
own_documents() {
  local docs home
  docs=$(prefix_documents "$1")
  home=$(cd "$1" && pwd)/home/Documents
  [ "$(readlink "$docs")" = "$home" ] && return
  mkdir -p "$home" || return 1
  if [ -L "$docs" ]; then rm "$docs"; elif [ -d "$docs" ]; then rm -rf "$docs"; fi
  ln -s "$home" "$docs"
}

# documents_are_own PREFIX: whether PREFIX's Documents leads into the prefix itself.
documents_are_own() {
  case $(readlink -f "$(prefix_documents "$1")") in
    "$(readlink -f "$1")"/*) return 0 ;;
    *) return 1 ;;
  esac
}
