# Run by the settings_keys test (tests/CMakeLists.txt), and on planted
# files by the tests of cmake/SettingsKeys.cmake:
#   cmake -DDRV_ROOT=<source root> [-DDRV_PLANT=<file>...] -P CheckSettingsKeys.cmake
# Settings keys are named once, in config/keys/settings_keys.h. Fails,
# naming the places, on a number the header names twice and on a constant
# named k<Name>Key (or a k<Name>Keys table) given an integer anywhere else,
# whatever its type (std::uint32_t or not, const or constexpr, 16-bit,
# auto, an enumerator), whatever the literal's suffix, its initialiser on
# one line or several. Comments are not read. Every top folder is read
# (tests, bench and examples included) but hidden ones, build trees and
# platform/, which stands in for the host system: its names follow the
# host's (a registry key is no settings key) and it cannot see the header.
cmake_minimum_required(VERSION 3.25)

set(header config/keys/settings_keys.h)
# A constant: the name, then `=` (not `==`) or a brace, and what follows up
# to a comma, brace or end of statement (an enumerator ends at the comma).
# A table: the name, its bound, and a flat list in braces (a table of
# records holds braces or strings, and no key constant).
set(name "(^|[^A-Za-z0-9_])k[A-Z][A-Za-z0-9_]*Keys?")
set(gap "[ \t\r\n]*")
set(constant "${name}${gap}(=[^=]|{)${gap}{?[^,;{}\"]*")
set(table "${name}${gap}\\[[^]]*\\]${gap}=?${gap}{[^{}\";]*}")
# An integer literal (its suffix follows) that starts a token.
set(integer "(^|[^A-Za-z0-9_])(0[xX][0-9A-Fa-f]+|[1-9][0-9']*)")

include(${CMAKE_CURRENT_LIST_DIR}/SourceFiles.cmake)
drv_key_checked_files(files "^platform$" ${header})

set(problems)
foreach(file ${files})
  file(READ ${file} text)
  if(NOT text MATCHES "${constant}|${table}")
    continue()  # most files: no candidate, no need to strip comments
  endif()
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" text "${text}")
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")
  string(REGEX MATCHALL "${constant}|${table}" found "${text}")
  foreach(match ${found})
    if(match MATCHES "${integer}")
      string(REGEX REPLACE "[ \t\r\n]+" " " match "${match}")
      string(REGEX REPLACE "^[^k]" "" match "${match}")
      string(STRIP "${match}" match)
      file(RELATIVE_PATH shown ${DRV_ROOT} ${file})
      list(APPEND problems "${shown}: ${match}")
    endif()
  endforeach()
endforeach()

# Each number once in the header, tables included.
drv_key_numbers(numbers ${header})
set(seen)
foreach(number ${numbers})
  if(number IN_LIST seen)
    list(APPEND problems "${header}: ${number} named twice")
  endif()
  list(APPEND seen ${number})
endforeach()
list(LENGTH seen count)
if(count LESS 100)
  message(FATAL_ERROR "Too few keys read from ${header} (${count})")
endif()

if(problems)
  list(JOIN problems "\n  " listed)
  message(FATAL_ERROR "Settings keys belong in ${header}, each number once:\n  ${listed}")
endif()
