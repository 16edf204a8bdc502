# The signer of packages made without VL_SIGN_CERT and VL_SIGN_KEY, and the root that
# their signatures are verified against in the package's test: the build tree's test maker
# certificate, issued by its test root. Paths are relative to the Windows build tree; the
# package script and its test both read them from here.
VL_TEST_SIGN_CERT=certs/maker.crt
VL_TEST_SIGN_KEY=certs/maker.key
VL_TEST_SIGN_ROOT=certs/test_root.crt
