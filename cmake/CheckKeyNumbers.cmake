# Run by the comment_key_numbers test (cmake/SettingsKeys.cmake):
#   cmake -DDRV_ROOT=<source root> [-DDRV_PLANT=<file>...] -P CheckKeyNumbers.cmake
# Comments name settings keys by name (config/keys/settings_keys.h), the
# number at most following in brackets. Fails, naming the lines, on a //
# comment that cites a number the header names right after "key", "keys",
# "keyed", "attribute(s)", "list", "composite", "setting", "settings'" or
# "under" ("the attribute under key 295"), or in a path of two such
# numbers ("364 -> 291"). Other numbers (sizes, offsets, class and string
# ids) pass, whatever they equal. Reads every top folder but tests and
# support (whose fixtures still cite numbers), hidden ones and build
# trees.
cmake_minimum_required(VERSION 3.25)

set(header config/keys/settings_keys.h)
include(${CMAKE_CURRENT_LIST_DIR}/SourceFiles.cmake)
drv_key_numbers(keys ${header})

set(number "(0x[0-9A-Fa-f]+|[0-9]+)")
set(word "([Kk]eys?|keyed|attributes?|list|composite|setting|settings'|under)")
# A number ends where neither a digit, a letter nor a decimal, range or
# ratio follows.
set(end "([^0-9A-Za-z_./-]|[./-][^0-9]|[./-]$|$)")
set(cited "(^|[^A-Za-z0-9_])${word} +${number}${end}")
set(path "(^|[^A-Za-z0-9_])${number} +-> +${number}${end}")

function(drv_is_key text out)
  math(EXPR value "${text}" OUTPUT_FORMAT DECIMAL)
  if(value IN_LIST keys)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

drv_key_checked_files(files "^(tests|support)$" ${header})

set(problems)
foreach(file ${files})
  file(READ ${file} text)
  if(NOT text MATCHES "//[^\n]*([0-9] +-> +[0-9]|${word} +[0-9])")
    continue()
  endif()
  # One list item per line: no list separators or brackets left in them.
  string(REGEX REPLACE "[][;\\]" " " text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  list(FILTER lines INCLUDE REGEX "//.*([0-9] +-> +[0-9]|${word} +[0-9])")
  foreach(line ${lines})
    string(FIND "${line}" "//" at)
    string(SUBSTRING "${line}" ${at} -1 comment)
    set(hit FALSE)
    string(REGEX MATCHALL "${cited}" found "${comment}")
    foreach(match ${found})
      string(REGEX MATCH "${cited}" match "${match}")
      drv_is_key(${CMAKE_MATCH_3} key)
      if(key)
        set(hit TRUE)
      endif()
    endforeach()
    string(REGEX MATCHALL "${path}" found "${comment}")
    foreach(match ${found})
      string(REGEX MATCH "${path}" match "${match}")
      drv_is_key(${CMAKE_MATCH_2} first)
      drv_is_key(${CMAKE_MATCH_3} second)
      if(first AND second)
        set(hit TRUE)
      endif()
    endforeach()
    if(hit)
      file(RELATIVE_PATH shown ${DRV_ROOT} ${file})
      string(STRIP "${line}" line)
      list(APPEND problems "${shown}: ${line}")
    endif()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n  " listed)
  message(FATAL_ERROR "Comments name settings keys by name (${header}):\n  ${listed}")
endif()
