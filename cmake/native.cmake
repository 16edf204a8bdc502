# Native build: the portable core under AddressSanitizer and UndefinedBehaviorSanitizer,
# its tests, and (with clang) its libFuzzer targets.
set(VL_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(vl_portable PRIVATE ${VL_SANITIZE} -Wall -Wextra)
target_link_options(vl_portable PUBLIC ${VL_SANITIZE})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # The fuzzers get a core of their own: instrumented for coverage, so that libFuzzer sees
  # the branches of the code under test and not only those of the fuzzer, and optimized
  # whatever the build type, since unoptimized sanitized code runs many times slower.
  set(VL_FUZZ_OPTIONS -O1 -gline-tables-only ${VL_SANITIZE})
  add_library(vl_portable_fuzz STATIC ${VL_PORTABLE_SOURCES})
  target_include_directories(vl_portable_fuzz PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tools)
  target_compile_options(vl_portable_fuzz PRIVATE ${VL_FUZZ_OPTIONS} -fsanitize=fuzzer-no-link)
  file(GLOB VL_FUZZERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/*_fuzzer.cpp)
  foreach(src ${VL_FUZZERS})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE ${VL_FUZZ_OPTIONS} -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE ${VL_SANITIZE} -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE vl_portable_fuzz)
  endforeach()
endif()

# Benchmarks measure the core as it ships: optimized, without the sanitizers.
add_library(vl_portable_bench STATIC ${VL_PORTABLE_SOURCES})
target_include_directories(vl_portable_bench PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tools)
target_compile_options(vl_portable_bench PUBLIC -O2 -DNDEBUG)
file(GLOB VL_NATIVE_BENCH CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*_bench.cpp)
foreach(src ${VL_NATIVE_BENCH})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE vl_portable_bench)
endforeach()

# The test network: a file server standing in for the patch hosts and the list of host names
# it must answer for (tools/netns/run_in_netns.sh runs them).
find_package(Threads REQUIRED)
find_package(OpenSSL REQUIRED)
add_executable(patch_server tools/patch_server/patch_server.cpp)
target_compile_options(patch_server PRIVATE -Wall -Wextra)
target_link_libraries(patch_server PRIVATE Threads::Threads OpenSSL::SSL)
add_executable(endpoint_hosts_dump tools/netns/endpoint_hosts_dump.cpp)
target_link_libraries(endpoint_hosts_dump PRIVATE vl_portable)
# ./run page's check of the stand-in kernel's behaviour words, with the kernel's own parser.
add_executable(kernel_behaviour_check tools/kernel/kernel_behaviour_check.cpp tools/kernel/kernel_behaviour.cpp)

# The page authors' reference, written from the automation contract and the texts of
# tools/reference.
add_executable(reference_gen tools/reference/reference_gen.cpp)
target_include_directories(reference_gen PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(reference_gen PRIVATE -Wall -Wextra)
target_compile_definitions(reference_gen PRIVATE VL_MODULE_VERSION="${VL_MODULE_VERSION}")

# The browser extension, the service host's manifests and the page library.
add_subdirectory(web)

# The tests, in this tree's own folder as the programs they run.
include(tests/native.cmake)
