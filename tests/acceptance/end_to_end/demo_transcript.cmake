# Runs the demonstration (DEMO) and compares its transcript of printer P1,
# from its first line on, with the hand-written GOLDEN; comment lines and
# blank lines are left out of both. The demonstration must also end with
# status 0.
execute_process(COMMAND ${DEMO} OUTPUT_VARIABLE output RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the demonstration ended with ${status}:\n${output}")
endif()
file(READ ${GOLDEN} golden)
string(REGEX REPLACE "(^|\n)#[^\n]*" "\\1" golden "${golden}")
string(REGEX REPLACE "\n+" "\n" golden "${golden}")
string(REGEX REPLACE "^\n" "" golden "${golden}")
string(REGEX MATCH "^[^\n]*" first "${golden}")
string(FIND "${output}" "${first}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "no \"${first}\" in:\n${output}")
endif()
string(SUBSTRING "${output}" ${at} -1 shown)
string(REGEX REPLACE "\n+" "\n" shown "${shown}")
if(NOT shown STREQUAL golden)
  message(FATAL_ERROR "the transcript differs; expected:\n${golden}\nshown:\n${shown}")
endif()
