#!/usr/bin/env bash
# Chromium with the vorlink! extension and the service host installed for it: for trying
# portal pages by hand (`./run browser`) and for the browser tests.
#
#   browser.sh <win32 build dir> [chromium arguments...]
#
# - a fresh profile, <win32>/browser/profile or $VL_BROWSER_PROFILE;
# - the unpacked extension of the native tree ($VL_NATIVE_DIR, default <win32>/../native):
#   extension/chromium, or extension/chromium-development when VL_BROWSER_DEVELOPMENT=1, or
#   the unpacked extension in $VL_BROWSER_EXTENSION; $VL_BROWSER_MORE_EXTENSIONS adds others
#   (comma-separated folders);
# - the service host's manifest in the profile's NativeMessagingHosts folder, whose "path"
#   is a script that runs <win32>/VLServiceHost.exe under Wine in the tree's prefix;
# - the signed stand-in kernel in the prefix's home folder, and the test root trusted
#   (tools/trust/with_test_root.sh), so that the kernel passes the publisher check;
# - the portal's pages: patch_server serves tools/browser/pages (or $VL_BROWSER_PAGES) on a
#   free loopback port, over HTTPS with the sites' test certificate
#   (tools/trust/site_certificate.sh) and over plain HTTP, and every host name resolves to
#   it (a --host-resolver-rules among the arguments takes the place of that rule). Chromium
#   takes that certificate's key alone despite its unknown root
#   (--ignore-certificate-errors-spki-list). Nothing else is reachable.
#
# The arguments go to Chromium after the harness's own; the script ends when Chromium ends,
# with its exit status. Needs root (the trust's mount namespace; Chromium then runs without
# its sandbox).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../common/prefix_documents.sh
. "$ROOT/tools/common/prefix_documents.sh"
[ $# -ge 1 ] || { sed -n '5p' "$0" | sed 's/^# *//' >&2; exit 2; }
WIN=$(cd "$1" && pwd)
shift

if [ -z "${VL_TEST_ROOT_TRUSTED:-}" ]; then
  exec "$ROOT/tools/trust/with_test_root.sh" "$WIN/certs/test_root.crt" -- "$0" "$WIN" "$@"
fi

NATIVE=${VL_NATIVE_DIR:-$WIN/../native}
PROFILE=${VL_BROWSER_PROFILE:-$WIN/browser/profile}
PAGES=${VL_BROWSER_PAGES:-$ROOT/tools/browser/pages}
EXTENSION=$NATIVE/extension/chromium
[ "${VL_BROWSER_DEVELOPMENT:-}" = 1 ] && EXTENSION=$NATIVE/extension/chromium-development
EXTENSION=${VL_BROWSER_EXTENSION:-$EXTENSION}
HOST_NAME=com.torvane.vorlink.service_host
for needed in "$EXTENSION/manifest.json" "$NATIVE/patch_server" "$WIN/VLServiceHost.exe" "$WIN/signed/VLWidgetKernel.exe"; do
  [ -e "$needed" ] || { echo "browser.sh: $needed is missing (./run build)" >&2; exit 2; }
done

rm -rf "$PROFILE"
mkdir -p "$PROFILE/NativeMessagingHosts"
# The browser starts the host with the extension's origin as its argument.
cat >"$PROFILE/service_host.sh" <<SCRIPT
#!/bin/sh
exec "$WIN/wine_run.sh" "$WIN/VLServiceHost.exe" "\$@"
SCRIPT
chmod 755 "$PROFILE/service_host.sh"
sed "s|{{HOST_PATH}}|$PROFILE/service_host.sh|" "$NATIVE/extension/native_messaging_host.chromium.json" \
  >"$PROFILE/NativeMessagingHosts/$HOST_NAME.json"

# The prefix's home folder, as the control and the kernel find it.
prefix=${VL_WINEPREFIX:-$WIN/wineprefix}
home=$(home_folder "$prefix")
mkdir -p "$home"
cp "$WIN/signed/VLWidgetKernel.exe" "$home/VLWidgetKernel.exe"

ready=$PROFILE/pages.port
site_key=$("$ROOT/tools/trust/site_certificate.sh" "$WIN" "$NATIVE")
# The server gets no copy of a caller's extra descriptors (a DevTools pipe stays Chromium's).
"$NATIVE/patch_server" --root "$PAGES" --address 127.0.0.1 --port 0 --log "$PROFILE/pages.log" \
  --tls-cert "$WIN/browser/tls/site.crt" --tls-key "$WIN/browser/tls/site.key" --ready-file "$ready" 3>&- 4>&- &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$ready" ] && break; sleep 0.05; done
[ -s "$ready" ] || { echo "browser.sh: the page server did not start" >&2; exit 1; }

sandbox=()
[ "$(id -u)" -ne 0 ] || sandbox=(--no-sandbox)
set +e
chromium "${sandbox[@]}" --user-data-dir="$PROFILE" \
  --load-extension="$EXTENSION${VL_BROWSER_MORE_EXTENSIONS:+,$VL_BROWSER_MORE_EXTENSIONS}" \
  --disable-extensions-except="$EXTENSION${VL_BROWSER_MORE_EXTENSIONS:+,$VL_BROWSER_MORE_EXTENSIONS}" \
  --disable-features=DisableLoadExtensionCommandLineSwitch,HttpsUpgrades,NetworkTimeServiceQuerying \
  --host-resolver-rules="MAP * 127.0.0.1:$(cat "$ready")" --ignore-certificate-errors-spki-list="$site_key" \
  --disable-gpu --disable-quic --no-first-run --no-default-browser-check --disable-background-networking \
  --disable-component-update --disable-sync "$@"
