# Run by CTest (see ZxGTestSuites.cmake): lists the suites of one GoogleTest program and writes one
# add_test per suite into OUTPUT.
function(zx_list_gtest_suites)
  cmake_parse_arguments(ARG "" "PROGRAM;EMULATOR;PREFIX;WORKING_DIRECTORY;TIMEOUT;OUTPUT" "" ${ARGN})
  execute_process(
    COMMAND ${ARG_EMULATOR} "${ARG_PROGRAM}" --gtest_list_tests
    WORKING_DIRECTORY "${ARG_WORKING_DIRECTORY}"
    TIMEOUT 120
    OUTPUT_VARIABLE output
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Cannot list the tests of ${ARG_PROGRAM} (${result}):\n${output}")
  endif()
  string(REPLACE ";" "\\;" output "${output}")
  string(REPLACE "\n" ";" lines "${output}")
  set(script "")
  foreach(line IN LISTS lines)
    # Suite lines start in the first column: "Suite." or "Prefix/Suite.  # TypeParam = ...".
    if(line MATCHES "^([^ #][^ ]*)\\.( *#.*)?$")
      set(suite "${CMAKE_MATCH_1}")
      set(name "${ARG_PREFIX}:${suite}")
      string(APPEND script
        "add_test([==[${name}]==] ${ARG_EMULATOR} [==[${ARG_PROGRAM}]==] [==[--gtest_filter=${suite}.*]==])\n"
        "set_tests_properties([==[${name}]==] PROPERTIES WORKING_DIRECTORY [==[${ARG_WORKING_DIRECTORY}]==]"
        " TIMEOUT ${ARG_TIMEOUT})\n")
    endif()
  endforeach()
  if(script STREQUAL "")
    message(FATAL_ERROR "No test suites found in ${ARG_PROGRAM}:\n${output}")
  endif()
  file(WRITE "${ARG_OUTPUT}" "${script}")
endfunction()
