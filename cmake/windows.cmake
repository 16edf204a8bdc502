# Cross build: the module, the stand-in programs and every Windows test, run under Wine.
add_compile_definitions(UNICODE _UNICODE _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
add_compile_options(-Wall -Wextra -Wno-cast-function-type)
# The C++ runtime is linked in: the module and the programs import system DLLs only.
add_link_options(-static -static-libgcc -static-libstdc++)

set(VL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine_run.sh.in ${CMAKE_BINARY_DIR}/wine_run.sh
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine_run.sh)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(cmake/signing.cmake)

# Everything of the control that calls the platform; the module and the tests link it.
file(GLOB VL_WIN_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*/*.cpp)
list(FILTER VL_WIN_SOURCES EXCLUDE REGEX "/module_entry\\.cpp$")
add_library(vl_win STATIC ${VL_WIN_SOURCES})
target_include_directories(vl_win PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
target_compile_definitions(vl_win PUBLIC VL_PUBLISHER_SERIAL=L"${VL_PUBLISHER_SERIAL}")
target_link_libraries(vl_win PUBLIC vl_portable
  ole32 oleaut32 uuid shell32 shlwapi user32 gdi32 advapi32 crypt32 wintrust wininet version comctl32 olepro32)

# Generated resources: a subfolder that makes a file the module's .rc files include appends
# the file to VL_GENERATED_RESOURCES and its target to VL_GENERATED_TARGETS.
foreach(dir tools/common tools/kernel tools/updater tools/typelib tools/formdef tools/pagehost bench/win)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endforeach()

# One test executable per file of tests/win; a file that uses the machine-wide kernel
# main pipe or the product's registry key and home folder says so with a line
#   // ctest: RESOURCE_LOCK product_state
# and a file whose signed programs must pass the publisher check, which wants a chain to a
# trusted root, with a line
#   // ctest-trust: test root
# (tests in the test network always trust it).
include(tools/netns/netns_test.cmake)
file(GLOB VL_WIN_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win/*_test.cpp)
file(GLOB VL_WIN_TEST_SUPPORT CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win/support/*.cpp)
add_library(vl_test_support STATIC ${VL_WIN_TEST_SUPPORT} ${PROJECT_SOURCE_DIR}/tests/win/support/test_main.cpp)
target_link_libraries(vl_test_support PUBLIC vl_win GTest::gtest GTest::gmock)
target_compile_definitions(vl_test_support PUBLIC VL_BINARY_DIR="${CMAKE_BINARY_DIR}")
# What the tests use besides their own code: the module, the stand-in programs, signed copies.
add_custom_target(vl_test_inputs)
foreach(src ${VL_WIN_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  add_dependencies(${name} vl_test_inputs)
  target_link_libraries(${name} PRIVATE vl_test_support)
  # A file with a line "// ctest-netns: <patch_server options>" runs in the test network.
  file(STRINGS ${src} netns REGEX "^// ctest-netns:")
  file(STRINGS ${src} trust REGEX "^// ctest-trust: test root$")
  if(netns)
    vl_add_netns_test(${name} "${netns}")
  elseif(trust)
    add_test(NAME ${name}
             COMMAND ${PROJECT_SOURCE_DIR}/tools/trust/with_test_root.sh ${VL_TEST_ROOT_CERT}
                     -- ${CMAKE_BINARY_DIR}/wine_run.sh $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  file(STRINGS ${src} props REGEX "^// ctest: ")
  foreach(p ${props})
    string(REGEX REPLACE "^// ctest: ([A-Z_]+) (.*)$" "\\1;\\2" kv "${p}")
    list(GET kv 0 key)
    list(GET kv 1 value)
    set_property(TEST ${name} APPEND PROPERTY ${key} ${value})
  endforeach()
  set_property(TEST ${name} PROPERTY TIMEOUT 600)
endforeach()

# The portable tests run under Wine too: the core is compiled both ways.
file(GLOB VL_PORTABLE_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/portable/*.cpp)
add_executable(portable_tests_win ${VL_PORTABLE_TESTS})
target_link_libraries(portable_tests_win PRIVATE vl_portable GTest::gtest_main)
add_test(NAME portable_tests_win COMMAND portable_tests_win)

# The control module.
file(GLOB VL_MODULE_RESOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/com_server/resources/*.rc)
add_library(VLServiceAdapter SHARED
  ${PROJECT_SOURCE_DIR}/src/com_server/module_entry.cpp
  ${PROJECT_SOURCE_DIR}/src/com_server/VLServiceAdapter.def
  ${VL_MODULE_RESOURCES})
set_target_properties(VLServiceAdapter PROPERTIES PREFIX "" SUFFIX ".ocx")
target_link_libraries(VLServiceAdapter PRIVATE vl_win)
# The .def file names the exports undecorated; their stdcall symbols carry @n.
target_link_options(VLServiceAdapter PRIVATE -Wl,--enable-stdcall-fixup)
target_include_directories(VLServiceAdapter PRIVATE ${CMAKE_BINARY_DIR}/generated)
get_property(vl_generated_files GLOBAL PROPERTY VL_GENERATED_RESOURCES)
get_property(vl_generated_targets GLOBAL PROPERTY VL_GENERATED_TARGETS)
if(vl_generated_files)
  set_property(SOURCE ${VL_MODULE_RESOURCES} APPEND PROPERTY OBJECT_DEPENDS ${vl_generated_files})
endif()
foreach(t ${vl_generated_targets})
  add_dependencies(VLServiceAdapter ${t})
endforeach()

# A small program with a version resource, and copies of it signed with each test
# certificate, for the tests of file versions and of the publisher check.
add_executable(sign_sample tests/win/programs/sign_sample.cpp tests/win/programs/sign_sample.rc)
foreach(cert maker maker_expired other_serial other_name forged forged_issued)
  vl_signed_copy(TARGET sign_sample CERT ${cert} OUTPUT ${CMAKE_BINARY_DIR}/sign_sample_${cert}.exe)
  add_dependencies(vl_test_inputs sign_sign_sample_${cert})
endforeach()

# The HTTP client's test runs a small server of its own on winsock.
if(TARGET patch_http_test)
  target_link_libraries(patch_http_test PRIVATE ws2_32)
endif()

# A browser of ours that records how it was started, for the install page's start.
add_executable(browser_stand_in WIN32 tests/win/programs/browser_stand_in.cpp)
target_link_options(browser_stand_in PRIVATE -municode)
add_dependencies(vl_test_inputs browser_stand_in)

# The stand-in kernel and updater as the maker ships them: signed with the maker's certificate.
foreach(program VLWidgetKernel VLWidgetKernel_1_0_0_9 VLUpdate VLUpdate_2_0_1_6)
  vl_signed_copy(TARGET ${program} CERT maker OUTPUT ${CMAKE_BINARY_DIR}/signed/${program}.exe)
  add_dependencies(vl_test_inputs sign_${program})
endforeach()
add_dependencies(vl_test_inputs VLServiceAdapter)

# The demo run end to end: a page installs the kernel through the control and uses it, in
# the test network (root, and the native tree's patch server).
add_test(NAME demo_end_to_end COMMAND ${PROJECT_SOURCE_DIR}/tools/demo.sh ${CMAKE_BINARY_DIR})
set_tests_properties(demo_end_to_end PROPERTIES RESOURCE_LOCK product_state TIMEOUT 600
                     ENVIRONMENT VL_NATIVE_DIR=${VL_NATIVE_BUILD_DIR})
