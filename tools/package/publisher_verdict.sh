# publisher_verdict VERDICT CERT EXPECTED_SERIAL TEST_ROOT (bash, sourced): whether the
# control's publisher check would accept programs signed with CERT as the maker's, given
# VERDICT ("yes" or "no"), module_facts.exe's answer for a module signed with it. Prints
# "yes", or "no" and indented lines that say why and what to do. The check wants the maker's
# serial (EXPECTED_SERIAL, the build's VL_PUBLISHER_SERIAL), the maker's name and a chain to
# a root the machine trusts; TEST_ROOT is the build's test root, the issuer of its test
# maker certificate. The kernel and the updater that the control starts must pass it.
publisher_verdict() {
  local verdict=$1 cert=$2 expected=$3 root=$4 form=pem serial name
  if [ "$verdict" = yes ]; then
    echo yes
    return
  fi
  openssl x509 -in "$cert" -noout 2>/dev/null || form=der
  serial=$(openssl x509 -inform "$form" -in "$cert" -noout -serial 2>/dev/null | sed 's/^serial=//' | tr A-F a-f)
  name=$(openssl x509 -inform "$form" -in "$cert" -noout -subject -nameopt multiline 2>/dev/null |
    sed -n 's/^ *commonName *= //p')
  expected=$(tr -d "' " <<<"$expected" | tr A-F a-f)
  echo no
  if [ "$serial" != "$expected" ]; then
    echo "      why: the certificate's serial ${serial:-(unreadable)} is not the maker's serial"
    echo "      that this build expects ($expected, VL_PUBLISHER_SERIAL), so the control"
    echo "      refuses a kernel or updater signed with it. To do: sign them with the maker's"
    echo "      certificate, or build with -DVL_PUBLISHER_SERIAL set to this certificate's serial"
    echo "      (two hex digits and a blank per byte; docs/deploying.md, 2)."
  elif [ "$name" != "Torvane CO.,LTD." ]; then
    echo "      why: the certificate is issued to \"$name\", not to the maker \"Torvane CO.,LTD.\", so the"
    echo "      control refuses a kernel or updater signed with it. To do: sign with the maker's certificate."
  elif openssl verify -CAfile "$root" "$cert" >/dev/null 2>&1; then
    echo "      why: it is the build's test maker certificate, issued by the build's test root"
    echo "      ($root), which this machine does not trust, as no user's"
    echo "      machine does; where that root is trusted the check accepts it (the test"
    echo "      package_install). To do: sign a release with the maker's certificate"
    echo "      (VL_SIGN_CERT and VL_SIGN_KEY)."
  else
    echo "      why: the maker's serial and name, but no chain to a root this machine trusts (Wine reads"
    echo "      the roots of /etc/ssl/certs/ca-certificates.crt), or a signature that does not verify."
    echo "      To do: put the intermediate certificates after the certificate in VL_SIGN_CERT, and"
    echo "      see what \`osslsigncode verify -in <the cabinet>\` says of the chain."
  fi
}
