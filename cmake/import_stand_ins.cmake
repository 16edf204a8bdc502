# cmake -DFROM=<32-bit build tree> -DTO=<twin's build tree> -P import_stand_ins.cmake
# The 32-bit stand-in programs, plain and signed, at the same places in the twin's tree.
foreach(pattern tools/kernel/VLWidgetKernel*.exe tools/updater/VLUpdate*.exe signed/*.exe)
  file(GLOB files RELATIVE ${FROM} ${FROM}/${pattern})
  if(NOT files)
    message(FATAL_ERROR "${FROM} holds no ${pattern}: build the 32-bit tree first")
  endif()
  foreach(file ${files})
    get_filename_component(folder ${TO}/${file} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(COPY_FILE ${FROM}/${file} ${TO}/${file} ONLY_IF_DIFFERENT)
  endforeach()
endforeach()
