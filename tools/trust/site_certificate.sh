#!/usr/bin/env bash
# The TLS certificate of the portal's sites in the browser harness: issued by the test root
# for every host name of the endpoint table, so that patch_server can serve the portal's
# pages over HTTPS on this machine. A browser takes it only where a test says so: Chromium
# through --ignore-certificate-errors-spki-list naming its key, Firefox through the test
# root installed in a private mount namespace (tools/browser/firefox.sh).
#
#   site_certificate.sh <win32 build dir> <native build dir>
#
# Writes <win32>/browser/tls/site.crt and site.key (PEM) when they are missing, older than
# the test root or about to expire, and prints the key's hash as Chromium's flag wants it
# (base64 of the SHA-256 of its SubjectPublicKeyInfo).
set -euo pipefail
[ $# -eq 2 ] || { sed -n '8p' "$0" | sed 's/^# *//' >&2; exit 2; }
WIN=$(cd "$1" && pwd)
NATIVE=$(cd "$2" && pwd)
ROOT_CERT=$WIN/certs/test_root.crt
ROOT_KEY=$WIN/certs/test_root.key
DIR=$WIN/browser/tls
for needed in "$ROOT_CERT" "$ROOT_KEY" "$NATIVE/endpoint_hosts_dump"; do
  [ -e "$needed" ] || { echo "site_certificate.sh: $needed is missing (./run build)" >&2; exit 2; }
done

# Tests that run at the same time each ask for the certificate: one makes it, the others
# wait for it, so that no key ends up beside another run's certificate.
mkdir -p "$DIR"
exec 9>"$DIR/lock"
flock 9
if [ ! -s "$DIR/site.crt" ] || [ ! -s "$DIR/site.key" ] || [ "$ROOT_CERT" -nt "$DIR/site.crt" ] ||
   ! openssl x509 -checkend 86400 -noout -in "$DIR/site.crt" >/dev/null; then
  work=$(mktemp -d "$DIR/new.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  names=$("$NATIVE/endpoint_hosts_dump" | sed 's/^/DNS:/' | paste -sd, -)
  openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$work/site.key" \
    -out "$work/site.csr" -subj "/CN=vorlink! portal sites (test)" 2>/dev/null
  cat >"$work/extensions.cnf" <<EXTENSIONS
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = $names
authorityKeyIdentifier = keyid
subjectKeyIdentifier = hash
EXTENSIONS
  openssl x509 -req -in "$work/site.csr" -CA "$ROOT_CERT" -CAkey "$ROOT_KEY" -set_serial "0x$(openssl rand -hex 16)" \
    -days 365 -sha256 -extfile "$work/extensions.cnf" -out "$work/site.crt" 2>/dev/null
  mv "$work/site.key" "$DIR/site.key"
  mv "$work/site.crt" "$DIR/site.crt"
fi
openssl pkey -in "$DIR/site.key" -pubout -outform der 2>/dev/null | openssl dgst -sha256 -binary | base64
