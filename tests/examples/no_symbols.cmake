# Run by the tests that hold the programs to what they may hold
# (tests/examples/CMakeLists.txt):
#   cmake -DNM=<nm> "-DFILES=<file>|<file>..." "-DPATTERN=<regex>"
#         "-DWHAT=<what a match means>" -P no_symbols.cmake
# Fails when a line of `nm -A -C` of a file (an archive, a shared object, a
# program) matches PATTERN, naming the first five.
string(REPLACE "|" ";" files "${FILES}")
set(found)
foreach(file ${files})
  execute_process(COMMAND ${NM} -A -C ${file} RESULT_VARIABLE result OUTPUT_VARIABLE symbols
                  ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${file}: ${errors}")
  endif()
  string(LENGTH "${symbols}" size)
  if(size LESS 1000)
    message(FATAL_ERROR "${NM} listed almost nothing of ${file}")
  endif()
  string(REGEX MATCHALL "[^\n]*${PATTERN}[^\n]*" matches "${symbols}")
  list(APPEND found ${matches})
endforeach()
list(LENGTH files count)
if(found)
  list(LENGTH found matched)
  list(SUBLIST found 0 5 some)
  list(JOIN some "\n  " listed)
  message(FATAL_ERROR "${WHAT} (${matched} symbols), such as:\n  ${listed}")
endif()
message(STATUS "none of ${count} files: ${WHAT}")
