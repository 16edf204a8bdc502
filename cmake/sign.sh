#!/usr/bin/env bash
# sign.sh CERTDIR NAME IN OUT: Authenticode-signs IN with the test certificate NAME into OUT.
set -eu
mkdir -p "$(dirname "$4")"
rm -f "$4"
osslsigncode sign -certs "$1/$2.crt" -key "$1/$2.key" -h sha256 -n "vorlink!" -in "$3" -out "$4" >/dev/null 2>&1 || { echo "signing $3 failed" >&2; exit 1; }
