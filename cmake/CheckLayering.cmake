# Run by the include_layering test (Layering.cmake):
#   cmake -DDRV_ROOT=<source root> -DDRV_TARGETS=<targets.cmake> -P CheckLayering.cmake
# Fails, listing them, on includes of a project header whose library the
# includer does not link.
#
# Who owns a header: the targets that list it among their sources, else
# those that compile its same-named source file, else the one target that
# has sources in its folder. In a folder of several targets a header that
# none of these rules places is an error: list it in its target's sources.
# A header in a folder of no target belongs to no library and is looked
# through: its own includes count as its includer's.
#
# What is checked: the sources of every checked target and the headers it
# owns in its folders. An include is allowed when one of the header's
# owners is the includer, a target it links, or one that a linked target
# passes on to its users (PUBLIC or INTERFACE, transitively).
# Nothing checked includes a file under tests/.
cmake_minimum_required(VERSION 3.25)
include(${DRV_TARGETS})

set(problems)
set(unplaced "in a folder of several libraries, but listed in none of their sources")

foreach(target ${drv_targets})
  foreach(file ${drv_sources_${target}})
    list(APPEND "owners_${file}" ${target})
    get_filename_component(folder ${file} DIRECTORY)
    list(APPEND "folder_${folder}" ${target})
    list(APPEND folders ${folder})
  endforeach()
endforeach()
list(REMOVE_DUPLICATES folders)
foreach(folder ${folders})
  list(REMOVE_DUPLICATES "folder_${folder}")
endforeach()

# Sets `out` to the owners of `header` (root-relative), to "" for a header of
# no library, or to "?" when its folder's targets leave it unplaced.
function(owners_of header out)
  set(found ${owners_${header}})
  string(REGEX REPLACE "\\.[^./]*$" "" stem ${header})
  foreach(extension .cpp .cc .c)
    list(APPEND found ${owners_${stem}${extension}})
  endforeach()
  if(NOT found)
    get_filename_component(folder ${header} DIRECTORY)
    list(LENGTH "folder_${folder}" count)
    if(count EQUAL 1)
      set(found ${folder_${folder}})
    elseif(count GREATER 1)
      set(found "?")
    endif()
  endif()
  list(REMOVE_DUPLICATES found)
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# The project headers that `file` includes, root-relative: beside it first,
# as the compiler looks, then from the root.
function(includes_of file out)
  file(STRINGS ${DRV_ROOT}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
  get_filename_component(folder ${file} DIRECTORY)
  set(found)
  foreach(line ${lines})
    string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*" "\\1" name "${line}")
    set(candidates ${name})
    if(folder)
      list(PREPEND candidates ${folder}/${name})
    endif()
    foreach(candidate ${candidates})
      cmake_path(NORMAL_PATH candidate)
      if(NOT candidate MATCHES "^\\.\\./" AND EXISTS ${DRV_ROOT}/${candidate})
        list(APPEND found ${candidate})
        break()
      endif()
    endforeach()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# The targets whose headers `target` may include.
function(reach_of target out)
  set(reach ${target})
  set(pending ${drv_links_${target}})
  while(pending)
    list(POP_FRONT pending next)
    if(NOT next IN_LIST reach)
      list(APPEND reach ${next})
      list(APPEND pending ${drv_pass_on_${next}})
    endif()
  endwhile()
  set(${out} ${reach} PARENT_SCOPE)
endfunction()

# Checks the includes of `file` for `target`, looking through headers of no
# library; `seen` guards against include loops among those.
macro(check_file file)
  set(walk ${file})
  set(seen ${file})
  while(walk)
    list(POP_FRONT walk current)
    includes_of(${current} included)
    foreach(header ${included})
      owners_of(${header} owners)
      set(via "")
      if(NOT current STREQUAL file)
        set(via " (through ${current})")
      endif()
      if(header MATCHES "^tests/")
        list(APPEND problems "${file}${via}: includes ${header}, which only the tests may include")
      elseif(owners STREQUAL "?")
        list(APPEND problems "${header}: ${unplaced}")
      elseif(NOT owners)
        if(NOT header IN_LIST seen)
          list(APPEND seen ${header})
          list(APPEND walk ${header})
        endif()
      else()
        set(allowed FALSE)
        foreach(owner ${owners})
          if(owner IN_LIST reach)
            set(allowed TRUE)
          endif()
        endforeach()
        if(NOT allowed)
          string(REPLACE ";" ", " owners "${owners}")
          list(APPEND problems
               "${file}${via}: includes ${header} of ${owners}, which ${target} does not link")
        endif()
      endif()
    endforeach()
  endwhile()
endmacro()

set(files_checked 0)
foreach(target ${drv_checked})
  reach_of(${target} reach)
  set(mine ${drv_sources_${target}})
  foreach(folder ${folders})
    if(NOT target IN_LIST "folder_${folder}")
      continue()
    endif()
    file(GLOB headers RELATIVE ${DRV_ROOT} ${DRV_ROOT}/${folder}/*.h)
    foreach(header ${headers})
      owners_of(${header} owners)
      if(owners STREQUAL "?")
        list(APPEND problems "${header}: ${unplaced}")
      elseif(target IN_LIST owners)
        list(APPEND mine ${header})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES mine)
  foreach(file ${mine})
    check_file(${file})
    math(EXPR files_checked "${files_checked} + 1")
  endforeach()
endforeach()

list(REMOVE_DUPLICATES problems)
list(LENGTH drv_checked targets_checked)
if(files_checked EQUAL 0)
  message(FATAL_ERROR "No file checked: ${DRV_TARGETS} names no checked target")
endif()
if(problems)
  list(JOIN problems "\n  " listed)
  message(FATAL_ERROR "Includes across the layering:\n  ${listed}")
endif()
message(STATUS "Include layering: ${files_checked} files of ${targets_checked} targets checked")
