# Cross build: the module, the stand-in programs and every Windows test, run under Wine.
add_compile_definitions(UNICODE _UNICODE _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
add_compile_options(-Wall -Wextra -Wno-cast-function-type)
# The C++ runtime is linked in: the module and the programs import system DLLs only.
add_link_options(-static -static-libgcc -static-libstdc++)

# The 64-bit twin of the module builds in a tree of its own (CMAKE_SIZEOF_VOID_P 8) from the
# same sources. The stand-in kernel and updater stay 32-bit: the twin's tree takes them, and
# the 32-bit programs of its WoW64 suite, from the 32-bit tree.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VL_TWIN ON)
  set(VL_WINEARCH win64)
  set(VL_WIN32_BUILD_DIR ${CMAKE_BINARY_DIR}/../win32 CACHE PATH
      "32-bit build tree: the stand-in programs and the tests of the WoW64 suite")
  get_filename_component(VL_WIN32_BUILD_DIR ${VL_WIN32_BUILD_DIR} ABSOLUTE)
else()
  set(VL_TWIN OFF)
  set(VL_WINEARCH win32)
endif()

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
# The service host is a program of its own on top (src/service_host/CMakeLists.txt).
list(FILTER VL_WIN_SOURCES EXCLUDE REGEX "/service_host/")
add_library(vl_win STATIC ${VL_WIN_SOURCES})
target_include_directories(vl_win PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
target_compile_definitions(vl_win PUBLIC VL_PUBLISHER_SERIAL=L"${VL_PUBLISHER_SERIAL}")
target_link_libraries(vl_win PUBLIC vl_portable
  ole32 oleaut32 uuid shell32 shlwapi user32 gdi32 advapi32 crypt32 wintrust imagehlp wininet version comctl32)
if(NOT VL_TWIN)
  # Its import library holds the undecorated entry names that the module's .def aliases;
  # x86_64 MinGW has none (and needs none: 64-bit names carry no @n).
  target_link_libraries(vl_win PUBLIC olepro32)
endif()

# Generated resources: a subfolder that makes a file the module's .rc files include appends
# the file to VL_GENERATED_RESOURCES and its target to VL_GENERATED_TARGETS.
set(vl_tool_dirs tools/common tools/typelib tools/formdef tools/pagehost bench/win)
if(NOT VL_TWIN)
  list(APPEND vl_tool_dirs tools/kernel tools/updater tools/package)
endif()
foreach(dir ${vl_tool_dirs})
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
# (tests in the test network always trust it). Such a test runs with a wineserver of its
# own, ended with the test: a wineserver keeps the roots it was shown for every later
# process. A file whose signatures must fail for want of a trusted root says
#   // ctest-trust: none
# and runs with a wineserver of its own that never trusted the test root.
include(tools/netns/netns_test.cmake)
file(GLOB VL_WIN_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win/*_test.cpp)
file(GLOB VL_WIN_TEST_SUPPORT CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win/fixtures/*.cpp)
add_library(vl_test_support STATIC ${VL_WIN_TEST_SUPPORT} ${PROJECT_SOURCE_DIR}/tests/win/fixtures/test_main.cpp)
target_link_libraries(vl_test_support PUBLIC vl_win GTest::gtest GTest::gmock)
target_compile_definitions(vl_test_support PUBLIC VL_BINARY_DIR="${CMAKE_BINARY_DIR}")
# What the tests use besides their own code: the module, the stand-in programs, signed copies.
add_custom_target(vl_test_inputs)

add_subdirectory(src/service_host)

# vl_add_win_test(<name> <test source> <program>): the test <name> runs <program> (a target
# of this tree or a Windows program's path) as the source's marker lines ask. A line
# "// ctest-netns: <patch_server options>" makes it run in the test network.
function(vl_add_win_test name src program)
  if(TARGET ${program})
    set(program $<TARGET_FILE:${program}>)
  endif()
  file(STRINGS ${src} netns REGEX "^// ctest-netns:")
  file(STRINGS ${src} trust REGEX "^// ctest-trust: test root$")
  file(STRINGS ${src} distrust REGEX "^// ctest-trust: none$")
  if(netns)
    vl_add_netns_test(${name} "${netns}" ${CMAKE_BINARY_DIR}/wine_run.sh ${program})
  elseif(trust)
    add_test(NAME ${name}
             COMMAND ${PROJECT_SOURCE_DIR}/tools/trust/with_test_root.sh ${VL_TEST_ROOT_CERT}
                     --wine-prefix ${VL_WINEPREFIX} -- ${CMAKE_BINARY_DIR}/wine_run.sh ${program})
  elseif(distrust)
    add_test(NAME ${name}
             COMMAND ${PROJECT_SOURCE_DIR}/tools/trust/own_wineserver.sh ${VL_WINEPREFIX}
                     -- ${CMAKE_BINARY_DIR}/wine_run.sh ${program})
  else()
    add_test(NAME ${name} COMMAND ${CMAKE_BINARY_DIR}/wine_run.sh ${program})
  endif()
  file(STRINGS ${src} props REGEX "^// ctest: ")
  foreach(p ${props})
    string(REGEX REPLACE "^// ctest: ([A-Z_]+) (.*)$" "\\1;\\2" kv "${p}")
    list(GET kv 0 key)
    list(GET kv 1 value)
    set_property(TEST ${name} APPEND PROPERTY ${key} ${value})
  endforeach()
  set_property(TEST ${name} PROPERTY TIMEOUT 600)
endfunction()

# The twin's suite: the tests whose code 64-bit can change. Left out are the tests of the
# 32-bit stand-in programs and the downloads of the test network (the twin shares the
# platform's HTTP client and the 32-bit updater with the module).
set(VL_32BIT_ONLY_TESTS stand_in_kernel_test stand_in_updater_test stand_in_updater_http_test
    adapter_updater_test patch_download_test)
foreach(src ${VL_WIN_TESTS})
  get_filename_component(name ${src} NAME_WE)
  if(VL_TWIN AND name IN_LIST VL_32BIT_ONLY_TESTS)
    continue()
  endif()
  add_executable(${name} ${src})
  add_dependencies(${name} vl_test_inputs)
  target_link_libraries(${name} PRIVATE vl_test_support)
  vl_add_win_test(${name} ${src} ${name})
endforeach()

# The portable tests run under Wine too: the core is compiled both ways.
file(GLOB VL_PORTABLE_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/portable/*.cpp)
add_executable(portable_tests_win ${VL_PORTABLE_TESTS})
target_link_libraries(portable_tests_win PRIVATE vl_portable GTest::gtest_main)
add_test(NAME portable_tests_win COMMAND portable_tests_win)

# The control module.
file(GLOB VL_MODULE_RESOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/com_server/resources/*.rc)
set(vl_module_def ${PROJECT_SOURCE_DIR}/src/com_server/VLServiceAdapter.def)
if(VL_TWIN)
  # 64-bit symbols carry no @n: the twin exports the same names without the aliases.
  file(READ ${vl_module_def} def)
  string(REGEX REPLACE " = [A-Za-z]+@[0-9]+" "" def "${def}")
  string(REGEX REPLACE "[ ]*;[^\n]*\n" "" def "${def}")
  set(vl_module_def ${CMAKE_BINARY_DIR}/generated/VLServiceAdapter.def)
  file(CONFIGURE OUTPUT ${vl_module_def} CONTENT "${def}")
endif()
add_library(VLServiceAdapter SHARED
  ${PROJECT_SOURCE_DIR}/src/module/module_entry.cpp ${vl_module_def} ${VL_MODULE_RESOURCES})
set_target_properties(VLServiceAdapter PROPERTIES PREFIX "" SUFFIX ".ocx")
target_link_libraries(VLServiceAdapter PRIVATE vl_win)
if(NOT VL_TWIN)
  # The .def file names the exports undecorated; their stdcall symbols carry @n.
  target_link_options(VLServiceAdapter PRIVATE -Wl,--enable-stdcall-fixup)
endif()
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
# The maker's certificate named as the signer of a signature that another key made.
vl_signed_copy(TARGET sign_sample CERT substitute SCRIPT forge_signer.sh
               OUTPUT ${CMAKE_BINARY_DIR}/sign_sample_substituted.exe)
add_dependencies(vl_test_inputs sign_sign_sample_substituted)

# The HTTP client's test runs a small server of its own on winsock.
if(TARGET patch_http_test)
  target_link_libraries(patch_http_test PRIVATE ws2_32)
endif()

# A browser of ours that records how it was started, for the install page's start.
add_executable(browser_stand_in WIN32 tests/win/programs/browser_stand_in.cpp)
target_link_options(browser_stand_in PRIVATE -municode)
add_dependencies(vl_test_inputs browser_stand_in)

add_dependencies(vl_test_inputs VLServiceAdapter)
if(VL_TWIN)
  include(cmake/twin_suites.cmake)
  return()
endif()

# The stand-in kernel and updater as the maker ships them: signed with the maker's certificate.
foreach(program VLWidgetKernel VLWidgetKernel_1_0_0_9 VLUpdate VLUpdate_2_0_1_6)
  vl_signed_copy(TARGET ${program} CERT maker OUTPUT ${CMAKE_BINARY_DIR}/signed/${program}.exe)
  add_dependencies(vl_test_inputs sign_${program})
endforeach()

# Every page snippet of the page authors' reference, run as the reference says (./run page)
# and held to the output it shows.
add_test(NAME page_reference_snippets
         COMMAND ${PROJECT_SOURCE_DIR}/tests/pages/page_snippets_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/../win64
                 ${PROJECT_SOURCE_DIR}/docs/page_reference.md)
set_tests_properties(page_reference_snippets PROPERTIES TIMEOUT 900 ENVIRONMENT VL_NATIVE_DIR=${VL_NATIVE_BUILD_DIR})
# ./run page itself: its command line, its exit status, nothing left behind.
add_test(NAME page_command
         COMMAND ${PROJECT_SOURCE_DIR}/tests/pages/page_command_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/../win64)
set_tests_properties(page_command PROPERTIES TIMEOUT 300 RESOURCE_LOCK product_state
                     ENVIRONMENT VL_NATIVE_DIR=${VL_NATIVE_BUILD_DIR})

# The demo run end to end: a page installs the kernel through the control and uses it, in
# the test network (root, and the native tree's patch server).
add_test(NAME demo_end_to_end COMMAND ${PROJECT_SOURCE_DIR}/tools/demo.sh ${CMAKE_BINARY_DIR})
set_tests_properties(demo_end_to_end PROPERTIES RESOURCE_LOCK product_state TIMEOUT 600
                     ENVIRONMENT VL_NATIVE_DIR=${VL_NATIVE_BUILD_DIR})

# The browser extension and the service host in a real Chromium.
include(tools/browser/browser_tests.cmake)
