# The include-layering test: every #include "..." of a project header must
# reach a library that the includer links (itself, a library it links, or
# one those pass on publicly). drv_add_layering_test(), called once every
# target exists, writes what CMake knows of the targets (sources, links) to
# the build tree at configure time, so the check never drifts from the
# build; CheckLayering.cmake reads it and the sources when the test runs.
#
# Top folders whose targets' own includes are not checked (an include of
# their headers from a checked target still is): the tests, whose programs
# gather what they test from every layer. Drop a folder from this list to
# check it too.
set(DRV_LAYERING_UNCHECKED tests)

function(drv_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    drv_collect_targets(${sub} sub_targets)
    list(APPEND targets ${sub_targets})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The entries of a link list that are this project's targets; with
# PASS_ON, only what reaches the target's users ($<LINK_ONLY:x> does not).
function(drv_project_links out)
  cmake_parse_arguments(ARG "PASS_ON" "" "" ${ARGN})
  set(found)
  foreach(item ${ARG_UNPARSED_ARGUMENTS})
    if(item MATCHES "^\\$<LINK_ONLY:(.*)>$")
      if(ARG_PASS_ON)
        continue()
      endif()
      set(item ${CMAKE_MATCH_1})
    endif()
    if(TARGET ${item})
      get_target_property(aliased ${item} ALIASED_TARGET)
      if(aliased)
        set(item ${aliased})
      endif()
      get_target_property(imported ${item} IMPORTED)
      if(NOT imported)
        list(APPEND found ${item})
      endif()
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

function(drv_add_layering_test)
  drv_collect_targets(${PROJECT_SOURCE_DIR} targets)
  set(data "# Written at configure time by cmake/Layering.cmake.\n")
  set(kept)
  set(checked)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY|INTERFACE_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    get_target_property(dir ${target} SOURCE_DIR)
    get_target_property(sources ${target} SOURCES)
    set(files)
    foreach(source ${sources})
      if(source MATCHES "^\\$<")
        continue()
      endif()
      get_filename_component(source ${source} ABSOLUTE BASE_DIR ${dir})
      cmake_path(IS_PREFIX CMAKE_BINARY_DIR ${source} generated)
      cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${source} ours)
      if(ours AND NOT generated)
        file(RELATIVE_PATH source ${PROJECT_SOURCE_DIR} ${source})
        list(APPEND files ${source})
      endif()
    endforeach()
    get_target_property(pass_on ${target} INTERFACE_LINK_LIBRARIES)
    if(type STREQUAL "INTERFACE_LIBRARY")
      set(links ${pass_on})  # a header-only library's headers use what it passes on
    else()
      get_target_property(links ${target} LINK_LIBRARIES)
    endif()
    drv_project_links(links ${links})
    drv_project_links(pass_on PASS_ON ${pass_on})
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${dir})
    string(APPEND data "set(drv_sources_${target} \"${files}\")\n"
           "set(drv_links_${target} \"${links}\")\n" "set(drv_pass_on_${target} \"${pass_on}\")\n"
           "set(drv_type_${target} ${type})\n" "set(drv_dir_${target} \"${folder}\")\n")
    list(APPEND kept ${target})
    string(REGEX REPLACE "/.*" "" top ${folder})
    if(NOT top IN_LIST DRV_LAYERING_UNCHECKED)
      list(APPEND checked ${target})
    endif()
  endforeach()
  string(APPEND data "set(drv_targets \"${kept}\")\n" "set(drv_checked \"${checked}\")\n")
  set(data_file ${CMAKE_BINARY_DIR}/layering/targets.cmake)
  file(CONFIGURE OUTPUT ${data_file} CONTENT "${data}" @ONLY)
  set(check ${CMAKE_COMMAND} -DDRV_ROOT=${PROJECT_SOURCE_DIR} -DDRV_TARGETS=${data_file})
  set(script -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayering.cmake)
  add_test(NAME include_layering COMMAND ${check} ${script})
  # The check itself, on a planted fault each: the configuration model
  # linking the driver, and a header of the configuration model including
  # one of the driver's. Each must fail, naming what was planted.
  set(planted ${CMAKE_BINARY_DIR}/layering/planted_upward_include.h)
  file(CONFIGURE OUTPUT ${planted} CONTENT "#include \"driver/driver_context.h\"\n")
  add_test(NAME include_layering_refuses_an_upward_link
           COMMAND ${check} -DDRV_PLANT_LINK=config:driver ${script})
  set_tests_properties(include_layering_refuses_an_upward_link PROPERTIES
                       PASS_REGULAR_EXPRESSION "config links driver, of rank 7, not below its own 3")
  add_test(NAME include_layering_refuses_an_upward_include
           COMMAND ${check} -DDRV_PLANT_SOURCE=config:${planted} ${script})
  set_tests_properties(include_layering_refuses_an_upward_include PROPERTIES
                       PASS_REGULAR_EXPRESSION "planted_upward_include.h: includes driver/driver_context.h of driver, which config does not link")
endfunction()
