# A Unix path as Wine's Z: drive shows it. Sourced (bash) by the scripts that hand paths
# to Windows programs.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
