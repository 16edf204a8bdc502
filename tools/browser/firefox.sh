#!/usr/bin/env bash
# Firefox ESR (Debian's firefox-esr), headless, with the vorlink! extension and the service
# host installed for it: one portal page opened until it reports, for the browser tests.
#
#   firefox.sh <win32 build dir> <page address>
#
# - inside tools/netns/run_in_netns.sh: every host of the endpoint table resolves to
#   127.0.0.1, where patch_server serves tools/browser/pages (or $VL_BROWSER_PAGES) on port
#   80 and, over HTTPS with the sites' test certificate (tools/trust/site_certificate.sh),
#   on port 443 (Firefox has no host resolver rules), the test root trusted and the Wine
#   programs on a throwaway layer over the tree's prefix, the signed stand-in kernel in its
#   home folder;
# - Firefox, which keeps trust of its own apart from the system's, trusts the test root
#   through an enterprise policy ("Certificates": "Install") in a copy of its distribution
#   folder mounted over the real one in that namespace only;
# - a fresh profile, <win32>/browser/firefox or $VL_FIREFOX_PROFILE, with the extension's
#   Firefox build of the native tree ($VL_NATIVE_DIR, default <win32>/../native), or the zip
#   in $VL_FIREFOX_EXTENSION (the package's), in its extensions folder (unsigned: Firefox ESR
#   honours xpinstall.signatures.required), and
#   the host's Firefox manifest in <profile>/home/.mozilla/native-messaging-hosts (the
#   browser's HOME), whose "path" runs VLServiceHost.exe under Wine.
# The page reports by requesting "/report?<text>"; the script prints the text and ends
# Firefox, exit status 0. Status 1 when no report came within 60 s. Needs root.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../common/prefix_documents.sh
. "$ROOT/tools/common/prefix_documents.sh"
[ $# -eq 2 ] || { sed -n '5p' "$0" | sed 's/^# *//' >&2; exit 2; }
WIN=$(cd "$1" && pwd)
PAGE=$2
NATIVE=$(cd "${VL_NATIVE_DIR:-$WIN/../native}" && pwd)
PROFILE=${VL_FIREFOX_PROFILE:-$WIN/browser/firefox}
PAGES=${VL_BROWSER_PAGES:-$ROOT/tools/browser/pages}
HOST_NAME=com.torvane.vorlink.service_host
LOG=$PROFILE/pages.log

if [ -z "${VL_FIREFOX_INSIDE:-}" ]; then
  for needed in "$NATIVE/extension/firefox/manifest.json" "$WIN/VLServiceHost.exe" "$WIN/signed/VLWidgetKernel.exe"; do
    [ -e "$needed" ] || { echo "firefox.sh: $needed is missing (./run build)" >&2; exit 2; }
  done
  command -v firefox-esr >/dev/null || { echo "firefox.sh: firefox-esr is not installed" >&2; exit 2; }
  rm -rf "$PROFILE"
  mkdir -p "$PROFILE/home/.mozilla/native-messaging-hosts" "$PROFILE/extensions"
  cat >"$PROFILE/service_host.sh" <<SCRIPT
#!/bin/sh
exec "$WIN/wine_run.sh" "$WIN/VLServiceHost.exe" "\$@"
SCRIPT
  chmod 755 "$PROFILE/service_host.sh"
  sed "s|{{HOST_PATH}}|$PROFILE/service_host.sh|" "$NATIVE/extension/native_messaging_host.firefox.json" \
    >"$PROFILE/home/.mozilla/native-messaging-hosts/$HOST_NAME.json"
  gecko_id=$(sed -n 's/.*"gecko": {"id": "\([^"]*\)".*/\1/p' "$NATIVE/extension/firefox/manifest.json")
  if [ -n "${VL_FIREFOX_EXTENSION:-}" ]; then
    cp "$VL_FIREFOX_EXTENSION" "$PROFILE/extensions/$gecko_id.xpi"
  else
    (cd "$NATIVE/extension/firefox" && cmake -E tar cf "$PROFILE/extensions/$gecko_id.xpi" --format=zip -- *)
  fi
  # An unsigned extension in the profile's folder, enabled without asking; no first-run
  # pages, no HTTPS upgrades (a test opens a page over plain HTTP on purpose).
  cat >"$PROFILE/user.js" <<'PREFS'
user_pref("xpinstall.signatures.required", false);
user_pref("extensions.autoDisableScopes", 0);
user_pref("extensions.enabledScopes", 15);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("dom.security.https_first", false);
user_pref("dom.security.https_only_mode", false);
PREFS
  prefix=${VL_WINEPREFIX:-$WIN/wineprefix}
  home=$(home_folder "$prefix")
  mkdir -p "$home"
  cp "$WIN/signed/VLWidgetKernel.exe" "$home/VLWidgetKernel.exe"
  "$ROOT/tools/trust/site_certificate.sh" "$WIN" "$NATIVE" >/dev/null
  VL_FIREFOX_INSIDE=1 exec "$ROOT/tools/netns/run_in_netns.sh" --native-dir "$NATIVE" \
    --test-root "$WIN/certs/test_root.crt" --wine-prefix "$prefix" --root "$PAGES" --log "$LOG" \
    --port 443 --tls-cert "$WIN/browser/tls/site.crt" --tls-key "$WIN/browser/tls/site.key" -- "$0" "$@"
fi

distribution=$(dirname "$(readlink -f "$(command -v firefox-esr)")")/distribution
[ -d "$distribution" ] || { echo "firefox.sh: no $distribution to hold the test root's policy" >&2; exit 2; }
mkdir -p "$PROFILE/distribution"
cp -a "$distribution/." "$PROFILE/distribution/"
cat >"$PROFILE/distribution/policies.json" <<POLICIES
{"policies": {"Certificates": {"Install": ["$WIN/certs/test_root.crt"]}}}
POLICIES
mount --bind "$PROFILE/distribution" "$distribution"

HOME=$PROFILE/home timeout 90 firefox-esr --headless --no-remote --profile "$PROFILE" "$PAGE" \
  >"$PROFILE/firefox.log" 2>&1 &
firefox=$!
report=
for _ in $(seq 600); do
  report=$(sed -n 's|^GET /report?\([^ ]*\) .*|\1|p' "$LOG" 2>/dev/null | head -1)
  [ -n "$report" ] && break
  kill -0 "$firefox" 2>/dev/null || break
  sleep 0.1
done
kill "$firefox" 2>/dev/null || true
wait "$firefox" 2>/dev/null || true
[ -n "$report" ] || { echo "firefox.sh: no report from $PAGE (logs in $PROFILE)" >&2; exit 1; }
node -e 'console.log(decodeURIComponent(process.argv[1]))' "$report"
