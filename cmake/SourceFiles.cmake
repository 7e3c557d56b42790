# The C++ files of the source tree, for the checks run as scripts
# (CheckFormat.cmake, CheckSettingsKeys.cmake): every .cpp and .h under the
# top folders of DRV_ROOT but hidden ones, build trees (whose CMakeCache.txt
# lies one or two levels down) and those whose name matches `skip` (a
# regular expression; empty skips none). Paths relative to DRV_ROOT.
function(drv_source_files out skip)
  file(GLOB tops LIST_DIRECTORIES true RELATIVE ${DRV_ROOT} ${DRV_ROOT}/*)
  set(files)
  foreach(top ${tops})
    file(GLOB caches ${DRV_ROOT}/${top}/CMakeCache.txt ${DRV_ROOT}/${top}/*/CMakeCache.txt)
    if(NOT IS_DIRECTORY ${DRV_ROOT}/${top} OR top MATCHES "^\\." OR caches)
      continue()
    endif()
    if(NOT skip STREQUAL "" AND top MATCHES "${skip}")
      continue()
    endif()
    file(GLOB_RECURSE found RELATIVE ${DRV_ROOT} ${DRV_ROOT}/${top}/*.cpp ${DRV_ROOT}/${top}/*.h)
    list(APPEND files ${found})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()
