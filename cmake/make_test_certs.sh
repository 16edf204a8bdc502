#!/usr/bin/env bash
# Makes the test code-signing certificates:
#   maker        "Torvane CO.,LTD." with the serial the build expects
#   other_serial "Torvane CO.,LTD." with another serial
#   other_name   another subject name with the expected serial
set -eu
out=$1 serial=$2
mkdir -p "$out"
make_cert() { # name subject serial
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 \
    -keyout "$out/$1.key" -out "$out/$1.crt" -subj "/CN=$2/O=$2" -set_serial "0x$3" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" 2>/dev/null
}
make_cert maker "Torvane CO.,LTD." "$serial"
make_cert other_serial "Torvane CO.,LTD." "2e0b66b1813d4a01b75cfd8930a614d2"
make_cert other_name "Vorlink Tools Ltd." "$serial"
