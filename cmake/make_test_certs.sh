#!/usr/bin/env bash
# Makes the test code-signing certificates:
#   test_root     a certificate authority that tests trust (tools/trust/with_test_root.sh)
#   maker         "Torvane CO.,LTD." with the serial the build expects, issued by test_root
#   maker_expired the same name and serial, issued by test_root, its validity ended in 2020
#   other_serial  "Torvane CO.,LTD." with another serial, issued by test_root
#   other_name    another subject name with the expected serial, issued by test_root
#   forged        "Torvane CO.,LTD." with the expected serial, self-signed: what anyone can make
#   forged_issued the same, issued by a certificate authority of its own (rogue_root) that no
#                 one trusts and the signature does not carry
#   substitute    the maker's name and serial under the name of test_root as its issuer, with
#                 a key of its own, issued by lookalike_root (test_root's name, another key):
#                 a signer record made with it names the maker's certificate
#                 (cmake/forge_signer.sh); the same size as maker, byte for byte
# Each NAME gives NAME.crt (PEM) and NAME.key.
set -eu
out=$1 serial=$2
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

authority() { # name subject
  openssl req -x509 -newkey rsa:2048 -nodes -days 7300 -sha256 -keyout "$out/$1.key" -out "$out/$1.crt" \
    -subj "/CN=$2/O=$2" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}
authority test_root "vorlink! Test Root CA"
authority rogue_root "Torvane Root CA"
authority lookalike_root "vorlink! Test Root CA"

cat >"$work/ca.cnf" <<EOF
[ca]
default_ca = test_root
[test_root]
database = $work/index.txt
serial = $work/serial
new_certs_dir = $work
default_md = sha256
policy = names
unique_subject = no
x509_extensions = code_signing
[names]
commonName = supplied
organizationName = supplied
[code_signing]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
authorityKeyIdentifier = keyid
EOF

issue() { # name subject serial not-before not-after [issuing authority]
  : >"$work/index.txt"
  echo "$3" >"$work/serial"
  openssl req -new -newkey rsa:2048 -nodes -keyout "$out/$1.key" -out "$work/$1.csr" -subj "/CN=$2/O=$2" 2>/dev/null
  openssl ca -batch -config "$work/ca.cnf" -in "$work/$1.csr" -out "$out/$1.crt" -notext \
    -cert "$out/${6:-test_root}.crt" -keyfile "$out/${6:-test_root}.key" \
    -startdate "$4" -enddate "$5" 2>"$work/ca.log" || { cat "$work/ca.log" >&2; exit 1; }
}
# Valid from yesterday for twenty years.
from=$(date -u -d yesterday +%Y%m%d%H%M%SZ)
until=$(date -u -d '+20 years' +%Y%m%d%H%M%SZ)
issue maker "Torvane CO.,LTD." "$serial" "$from" "$until"
issue maker_expired "Torvane CO.,LTD." "$serial" 20190101000000Z 20200101000000Z
issue other_serial "Torvane CO.,LTD." 2e0b66b1813d4a01b75cfd8930a614d2 "$from" "$until"
issue other_name "Vorlink Tools Ltd." "$serial" "$from" "$until"
issue forged_issued "Torvane CO.,LTD." "$serial" "$from" "$until" rogue_root
issue substitute "Torvane CO.,LTD." "$serial" "$from" "$until" lookalike_root

openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 -keyout "$out/forged.key" -out "$out/forged.crt" \
  -subj "/CN=Torvane CO.,LTD./O=Torvane CO.,LTD." -set_serial "0x$serial" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" 2>/dev/null
