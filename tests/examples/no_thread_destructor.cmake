# Run by the test Library.RegistersNoThreadDestructor:
#   cmake -DNM=<nm> "-DFILES=<file>|<file>..." -P no_thread_destructor.cmake
# Fails when an object of the files (archives, shared objects, programs)
# wants __cxa_thread_atexit or __cxa_thread_atexit_impl: that is where a
# thread_local object's destructor is registered, which allocates, and the
# C library ends the process when that allocation fails.
string(REPLACE "|" ";" files "${FILES}")
set(found)
foreach(file ${files})
  execute_process(COMMAND ${NM} -A ${file} RESULT_VARIABLE result OUTPUT_VARIABLE symbols
                  ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${file}: ${errors}")
  endif()
  string(LENGTH "${symbols}" size)
  if(size LESS 1000)
    message(FATAL_ERROR "${NM} listed almost nothing of ${file}")
  endif()
  string(REGEX MATCHALL "[^\n]* U __cxa_thread_atexit(_impl)?[@\n]" wants "${symbols}")
  foreach(line ${wants})
    string(REGEX REPLACE ": +U .*" "" object "${line}")
    list(APPEND found ${object})
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n  " listed)
  message(FATAL_ERROR "thread-local destructors registered with the C library by:\n  ${listed}")
endif()
list(LENGTH files count)
message(STATUS "none of ${count} files registers a thread-local destructor")
