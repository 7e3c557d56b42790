# Run by the test PrintDemo.LinksNoTestFramework:
#   cmake -DNM=<nm> -DPROGRAM=<print_demo> -P no_test_framework.cmake
# Fails when the program holds a symbol of GoogleTest or GoogleMock
# (namespace testing) or of Google Benchmark (namespace benchmark), or wants
# one from a shared library.
execute_process(COMMAND ${NM} -C ${PROGRAM} RESULT_VARIABLE result OUTPUT_VARIABLE symbols
                ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${PROGRAM}: ${errors}")
endif()
string(LENGTH "${symbols}" size)
if(size LESS 1000)
  message(FATAL_ERROR "${NM} listed almost nothing of ${PROGRAM}")
endif()
string(REGEX MATCHALL "[^\n]*[ :(<,](testing|benchmark)::[^\n]*" found "${symbols}")
if(found)
  list(LENGTH found count)
  list(SUBLIST found 0 5 some)
  list(JOIN some "\n  " listed)
  message(FATAL_ERROR "${PROGRAM} links a test framework (${count} symbols), such as:\n  ${listed}")
endif()
message(STATUS "${PROGRAM}: no symbol of a test framework")
