# Run by the settings_keys test (tests/CMakeLists.txt):
#   cmake -DDRV_ROOT=<source root> -P CheckSettingsKeys.cmake
# Settings keys are named once, in config/keys/settings_keys.h. Fails,
# naming the places, on a 32-bit constant named k...Key (or a k...Keys
# table) given a number anywhere else outside tests/ (every top folder but
# tests, hidden ones and build trees), and on a number the header names
# twice.
cmake_minimum_required(VERSION 3.25)

set(header config/keys/settings_keys.h)
set(definition "constexpr[ \t]+(const[ \t]+)?std::uint32_t[ \t]+k[A-Za-z0-9_]*Keys?[ \t]*(\\[[0-9]*\\])?[ \t]*=[^;]*[ ={,](0x[0-9A-Fa-f]+|[1-9][0-9]*)[ \t]*([,};]|$)")

include(${CMAKE_CURRENT_LIST_DIR}/SourceFiles.cmake)
drv_source_files(files "^tests$")
list(REMOVE_ITEM files ${header})

set(problems)
foreach(file ${files})
  file(STRINGS ${DRV_ROOT}/${file} lines REGEX "${definition}")
  foreach(line ${lines})
    string(STRIP "${line}" line)
    string(REPLACE ";" "" line "${line}")
    list(APPEND problems "${file}: ${line}")
  endforeach()
endforeach()

# Each number once in the header, tables included.
file(STRINGS ${DRV_ROOT}/${header} lines REGEX "^inline constexpr std::uint32_t k")
set(seen)
foreach(line ${lines})
  string(REGEX REPLACE "^[^=]*=[ \t]*" "" values "${line}")
  string(REGEX REPLACE "[{};].*$|//.*$" "" values "${values}")
  string(REGEX REPLACE "[{} \t]" "" values "${values}")
  string(REPLACE "," ";" values "${values}")
  foreach(value ${values})
    math(EXPR number "${value}" OUTPUT_FORMAT DECIMAL)
    if(number IN_LIST seen)
      list(APPEND problems "${header}: ${value} named twice")
    endif()
    list(APPEND seen ${number})
  endforeach()
endforeach()
list(LENGTH seen count)
if(count LESS 100)
  message(FATAL_ERROR "Too few keys read from ${header} (${count})")
endif()

if(problems)
  list(JOIN problems "\n  " listed)
  message(FATAL_ERROR "Settings keys belong in ${header}, each number once:\n  ${listed}")
endif()
