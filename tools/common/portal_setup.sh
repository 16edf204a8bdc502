# Steps that the demo and `./run page` share, sourced by both (bash). They put a portal
# and a Wine prefix in the state a page expects: the signed stand-in programs published on
# the portal, the product state reset, the control registered or not.
# The caller sets WIN (the Windows build tree whose wine_run.sh runs programs) and, for a
# 64-bit prefix, VL_WINE_LOADER (wine64) so that the system's programs run as 64-bit ones.

PRODUCT_KEY='HKCU\Software\Torvane\vorlink!'
MACHINE_PRODUCT_KEY='HKLM\Software\Torvane\vorlink!'
PROGID=VLServiceAdapter.VLServiceAdapterX

# shellcheck source=windows_path.sh
. "$(dirname "${BASH_SOURCE[0]}")/windows_path.sh"
# shellcheck source=prefix_documents.sh
. "$(dirname "${BASH_SOURCE[0]}")/prefix_documents.sh"

# Runs a Windows program in the build's prefix, ended after $1 seconds at the latest.
wine_bounded() {
  local seconds=$1
  shift
  timeout -k 5 "$seconds" "$WIN/wine_run.sh" "$@" 2>&1 | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

# The data of registry value $2 under key $1 (the key's default value when $2 is empty);
# empty when there is none.
registry_value() {
  local which=(/v "$2") name=$2
  [ -n "$2" ] || { which=(/ve); name="(Default)"; }
  wine_bounded 30 reg query "$1" "${which[@]}" 2>/dev/null |
    awk -v name="$name" 'tolower($1) == tolower(name) { $1 = ""; $2 = ""; sub(/^ +/, ""); print; exit }'
}

# publish_programs WIN32 ROOT FOLDER...: the signed updater (under its plain name and its
# versioned one) and the signed kernel (under the name the updater fetches) of the 32-bit
# tree WIN32 in each patch folder FOLDER (as "/vorlink05/") below ROOT.
PUBLISHED_UPDATERS=(VLUpdate.exe VLUpdate_2_0_1_7.exe)
PUBLISHED_KERNEL=VLWidgetKernel_1_0_0_10.exe
publish_programs() {
  local win32=$1 root=$2 folder name
  shift 2
  for folder in "$@"; do
    mkdir -p "$root/$folder" || return 1
    for name in "${PUBLISHED_UPDATERS[@]}"; do cp "$win32/signed/VLUpdate.exe" "$root/$folder/$name" || return 1; done
    cp "$win32/signed/VLWidgetKernel.exe" "$root/$folder/$PUBLISHED_KERNEL" || return 1
  done
}

# reset_product_state PREFIX: no product key (the user's, and the machine's "envver"), an
# empty home folder. Fails, saying why, when the documents folder is not the prefix's own.
reset_product_state() {
  local documents
  documents=$(prefix_documents "$1")
  # ./run links the prefix's documents folder to a folder inside the prefix; never touch a
  # real home.
  documents_are_own "$1" || { echo "$documents is not the prefix's own folder" >&2; return 1; }
  wine_bounded 30 reg delete "$PRODUCT_KEY" /f >/dev/null 2>&1
  wine_bounded 30 reg delete "$MACHINE_PRODUCT_KEY" /f >/dev/null 2>&1
  if wine_bounded 30 reg query "$PRODUCT_KEY" >/dev/null 2>&1; then
    echo "$PRODUCT_KEY is still there" >&2
    return 1
  fi
  rm -rf "$documents/My Vorlink"
  mkdir -p "$documents/My Vorlink"
}

# register_control MODULE: registers the module; fails unless its class's server is it.
register_control() {
  wine_bounded 60 regsvr32 /s "$(windows_path "$1")" >/dev/null || { echo "regsvr32 failed" >&2; return 1; }
  local clsid server
  clsid=$(registry_value "HKCR\\$PROGID\\CLSID" "")
  server=$(registry_value "HKCR\\CLSID\\$clsid\\InprocServer32" "")
  [ "$server" = "$(windows_path "$1")" ] || { echo "registered as $server" >&2; return 1; }
}

# unregister_control MODULE: no registration of the control is left, whichever file made it,
# in either view of the registry.
unregister_control() {
  local clsid view
  clsid=$(registry_value "HKCR\\$PROGID\\CLSID" "")
  wine_bounded 60 regsvr32 /s /u "$(windows_path "$1")" >/dev/null 2>&1
  for view in /reg:32 /reg:64; do
    [ -n "$clsid" ] && wine_bounded 30 reg delete "HKCR\\CLSID\\$clsid" /f "$view" >/dev/null 2>&1
    wine_bounded 30 reg delete "HKCR\\$PROGID" /f "$view" >/dev/null 2>&1
  done
  [ -z "$(registry_value "HKCR\\$PROGID\\CLSID" "")" ] || { echo "$PROGID is still registered" >&2; return 1; }
}

# show_page_host OUTPUT PREFIX ARGUMENTS...: runs pagehost.exe of WIN with ARGUMENTS (at most
# PAGE_TIME_LIMIT seconds, default 300: then timeout's status 124) and shows its output as it
# comes, each line after PREFIX; the exit status is the page host's. The output goes to the file OUTPUT, not a pipe: the updater and the kernel
# inherit it and may outlive the page.
show_page_host() {
  local output=$1 prefix=$2
  shift 2
  : >"$output"
  timeout -k 10 "${PAGE_TIME_LIMIT:-300}" "$WIN/wine_run.sh" "$WIN/pagehost.exe" "$@" >"$output" 2>&1 &
  local page=$!
  tail -n +1 -s 0.2 -f --pid="$page" "$output" | sed -u "s/\r\$//; s/^/$prefix/; s/ *\$//" &
  local viewer=$!
  wait "$page"
  local status=$?
  wait "$viewer"
  return "$status"
}
