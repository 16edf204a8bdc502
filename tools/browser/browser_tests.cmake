# The bridge in a real Chromium (tests/browser/*_test.mjs, run by Node's test runner): the
# extension of the native tree, this tree's service host under Wine, the signed stand-in
# kernel in the prefix's home folder (hence the product state's lock). Root, as browser.sh.
file(GLOB vl_browser_tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/browser/*_test.mjs)
foreach(src ${vl_browser_tests})
  get_filename_component(name ${src} NAME_WE)
  add_test(NAME browser_${name} COMMAND node ${src} ${CMAKE_BINARY_DIR} ${VL_NATIVE_BUILD_DIR})
  set_tests_properties(browser_${name} PROPERTIES RESOURCE_LOCK product_state TIMEOUT 180)
endforeach()
