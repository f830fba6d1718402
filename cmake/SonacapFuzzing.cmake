# sonacap_add_fuzz_target(<name> SOURCES ... [LIBS ...] CORPUS <folder>)
#
# SOURCES define LLVMFuzzerTestOneInput. The entry point is built twice:
#  - in the test build: <name>_seeds, which feeds every file of
#    the corpus folder once, registered as a ctest test, so the seeds run under
#    the sanitizers of the normal test build on every CI run;
#  - in a fuzz build (clang, BUILD_TESTING=ON and SONACAP_FUZZ=ON) instead:
#    <name>, a libFuzzer program with AddressSanitizer and UndefinedBehaviorSanitizer:
#      CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DBUILD_TESTING=ON -DSONACAP_FUZZ=ON
#      cmake --build build/fuzz --target <name>
#      build/fuzz/bin/<name> -max_total_time=60 <scratch corpus> <corpus folder>
set(SONACAP_FUZZ_SEED_MAIN ${CMAKE_CURRENT_LIST_DIR}/../tests/common/FuzzSeedMain.cpp)

function(sonacap_add_fuzz_target name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT F_CORPUS)
    message(FATAL_ERROR "sonacap_add_fuzz_target(${name}): CORPUS is required")
  endif()
  get_filename_component(corpus ${F_CORPUS} ABSOLUTE)
  if(SONACAP_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name}_seeds ${F_SOURCES} ${SONACAP_FUZZ_SEED_MAIN})
    target_link_libraries(${name}_seeds PRIVATE ${F_LIBS})
    add_test(NAME ${name}_seeds COMMAND ${name}_seeds ${corpus})
    set_tests_properties(${name}_seeds PROPERTIES LABELS unit TIMEOUT 120
      ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0;UBSAN_OPTIONS=print_stacktrace=1")
  endif()
endfunction()
