# The native tree's tests (included by cmake/native.cmake): the portable core under the
# sanitizers, the layers' order, the checked-in documents held to what they are made from,
# and the extension's scripts as built, in Node. The Windows tests are in CMakeLists.txt.

file(GLOB VL_PORTABLE_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/portable/*.cpp)
add_executable(portable_tests ${VL_PORTABLE_TESTS})
target_compile_options(portable_tests PRIVATE ${VL_SANITIZE})
target_link_libraries(portable_tests PRIVATE vl_portable GTest::gtest_main)
add_test(NAME portable_tests COMMAND portable_tests)
# Every include of src/ against the layers' order (src/layers.cmake).
add_test(NAME layer_includes COMMAND ${CMAKE_COMMAND} -DSRC=${PROJECT_SOURCE_DIR}/src -P ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake)
# The operators' patch folders (docs/deploying.md) come from the endpoint table.
add_test(NAME readme_patch_folders_current
         COMMAND ${PROJECT_SOURCE_DIR}/tests/package/readme_patch_folders_test.sh $<TARGET_FILE:endpoint_hosts_dump>
                 ${PROJECT_SOURCE_DIR}/docs/deploying.md)
# The page authors' reference: the checked-in copy is what reference_gen writes from the
# automation contract and tools/reference/member_texts.md.
add_test(NAME page_reference_current
         COMMAND reference_gen --check ${PROJECT_SOURCE_DIR}/tools/reference/member_texts.md
                 ${PROJECT_SOURCE_DIR}/docs/page_reference.md)
# The extension's page API, content relay and service worker joined in Node, the browser's
# ports and the service host played by the test.
add_test(NAME extension_messages COMMAND node ${PROJECT_SOURCE_DIR}/tests/web/extension_messages_test.mjs ${CMAKE_BINARY_DIR})
