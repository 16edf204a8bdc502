# The 64-bit twin's tree (included by windows.cmake): its prefix is a 64-bit one, where the
# twin's suite runs beside the WoW64 suite, the 32-bit module's tests of the 32-bit tree run
# again under redirection.

# The stand-in kernel and updater stay 32-bit: both modules link to one kernel.
add_custom_target(vl_stand_in_programs ALL
  COMMAND ${CMAKE_COMMAND} -DFROM=${VL_WIN32_BUILD_DIR} -DTO=${CMAKE_BINARY_DIR}
          -P ${PROJECT_SOURCE_DIR}/cmake/import_stand_ins.cmake
  COMMENT "Taking the 32-bit stand-in programs from ${VL_WIN32_BUILD_DIR}")
add_dependencies(vl_test_inputs vl_stand_in_programs)

# The WoW64 suite: what redirection and a 64-bit system can change for the 32-bit module:
# registration through the 32-bit regsvr32 and script host (the registry's 32-bit view),
# the home folder, product key and system folders, the kernel's start through the shell and
# the link, the updater's download in the test network, and the demo. Their locks
# (product_state, com_registration) keep them apart from their twins in the one prefix.
set(VL_WOW64_SUITE registration_test com_server_test widget_utility_test adapter_kernel_test
    adapter_link_test adapter_updater_test)
foreach(name ${VL_WOW64_SUITE})
  vl_add_win_test(wow64_${name} ${PROJECT_SOURCE_DIR}/tests/win/${name}.cpp ${VL_WIN32_BUILD_DIR}/${name}.exe)
endforeach()
add_test(NAME wow64_demo_end_to_end COMMAND ${PROJECT_SOURCE_DIR}/tools/demo.sh ${VL_WIN32_BUILD_DIR})
set_tests_properties(wow64_demo_end_to_end PROPERTIES RESOURCE_LOCK product_state TIMEOUT 600
                     ENVIRONMENT "VL_NATIVE_DIR=${VL_NATIVE_BUILD_DIR};VL_WINEPREFIX=${VL_WINEPREFIX}")

# Both modules side by side in the 64-bit prefix (tests/win64): each registered in its own
# view of the registry and created by its own script host and page host.
file(GLOB VL_TWIN_TESTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/win64/*_test.cpp)
foreach(src ${VL_TWIN_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  add_dependencies(${name} vl_test_inputs pagehost)
  target_link_libraries(${name} PRIVATE vl_test_support)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/win)
  target_compile_definitions(${name} PRIVATE VL_WIN32_BINARY_DIR="${VL_WIN32_BUILD_DIR}")
  vl_add_win_test(${name} ${src} ${name})
endforeach()

# The twin's cabinet of the package, installed through its INF by the 64-bit installer in a
# throwaway 64-bit prefix (tests/package/package_test.sh).
add_test(NAME package_install_twin
         COMMAND ${PROJECT_SOURCE_DIR}/tools/trust/with_test_root.sh ${VL_TEST_ROOT_CERT} --wine-prefix ${VL_WINEPREFIX}
                 -- ${PROJECT_SOURCE_DIR}/tests/package/package_test.sh ${VL_WIN32_BUILD_DIR} --twin ${CMAKE_BINARY_DIR})
set_tests_properties(package_install_twin PROPERTIES TIMEOUT 600)
