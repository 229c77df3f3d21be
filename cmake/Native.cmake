# Native build: unit tests of the core (GoogleTest through CTest) and benchmarks.
find_package(GTest REQUIRED)

file(GLOB KELVARA_CORE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/core/*.cpp)
add_executable(core_tests ${KELVARA_CORE_TESTS})
target_link_libraries(core_tests PRIVATE kelvara_core GTest::gtest GTest::gtest_main)
# The replay of the fuzzer's findings reads the kept crash inputs from the tree.
target_compile_definitions(core_tests PRIVATE
  KELVARA_FUZZ_REGRESSIONS_DIR="${CMAKE_SOURCE_DIR}/tests/fuzz/regressions"
  KELVARA_SAMPLES_DIR="${CMAKE_SOURCE_DIR}/samples")
include(GoogleTest)
gtest_discover_tests(core_tests DISCOVERY_TIMEOUT 60)

if(KELVARA_BENCHMARKS AND NOT KELVARA_SANITIZE)
  find_package(benchmark REQUIRED)
  find_library(FFTW3_LIBRARY fftw3 REQUIRED)
  file(GLOB KELVARA_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/bench/*.cpp)
  add_executable(core_benchmarks ${KELVARA_BENCH_SOURCES})
  target_link_libraries(core_benchmarks PRIVATE kelvara_core benchmark::benchmark ${FFTW3_LIBRARY})
endif()
