# One CTest test per GoogleTest suite: each suite runs as one process (`<program> --gtest_filter=Suite.*`),
# since under Wine a process start costs far more than most test cases. The suites are listed just
# before the tests run (under the same Wine server as the tests) and again whenever the program was
# rebuilt. A failing test's output names the failing cases ("[  FAILED  ] Suite.Case"), and scripts/test
# repeats them at the end. Test names are "<folder>:<Suite>", so `scripts/test -R Settings` picks suites.
#
#   zx_add_gtest_suites(<target> <name prefix> [WORKING_DIRECTORY dir] [TIMEOUT seconds])
set(ZX_GTEST_SUITES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/ZxGTestSuitesDiscover.cmake)

function(zx_add_gtest_suites target prefix)
  cmake_parse_arguments(ARG "" "WORKING_DIRECTORY;TIMEOUT" "" ${ARGN})
  if(NOT ARG_WORKING_DIRECTORY)
    set(ARG_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites_include.cmake)
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake)
  file(GENERATE OUTPUT ${include_file} CONTENT "
set(program \"$<TARGET_FILE:${target}>\")
if(EXISTS \"\${program}\")
  if(NOT EXISTS \"${list_file}\" OR \"\${program}\" IS_NEWER_THAN \"${list_file}\")
    include(\"${ZX_GTEST_SUITES_SCRIPT}\")
    zx_list_gtest_suites(PROGRAM \"\${program}\" EMULATOR \"${CMAKE_CROSSCOMPILING_EMULATOR}\"
      PREFIX \"${prefix}\" WORKING_DIRECTORY \"${ARG_WORKING_DIRECTORY}\" TIMEOUT \"${ARG_TIMEOUT}\"
      OUTPUT \"${list_file}\")
  endif()
  include(\"${list_file}\")
else()
  add_test(${prefix}:NOT_BUILT ${target}_NOT_BUILT)
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()
