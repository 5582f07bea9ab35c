# Helpers for tests, fuzz targets and benchmarks.
#
#   zc_add_test(NAME SOURCES a.cpp b.cpp LIBS lib... [LABELS threads])
#     A GoogleTest executable; each TEST becomes a CTest test. Label "threads"
#     marks suites that start threads, so the ThreadSanitizer run picks them.
#
#   zc_add_fuzz(NAME SOURCE fuzz.cpp CORPUS dir LIBS lib...)
#     fuzz.cpp defines LLVMFuzzerTestOneInput. With ZC_FUZZ=ON (clang) it becomes
#     a libFuzzer binary; otherwise a replay program that runs every file of
#     CORPUS through the entry point, registered as a test.
#
#   zc_add_bench(NAME SOURCES a.cpp LIBS lib...)
#     A Google Benchmark program, built with ZC_BENCH=ON, never a test.
if(ZC_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  # What the ThreadSanitizer run builds: every suite labelled "threads" joins it.
  add_custom_target(zc_thread_suites)
  # Without a compiler cache, GoogleTest's header is compiled once into a precompiled header that every
  # suite reuses. The host is an executable so its flags (-fPIE, the sanitizers) match the suites'; a suite
  # whose flags differ falls back to the plain header. With a cache it stays off: each clone's header
  # differs in its embedded paths, so every suite that used it would miss the cache.
  if(CMAKE_CXX_COMPILER_LAUNCHER)
    set(_zc_pch_default OFF)
  else()
    set(_zc_pch_default ON)
  endif()
  option(ZC_TEST_PCH "Share one precompiled GoogleTest header between the test suites" ${_zc_pch_default})
  # A suite's files compiled together: GoogleTest's header and the project's are parsed once per batch
  # instead of once per file, which is most of a clean build's time.
  option(ZC_UNITY_TESTS "Compile each test suite's files in batches" ON)
  option(ZC_SUITE_UBSAN "Also check the test suites' own code for undefined behaviour" OFF)
  # Code generation for the assertion macros is most of a suite's compile time; at -O1 a suite compiles in
  # about two thirds of the -O2 time, while the code under test, in its libraries, keeps the configuration's
  # optimisation.
  set(ZC_TEST_OPTIMIZE $<$<CONFIG:RelWithDebInfo,Release>:-O1>)
  if(ZC_TEST_PCH)
    add_executable(zc_gtest_pch EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/cmake/gtest_pch_host.cpp)
    target_link_libraries(zc_gtest_pch PRIVATE zc_warnings GTest::gtest GTest::gtest_main)
    target_precompile_headers(zc_gtest_pch PRIVATE <gtest/gtest.h>)
    target_compile_options(zc_gtest_pch PRIVATE ${ZC_TEST_OPTIMIZE})
  endif()
endif()

# The simulated scanner and the test kit make the suites' input. Their pixel and waveform loops are most of
# the end-to-end suites' time, so a Debug build compiles them with optimisation (still under the
# sanitizers); the code under test keeps the configuration's.
set(ZC_WORLD_OPTIMIZE "-O2" CACHE STRING "Optimisation of the simulator and test kit in Debug builds")
function(zc_optimize_test_world)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Debug>:${ZC_WORLD_OPTIMIZE}>)
  endforeach()
endfunction()

function(zc_add_test name)
  if(NOT ZC_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} zc_warnings GTest::gtest GTest::gtest_main)
  if(ZC_TEST_PCH)
    target_precompile_headers(${name} REUSE_FROM zc_gtest_pch)
  endif()
  target_compile_options(${name} PRIVATE ${ZC_TEST_OPTIMIZE})
  if(ZC_UNITY_TESTS)
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  endif()
  # The undefined-behaviour checks on the assertion macros' code cost a third of a suite's compile time and
  # check only test code: the libraries under test, the simulator and the test kit keep them.
  if("undefined" IN_LIST ZC_SANITIZE AND NOT ZC_SUITE_UBSAN)
    target_compile_options(${name} PRIVATE -fno-sanitize=undefined)
  endif()
  # Test discovery flattens list-valued properties, so each suite carries one label.
  if(T_LABELS)
    list(GET T_LABELS 0 _labels)
  else()
    set(_labels unit)
  endif()
  if(_labels STREQUAL "threads")
    add_dependencies(zc_thread_suites ${name})
  endif()
  # Parameterised cases carry their own names; a printed parameter (raw bytes, pointers) would make the
  # CTest name change from build to build.
  gtest_discover_tests(${name}
    NO_PRETTY_VALUES
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS "${_labels}" TIMEOUT 300)
endfunction()

function(zc_add_fuzz name)
  cmake_parse_arguments(F "" "SOURCE;CORPUS" "LIBS" ${ARGN})
  if(ZC_FUZZ)
    add_executable(${name} ${F_SOURCE})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${F_LIBS} zc_warnings)
  elseif(ZC_TESTS)
    # The replay's main is compiled once for every target.
    if(NOT TARGET zc_fuzz_replay_main)
      add_library(zc_fuzz_replay_main OBJECT ${PROJECT_SOURCE_DIR}/cmake/fuzz_replay_main.cpp)
      target_link_libraries(zc_fuzz_replay_main PRIVATE zc_warnings)
    endif()
    add_executable(${name} ${F_SOURCE} $<TARGET_OBJECTS:zc_fuzz_replay_main>)
    target_link_libraries(${name} PRIVATE ${F_LIBS} zc_warnings)
    add_test(NAME ${name}.replay COMMAND ${name} ${F_CORPUS})
    set_tests_properties(${name}.replay PROPERTIES LABELS "fuzz" TIMEOUT 600)
  endif()
endfunction()

function(zc_add_bench name)
  if(NOT ZC_BENCH)
    return()
  endif()
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} zc_warnings benchmark::benchmark benchmark::benchmark_main)
endfunction()
