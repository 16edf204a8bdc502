# Cross toolchain: 32-bit Windows modules with MinGW-w64 (posix threads, for std::mutex/std::thread).
set(VL_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine_run.sh)
