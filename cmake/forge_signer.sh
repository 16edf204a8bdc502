#!/usr/bin/env bash
# forge_signer.sh CERTDIR NAME IN OUT: a signer-substitution forgery of IN in OUT, as
# sign.sh takes its arguments. Signed with the key of the test certificate NAME
# ("substitute"), whose issuer name and serial are those of the maker's certificate, so
# that the signer record names the maker's certificate; then the maker's genuine
# certificate takes the place of NAME's in the signature's certificates (the two are of
# one size). The file's digest and the chain are genuine:
# only the signature over the signed content tells that the maker's key did not make it.
set -eu
dir=$1 name=$2 in=$3 out=$4
"$(dirname "$0")/sign.sh" "$dir" "$name" "$in" "$out"
hex() { od -An -v -tx1 | tr -d ' \n'; }
own=$(openssl x509 -in "$dir/$name.crt" -outform DER | hex)
genuine=$(openssl x509 -in "$dir/maker.crt" -outform DER | hex)
[ ${#own} -eq ${#genuine} ] || { echo "forge_signer.sh: $name is not the maker's size" >&2; exit 1; }
at=$(hex <"$out" | awk -v own="$own" '{ print index($0, own) }')
[ "$at" -gt 0 ] || { echo "forge_signer.sh: no $name certificate in $out" >&2; exit 1; }
openssl x509 -in "$dir/maker.crt" -outform DER |
  dd of="$out" bs=1 seek=$(((at - 1) / 2)) conv=notrunc status=none
