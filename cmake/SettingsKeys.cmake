# The comment check (cmake/CheckKeyNumbers.cmake), and the tests of the
# settings-key check itself (cmake/CheckSettingsKeys.cmake; the check of the
# tree is the test settings_keys). Each plants one file in
# the build tree, a key constant spelt one way, and expects the check to
# fail naming it. The spellings: the plain one; a table; no std::; const
# rather than constexpr; 16-bit; a literal's suffix; an enumerator; auto;
# an enumerator of a typed enum class; a table over several lines; braces.
# Each entry: the test's suffix | the declaration, its semicolon left out |
# what the failure must show (a regular expression).
set(DRV_PLANTED_KEYS
    "plain|constexpr std::uint32_t kPlantedKey = 291|kPlantedKey = 291"
    "table|inline constexpr std::uint32_t kPlantedKeys[] = {291, 292}|kPlantedKeys\\[\\] = {291, 292}"
    "no_std|constexpr uint32_t kPlantedKey = 291|kPlantedKey = 291"
    "const|const std::uint32_t kPlantedKey = 291|kPlantedKey = 291"
    "16_bit|constexpr std::uint16_t kPlantedKey = 291|kPlantedKey = 291"
    "suffix|constexpr std::uint32_t kPlantedKey = 0x123u|kPlantedKey = 0x123u"
    "enum|enum { kPlantedKey = 291 }|kPlantedKey = 291"
    "auto|constexpr auto kPlantedKey = 291|kPlantedKey = 291"
    "enum_class|enum class Planted : std::uint32_t { kFirstKey, kPlantedKey = 291 }|kPlantedKey = 291"
    "lines|constexpr std::uint32_t kPlantedKeys[] = {\n    291,\n    292}|kPlantedKeys\\[\\] = { 291, 292}"
    "braces|constexpr std::uint32_t kPlantedKey{291}|kPlantedKey{291")

function(drv_add_settings_keys_tests)
  set(check ${CMAKE_COMMAND} -DDRV_ROOT=${PROJECT_SOURCE_DIR})
  set(script -P ${PROJECT_SOURCE_DIR}/cmake/CheckKeyNumbers.cmake)
  add_test(NAME comment_key_numbers COMMAND ${check} ${script})
  # The comment check on a planted comment that cites a key by number.
  set(planted ${CMAKE_BINARY_DIR}/settings_keys/planted_comment.h)
  file(CONFIGURE OUTPUT ${planted}
       CONTENT "// The colour adjustment: the attribute under key 295.\n" @ONLY)
  add_test(NAME comment_key_numbers_refuses_a_number COMMAND ${check} -DDRV_PLANT=${planted} ${script})
  set_tests_properties(comment_key_numbers_refuses_a_number PROPERTIES PASS_REGULAR_EXPRESSION
                       "planted_comment.h: // The colour adjustment: the attribute under key 295")
  foreach(entry ${DRV_PLANTED_KEYS})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 spelling)
    list(GET parts 1 declaration)
    list(GET parts 2 shown)
    set(planted ${CMAKE_BINARY_DIR}/settings_keys/planted_${spelling}.h)
    file(CONFIGURE OUTPUT ${planted} CONTENT "#pragma once\n\n${declaration};\n" @ONLY)
    set(test settings_keys_refuses_${spelling})
    add_test(NAME ${test}
             COMMAND ${CMAKE_COMMAND} -DDRV_ROOT=${PROJECT_SOURCE_DIR} -DDRV_PLANT=${planted} -P
                     ${PROJECT_SOURCE_DIR}/cmake/CheckSettingsKeys.cmake)
    set_tests_properties(${test} PROPERTIES PASS_REGULAR_EXPRESSION
                                            "planted_${spelling}.h: [^\n]*${shown}")
  endforeach()
endfunction()
