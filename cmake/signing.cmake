# Publisher of the programs the control starts: the serial of the maker's code-signing
# certificate, most significant byte first, each byte "%02x" and one blank.
# The default is the serial of the test maker certificate made below.
set(VL_PUBLISHER_SERIAL "3f 1c 77 a2 90 4e 5b 12 c8 6d 0e 9a 41 b7 25 e3 " CACHE STRING
    "Expected serial text of the maker's code-signing certificate")

if(VL_TWIN)
  # The twin's tree signs with the 32-bit tree's certificates, which ./run builds first: the
  # stand-in programs it takes from there are signed with them, so one test root serves both.
  set(VL_CERT_DIR ${VL_WIN32_BUILD_DIR}/certs)
  add_custom_target(vl_test_certs)
else()
  set(VL_CERT_DIR ${CMAKE_BINARY_DIR}/certs)
  string(REPLACE " " "" vl_serial_hex "${VL_PUBLISHER_SERIAL}")
  add_custom_command(OUTPUT ${VL_CERT_DIR}/maker.crt
    BYPRODUCTS ${VL_CERT_DIR}/test_root.crt
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/make_test_certs.sh ${VL_CERT_DIR} ${vl_serial_hex}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/make_test_certs.sh
    COMMENT "Making test code-signing certificates")
  add_custom_target(vl_test_certs DEPENDS ${VL_CERT_DIR}/maker.crt)
endif()

# The test root that issued the chained certificates; tests and the demo trust it through
# tools/trust/with_test_root.sh.
set(VL_TEST_ROOT_CERT ${VL_CERT_DIR}/test_root.crt)

# vl_signed_copy(TARGET <exe target> CERT <a certificate of make_test_certs.sh> OUTPUT <file>
#                [SCRIPT <signing script of cmake/, default sign.sh>])
function(vl_signed_copy)
  cmake_parse_arguments(A "" "TARGET;CERT;OUTPUT;SCRIPT" "" ${ARGN})
  if(NOT A_SCRIPT)
    set(A_SCRIPT sign.sh)
  endif()
  add_custom_command(OUTPUT ${A_OUTPUT}
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/${A_SCRIPT} ${VL_CERT_DIR} ${A_CERT} $<TARGET_FILE:${A_TARGET}> ${A_OUTPUT}
    DEPENDS ${A_TARGET} ${VL_CERT_DIR}/maker.crt ${PROJECT_SOURCE_DIR}/cmake/sign.sh
            ${PROJECT_SOURCE_DIR}/cmake/${A_SCRIPT}
    COMMENT "Signing ${A_TARGET} with ${A_CERT}")
  get_filename_component(n ${A_OUTPUT} NAME_WE)
  add_custom_target(sign_${n} ALL DEPENDS ${A_OUTPUT})
  # The certificates are made once, before copies are signed in parallel.
  add_dependencies(sign_${n} vl_test_certs)
endfunction()
