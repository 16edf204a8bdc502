# cmake -DSRC=<src folder> -P check_layers.cmake: fails when a file of src/ includes a
# header of a layer that src/layers.cmake does not place below its own. The build catches
# most such includes already (each layer compiles against its own include root); a header
# that only files of higher layers include escapes it, and this check.
cmake_minimum_required(VERSION 3.25)
include(${SRC}/layers.cmake)
set(violations)
foreach(layer ${VL_LAYERS})
  file(GLOB_RECURSE files ${SRC}/${layer}/*.h ${SRC}/${layer}/*.cpp ${SRC}/${layer}/*.inc ${SRC}/${layer}/*.rc)
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"/]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^[^\"]*\"([^\"/]+)/.*$" "\\1" included "${line}")
      if(NOT included STREQUAL layer AND NOT included IN_LIST VL_LAYER_BELOW_${layer})
        file(RELATIVE_PATH name ${SRC} ${file})
        list(APPEND violations "${name}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "includes against the layers' order:\n  ${text}")
endif()
