# Registers the GoogleTest tests of an executable with CTest. By default each
# test is an entry of its own (gtest_discover_tests). With TAVIX_TESTS_PER_SUITE
# the tests run several to a process, one entry: under the sanitizers a
# process's start and its leak check at exit cost more than most tests do.
# Quick tests go up to TAVIX_TESTS_PER_ENTRY to an entry, across their suites.
# The suites named in TAVIX_SLOW_SUITES take seconds per test: their tests run
# apart from the quick ones, one to an entry or as many as the name gives
# ("WindowManager:4", where each process starts an X server), and their
# entries start first, so that no entry holds up the end of the run.
#
#   tavix_discover_tests(<target> [TEST_SUFFIX <suffix>] [PROPERTIES <name> <value> ...])
#
# The tests are listed after each build of the target, as gtest_discover_tests
# does; an entry is named "<target>:<suite>.<first test>+<n>" (the first test
# and how many follow it), as a suite's name may recur in another executable.
set(TAVIX_TESTS_PER_ENTRY 16)
set(_tavix_suites_script "${CMAKE_CURRENT_LIST_FILE}")

function(tavix_discover_tests target)
  cmake_parse_arguments(ARG "" "TEST_SUFFIX" "PROPERTIES" ${ARGN})
  if(NOT TAVIX_TESTS_PER_SUITE)
    gtest_discover_tests(${target} TEST_SUFFIX "${ARG_TEST_SUFFIX}" DISCOVERY_TIMEOUT 120
      PROPERTIES ${ARG_PROPERTIES})
    return()
  endif()

  # One list file per registration: the same executable may be registered
  # again with another suffix and environment.
  string(MAKE_C_IDENTIFIER "${target}${ARG_TEST_SUFFIX}" id)
  set(base "${CMAKE_CURRENT_BINARY_DIR}/${id}_suites")
  # The properties go through a file, each quoted: a list would not survive
  # the command line.
  set(properties "")
  foreach(p IN LISTS ARG_PROPERTIES)
    string(APPEND properties " [==[${p}]==]")
  endforeach()
  set(args
    "set(suffix [==[${ARG_TEST_SUFFIX}]==])\nset(properties [===[${properties}]===])\n"
    "set(per_entry ${TAVIX_TESTS_PER_ENTRY})\nset(slow_suites [==[${TAVIX_SLOW_SUITES}]==])\n")
  file(WRITE "${base}_args.cmake" ${args})
  # Its digest and this script's on the command line list the tests anew when
  # either changes.
  file(MD5 "${_tavix_suites_script}" script_digest)
  string(MD5 digest "${args}${script_digest}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -D "tavix_list_suites=1" -D "target=${target}"
      -D "exe=$<TARGET_FILE:${target}>" -D "args=${base}_args.cmake" -D "digest=${digest}"
      -D "out=${base}.cmake" -P "${_tavix_suites_script}"
    BYPRODUCTS "${base}.cmake"
    VERBATIM)
  file(WRITE "${base}_include.cmake"
    "if(EXISTS [==[${base}.cmake]==])\n"
    "  include([==[${base}.cmake]==])\n"
    "else()\n"
    "  add_test([==[${target}_NOT_BUILT${ARG_TEST_SUFFIX}]==] [==[${target}_NOT_BUILT]==])\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${base}_include.cmake")
endfunction()

# Run as a script after a build: lists the suites of ${exe} and writes the
# CTest entries into ${out}.
if(tavix_list_suites)
  include("${args}")
  execute_process(COMMAND "${exe}" --gtest_list_tests
    OUTPUT_VARIABLE listing RESULT_VARIABLE status TIMEOUT 120)
  if(NOT status EQUAL 0)
    file(REMOVE "${out}")
    message(FATAL_ERROR "${exe} --gtest_list_tests ended with ${status}:\n${listing}")
  endif()
  string(REPLACE ";" "\\;" listing "${listing}")
  string(REPLACE "\n" ";" lines "${listing}")
  set(text "")
  set(suite "")
  # The quick tests gathered so far (of any suite), and those of the slow
  # suite being listed.
  set(quick "")
  set(slow "")
  set(slow_cost 1000)
  # Writes the entry of the tests gathered in the list named `var`. Its cost
  # orders the entries: the slow ones first, those of the suites with the
  # fewest tests to a process (the longest tests) foremost, then the larger
  # groups of quick tests.
  macro(add_entry var base_cost)
    if(${var})
      list(LENGTH ${var} n)
      list(GET ${var} 0 first)
      math(EXPR more "${n} - 1")
      set(name "${target}:${first}")
      if(more GREATER 0)
        string(APPEND name "+${more}")
      endif()
      string(APPEND name "${suffix}")
      string(REPLACE ";" ":" filter "${${var}}")
      math(EXPR cost "${base_cost} + ${n}")
      string(APPEND text
        "add_test([==[${name}]==] [==[${exe}]==] [==[--gtest_filter=${filter}]==])\n"
        "set_tests_properties([==[${name}]==] PROPERTIES${properties} COST ${cost})\n")
      set(${var} "")
    endif()
  endmacro()
  foreach(line IN LISTS lines)
    # A suite's line starts in the first column and ends in a dot (a typed
    # suite's parameter follows as a comment); its tests' lines are indented
    # (a parameter follows as a comment).
    if(line MATCHES "^([^ #][^ ]*)\\.( .*)?$")
      add_entry(slow ${slow_cost})
      set(suite "${CMAKE_MATCH_1}")
      string(REGEX REPLACE "/.*" "" base "${suite}")
      set(limit 0)
      foreach(s IN LISTS slow_suites)
        string(REGEX MATCH "^[^:]+" name "${s}")
        if(name STREQUAL base)
          set(limit 1)
          if(s MATCHES ":([0-9]+)$")
            set(limit ${CMAKE_MATCH_1})
          endif()
          math(EXPR slow_cost "1000 + 100 / ${limit}")
        endif()
      endforeach()
    elseif(line MATCHES "^  ([^ ]+)" AND suite)
      if(limit GREATER 0)
        list(APPEND slow "${suite}.${CMAKE_MATCH_1}")
        list(LENGTH slow n)
        if(n GREATER_EQUAL limit)
          add_entry(slow ${slow_cost})
        endif()
      else()
        list(APPEND quick "${suite}.${CMAKE_MATCH_1}")
        list(LENGTH quick n)
        if(n GREATER_EQUAL per_entry)
          add_entry(quick 0)
        endif()
      endif()
    endif()
  endforeach()
  add_entry(slow ${slow_cost})
  add_entry(quick 0)
  file(WRITE "${out}" "${text}")
endif()
