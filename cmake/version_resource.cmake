# vl_version_resource(<target> <file name> <description> <version>): the version resource of
# the Windows program <target> (cmake/version_resource.rc.in): the maker, the product, the
# file's name and description, and <version> as numbers and as text.
function(vl_version_resource target file_name description version)
  set(VL_FILE_NAME ${file_name})
  set(VL_DESCRIPTION "${description}")
  set(VL_VERSION ${version})
  string(REPLACE "." "," VL_VERSION_COMMAS ${version})
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/version_resource.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
endfunction()
