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
include(cmake/version_resource.cmake)

# What the tests use besides their own code: the module, the stand-in programs, signed
# copies. Whatever adds to it comes below.
add_custom_target(vl_test_inputs)

# The programs that write the module's resources at build time (each appends its file to
# VL_GENERATED_RESOURCES and its target to VL_GENERATED_TARGETS), then the control's
# layers and the module (src/CMakeLists.txt), then the programs built on the control, then
# the tests.
add_subdirectory(tools/typelib)
add_subdirectory(tools/formdef)
add_subdirectory(src)
set(vl_tool_dirs tools/common tools/pagehost bench/win)
if(NOT VL_TWIN)
  list(APPEND vl_tool_dirs tools/kernel tools/updater tools/package)
endif()
foreach(dir ${vl_tool_dirs})
  add_subdirectory(${dir})
endforeach()
add_subdirectory(tests)
