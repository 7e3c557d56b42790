# Project-wide compile options: warnings for everything we compile, and the
# sanitizers for the test build.
add_compile_options(-Wall -Wextra)
if(DRV_WERROR)
  add_compile_options(-Werror)
endif()
# GCC 12 reports overlapping copies inside std::string's operator+ that
# cannot happen, when it optimises at -O3 (its bug 105651): the warning says
# nothing of our code, and under -Werror it breaks the Release build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
# Thread-local data in the initial-exec model: a host that loads the
# library's shared object gets its thread-local block at the load (or a
# refusal there, which the loader answers), never at a thread's first use,
# where the C library aborts the process when the allocation fails.
add_compile_options(-ftls-model=initial-exec)
if(DRV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined -O1)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzzing build (clang only): every library carries the fuzzer's coverage
# instrumentation, with AddressSanitizer and UndefinedBehaviorSanitizer.
# Undefined behaviour stops the run, so that the fuzzer keeps the input.
if(DRV_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "DRV_FUZZ needs clang")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# drv_add_library(name SOURCES...) - one static library per subsystem, with the
# project root as its include root ("foundation/rw/cstring.h"). Its code is
# position-independent, since the library's shared object (ui/module/) is
# linked from these same archives; without semantic interposition, so that
# the compiler still inlines and binds our own calls directly.
function(drv_add_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${name} PRIVATE -fno-semantic-interposition)
  endif()
endfunction()
