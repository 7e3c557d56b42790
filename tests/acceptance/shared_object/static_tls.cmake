# Run by SharedObject.ThreadLocalDataAtLoad (CMakeLists.txt beside):
#   cmake -DREADELF=<readelf> "-DFILES=<object>|<object>..." -P static_tls.cmake
# Fails when a shared object holds thread-local data that the C library
# would allocate at a thread's first use of it (and abort the process when
# that allocation fails): a module or offset relocation of the dynamic
# models, or thread-local data without the STATIC_TLS flag, which has the
# loader place it in the static block at load.
string(REPLACE "|" ";" files "${FILES}")
foreach(file ${files})
  execute_process(COMMAND ${READELF} -W --dynamic --relocs --program-headers ${file}
                  RESULT_VARIABLE result OUTPUT_VARIABLE listing ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${READELF} failed on ${file}: ${errors}")
  endif()
  if(NOT listing MATCHES "Dynamic section")
    message(FATAL_ERROR "${READELF} listed no dynamic section of ${file}")
  endif()
  string(REGEX MATCHALL "R_X86_64_(DTPMOD64|DTPOFF64|TLSDESC)" lazy "${listing}")
  list(LENGTH lazy lazy_count)
  if(lazy_count GREATER 0)
    message(FATAL_ERROR "${file}: ${lazy_count} relocations of thread-local data "
                        "allocated at a thread's first use")
  endif()
  if(listing MATCHES "\n +TLS " AND NOT listing MATCHES "\\(FLAGS\\)[^\n]*STATIC_TLS")
    message(FATAL_ERROR "${file}: thread-local data without the STATIC_TLS flag")
  endif()
endforeach()
list(LENGTH files count)
message(STATUS "${count} objects: thread-local data placed at load")
