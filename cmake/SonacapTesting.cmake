# sonacap_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [PULSE] [GUI] [TIMEOUT s])
#
# One GoogleTest executable; every case becomes its own ctest test.
# PULSE attaches the private sound-server fixture and points the test at it.
# GUI runs the test under the offscreen Qt platform.
set(SONACAP_PULSE_DIR ${CMAKE_BINARY_DIR}/pulse-run)

function(sonacap_add_test name)
  cmake_parse_arguments(T "PULSE;GUI" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    SONACAP_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    SONACAP_TEST_BINARY_DIR="${CMAKE_BINARY_DIR}"
    SONACAP_TEST_OUTPUT_DIR="${SONACAP_OUTPUT_DIR}")
  set(env "LC_ALL=C" "ASAN_OPTIONS=detect_leaks=0" "UBSAN_OPTIONS=print_stacktrace=1"
    "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp")
  set(labels ${T_LABELS})
  if(T_PULSE)
    list(APPEND env
      "PULSE_SERVER=unix:${SONACAP_PULSE_DIR}/native"
      "PULSE_RUNTIME_PATH=${SONACAP_PULSE_DIR}"
      "SONACAP_PULSE_DIR=${SONACAP_PULSE_DIR}")
    list(APPEND labels pulse)
  endif()
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
    list(APPEND labels gui)
  endif()
  if(NOT labels)
    set(labels unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # gtest_discover_tests flattens its PROPERTIES into one key/value list, so a
  # list value (the environment, several labels) would shift every pair after
  # it. The properties are instead applied by a script of our own that ctest
  # reads after the discovered tests, with each list written out quoted.
  set(props "ENVIRONMENT \"${env}\" LABELS \"${labels}\" TIMEOUT ${T_TIMEOUT}")
  if(T_PULSE)
    string(APPEND props " FIXTURES_REQUIRED pulse_server RESOURCE_LOCK pulse_server")
  endif()
  # The environment also wraps the executable itself, so that listing the cases
  # (which runs the test program before any test property applies) sees it too:
  # a GUI test program needs the offscreen platform just to start.
  set_target_properties(${name} PROPERTIES
    CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${env}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    TEST_LIST ${name}_TESTS)
  set(props_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_props.cmake)
  file(WRITE ${props_file}
    "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES ${props})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props_file})
endfunction()

# The audio tests' measuring instrument (tests/common/NoisePlacement): a known
# pink-noise program and the placement of a recording in it. Any test folder
# links it with LIBS sonacap_noise_placement.
pkg_check_modules(NOISE_PLACEMENT_DEPS REQUIRED IMPORTED_TARGET GLOBAL fftw3 sndfile)
add_library(sonacap_noise_placement STATIC ${CMAKE_SOURCE_DIR}/tests/common/NoisePlacement.cpp)
target_include_directories(sonacap_noise_placement PUBLIC ${CMAKE_SOURCE_DIR}/tests/common)
target_link_libraries(sonacap_noise_placement PUBLIC PkgConfig::NOISE_PLACEMENT_DEPS)
