# Project-wide compile options: warnings for everything we compile, and the
# sanitizers for the test build.
add_compile_options(-Wall -Wextra)
# g++ 12 at -O2 and above warns that "text" + std::string may overlap itself
# (its bug 105651, a false positive inside the standard library's inlined
# string code): keep it from failing the optimised build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
if(DRV_WERROR)
  add_compile_options(-Werror)
endif()
if(DRV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined -O1)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzzing build (clang only): every library carries the fuzzer's coverage
# instrumentation, with AddressSanitizer and UndefinedBehaviorSanitizer.
if(DRV_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "DRV_FUZZ needs clang")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# drv_add_library(name SOURCES...) - one static library per subsystem, with the
# project root as its include root ("foundation/rw/cstring.h").
function(drv_add_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
