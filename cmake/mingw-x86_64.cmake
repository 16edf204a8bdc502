# Cross toolchain: the 64-bit twin of the module and its test programs with MinGW-w64, run
# under Wine in a 64-bit prefix.
set(VL_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
