# Run by the clang_format test (tests/CMakeLists.txt):
#   cmake -DDRV_ROOT=<source root> -DDRV_CLANG_FORMAT=<clang-format> -P CheckFormat.cmake
# Fails, naming them, when C++ files of the source tree (every top folder
# but hidden ones and build trees, whose CMakeCache.txt lies one or two
# levels down) differ from what clang-format makes of them with the root's
# .clang-format. `clang-format -i <file>` mends one.
cmake_minimum_required(VERSION 3.25)

if(NOT DRV_CLANG_FORMAT OR NOT EXISTS "${DRV_CLANG_FORMAT}")
  message(FATAL_ERROR "clang-format not found (scripts/setup installs it)")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/SourceFiles.cmake)
drv_source_files(files "")
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "No C++ file found under ${DRV_ROOT}")
endif()

execute_process(COMMAND ${DRV_CLANG_FORMAT} --dry-run --Werror ${files}
                WORKING_DIRECTORY ${DRV_ROOT}
                RESULT_VARIABLE result
                ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  string(REGEX MATCHALL "[^\n:]+:[0-9]+:[0-9]+: error:" places "${errors}")
  set(drifting)
  foreach(place ${places})
    string(REGEX REPLACE ":[0-9]+:[0-9]+: error:$" "" file "${place}")
    list(APPEND drifting ${file})
  endforeach()
  list(REMOVE_DUPLICATES drifting)
  if(NOT drifting)
    message(FATAL_ERROR "clang-format failed:\n${errors}")
  endif()
  list(JOIN drifting "\n  " listed)
  message(FATAL_ERROR "Not formatted as .clang-format says (clang-format -i mends them):\n  ${listed}")
endif()
message(STATUS "clang-format: ${count} files as .clang-format says")
