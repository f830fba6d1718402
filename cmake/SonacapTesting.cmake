# sonacap_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [PULSE [PIPEWIRE]] [GUI] [TIMEOUT s])
#
# One GoogleTest executable; every case becomes its own ctest test.
# PULSE attaches the private PulseAudio fixture and points the test at it.
# PIPEWIRE (with PULSE) also runs every case against the private PipeWire
# fixture, as <case>.pipewire labelled "pipewire": the same program, the same
# devices, another server behind the same protocol.
# GUI runs the test under the offscreen Qt platform.
set(SONACAP_PULSE_DIR ${CMAKE_BINARY_DIR}/pulse-run)
set(SONACAP_PIPEWIRE_DIR ${CMAKE_BINARY_DIR}/pipewire-run)

# Registers the discovered cases of `target` once more, with `suffix` after
# each name and the properties given.
function(_sonacap_register_cases target suffix env labels timeout fixture)
  set(props "ENVIRONMENT \"${env}\" LABELS \"${labels}\" TIMEOUT ${timeout}")
  if(fixture)
    string(APPEND props " FIXTURES_REQUIRED ${fixture} RESOURCE_LOCK ${fixture}")
  endif()
  set(list_var ${target}${suffix}_TESTS)
  string(REPLACE "." "_" list_var ${list_var})
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    TEST_SUFFIX "${suffix}"
    TEST_LIST ${list_var})
  # gtest_discover_tests flattens its PROPERTIES into one key/value list, so a
  # list value (the environment, several labels) would shift every pair after
  # it. The properties are instead applied by a script of our own that ctest
  # reads after the discovered tests, with each list written out quoted.
  set(props_file ${CMAKE_CURRENT_BINARY_DIR}/${list_var}_props.cmake)
  file(WRITE ${props_file}
    "if(${list_var})\n  set_tests_properties(\${${list_var}} PROPERTIES ${props})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props_file})
endfunction()

# The variables that point a test at the private server whose folder is `dir`.
function(_sonacap_server_env out dir server)
  set(${out}
    "PULSE_SERVER=unix:${dir}/native"
    "PULSE_RUNTIME_PATH=${dir}"
    "SONACAP_PULSE_DIR=${dir}"
    "SONACAP_SOUND_SERVER=${server}" PARENT_SCOPE)
endfunction()

function(sonacap_add_test name)
  cmake_parse_arguments(T "PULSE;PIPEWIRE;GUI" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(T_PIPEWIRE AND NOT T_PULSE)
    message(FATAL_ERROR "sonacap_add_test(${name}): PIPEWIRE goes with PULSE")
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    SONACAP_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    SONACAP_TEST_BINARY_DIR="${CMAKE_BINARY_DIR}"
    SONACAP_TEST_OUTPUT_DIR="${SONACAP_OUTPUT_DIR}")
  set(env "LC_ALL=C" "ASAN_OPTIONS=detect_leaks=0" "UBSAN_OPTIONS=print_stacktrace=1"
    "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp")
  set(labels ${T_LABELS})
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
    list(APPEND labels gui)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # The environment also wraps the executable itself, so that listing the cases
  # (which runs the test program before any test property applies) sees it too:
  # a GUI test program needs the offscreen platform just to start. The server
  # is left out there: each registration of the cases brings its own.
  set_target_properties(${name} PROPERTIES
    CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${env}")
  if(T_PULSE)
    _sonacap_server_env(server_env ${SONACAP_PULSE_DIR} pulseaudio)
    set(server_labels ${labels} pulse)
    _sonacap_register_cases(${name} "" "${env};${server_env}" "${server_labels}" ${T_TIMEOUT} pulse_server)
  else()
    if(NOT labels)
      set(labels unit)
    endif()
    _sonacap_register_cases(${name} "" "${env}" "${labels}" ${T_TIMEOUT} "")
  endif()
  if(T_PIPEWIRE)
    _sonacap_server_env(server_env ${SONACAP_PIPEWIRE_DIR} pipewire)
    set(server_labels ${labels} pipewire)
    _sonacap_register_cases(${name} ".pipewire" "${env};${server_env}" "${server_labels}" ${T_TIMEOUT}
      pipewire_server)
  endif()
endfunction()

# The audio tests' measuring instrument (tests/common/NoisePlacement): a known
# pink-noise program and the placement of a recording in it. Any test folder
# links it with LIBS sonacap_noise_placement.
pkg_check_modules(NOISE_PLACEMENT_DEPS REQUIRED IMPORTED_TARGET GLOBAL fftw3 sndfile)
add_library(sonacap_noise_placement STATIC ${CMAKE_SOURCE_DIR}/tests/common/NoisePlacement.cpp)
target_include_directories(sonacap_noise_placement PUBLIC ${CMAKE_SOURCE_DIR}/tests/common)
target_link_libraries(sonacap_noise_placement PUBLIC PkgConfig::NOISE_PLACEMENT_DEPS)
