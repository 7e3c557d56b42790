# The C++ files of the source tree, for the checks run as scripts
# (CheckFormat.cmake and the settings-key checks): every .cpp and .h under the
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

# The files a settings-key check reads: drv_source_files(`skip`) less the
# key header itself, plus the planted files of DRV_PLANT; absolute paths.
function(drv_key_checked_files out skip header)
  drv_source_files(files "${skip}")
  list(REMOVE_ITEM files ${header})
  list(TRANSFORM files PREPEND ${DRV_ROOT}/)
  foreach(planted ${DRV_PLANT})
    if(NOT IS_ABSOLUTE ${planted})
      set(planted ${DRV_ROOT}/${planted})
    endif()
    list(APPEND files ${planted})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# Every number the key header `header` names, in decimal and in the order
# named (a table's entries each), repeats kept.
function(drv_key_numbers out header)
  file(STRINGS ${DRV_ROOT}/${header} lines REGEX "^inline constexpr std::uint32_t k")
  set(numbers)
  foreach(line ${lines})
    string(REGEX REPLACE "^[^=]*=[ \t]*" "" values "${line}")
    string(REGEX REPLACE "[{};].*$|//.*$" "" values "${values}")
    string(REGEX REPLACE "[{} \t]" "" values "${values}")
    string(REPLACE "," ";" values "${values}")
    foreach(value ${values})
      math(EXPR number "${value}" OUTPUT_FORMAT DECIMAL)
      list(APPEND numbers ${number})
    endforeach()
  endforeach()
  set(${out} ${numbers} PARENT_SCOPE)
endfunction()
