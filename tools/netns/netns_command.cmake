# Windows tests that download from the endpoint table's hosts run in the test network of
# run_in_netns.sh, with the patch server behind every host. Such a test file carries
#   // ctest-netns: <patch_server options>
# and finds the folder the server serves in VL_PATCH_ROOT and the request log in
# VL_PATCH_LOG, both as Z: paths. The test root of the test certificates is trusted.

# ./run builds the native tree beside the Windows tree.
set(VL_NATIVE_BUILD_DIR ${CMAKE_BINARY_DIR}/../native CACHE PATH
    "Native build tree that holds patch_server and endpoint_hosts_dump")

# vl_netns_command(<command var> <environment var> <name> <markers> <command>...): the
# command line that runs <command> (a Windows program under this tree's wine_run.sh) in the
# network for the test <name>, and the environment that test needs.
function(vl_netns_command command_var environment_var name markers)
  set(options)
  foreach(marker ${markers})
    string(REGEX REPLACE "^// ctest-netns:" "" line "${marker}")
    separate_arguments(line UNIX_COMMAND "${line}")
    list(APPEND options ${line})
  endforeach()
  set(root ${CMAKE_BINARY_DIR}/patch_root/${name})
  set(${command_var}
      ${PROJECT_SOURCE_DIR}/tools/netns/run_in_netns.sh
      --native-dir ${VL_NATIVE_BUILD_DIR} --wine-prefix ${VL_WINEPREFIX}
      --test-root ${VL_TEST_ROOT_CERT} --root ${root} --log ${root}.log ${options}
      -- ${ARGN} PARENT_SCOPE)
  string(REPLACE "/" "\\" windows_root "Z:${root}")
  set(${environment_var} "VL_PATCH_ROOT=${windows_root}" "VL_PATCH_LOG=${windows_root}.log" PARENT_SCOPE)
endfunction()
