# Fuzzing build, clang only (scripts/fuzz.sh configures it): the WAV reader and
# decoder under libFuzzer with ASan and UBSan, and the program that writes the
# seed corpus. Only the reader's own sources are instrumented, so a half-built
# file elsewhere in the core never stops a fuzzing run.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KELVARA_FUZZ needs clang++ (libFuzzer); scripts/fuzz.sh picks it")
endif()

set(KELVARA_FUZZ_READER_SOURCES
  ${CMAKE_SOURCE_DIR}/core/audio/WavFile.cpp
  ${CMAKE_SOURCE_DIR}/core/audio/SoundBuffer.cpp
)
# -UNDEBUG: the reader's own assertions are worth hitting too.
set(KELVARA_FUZZ_FLAGS
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
  -fno-omit-frame-pointer -g -O1 -UNDEBUG)

add_executable(wav_fuzzer ${CMAKE_SOURCE_DIR}/tests/fuzz/WavFuzzer.cpp ${KELVARA_FUZZ_READER_SOURCES})
target_include_directories(wav_fuzzer PRIVATE ${CMAKE_SOURCE_DIR})
# The reader's sources are compiled here rather than taken from the core, so
# they get the core's rounding rules by hand.
target_compile_options(wav_fuzzer PRIVATE ${KELVARA_FUZZ_FLAGS} ${KELVARA_FP_FLAGS})
target_link_options(wav_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)

add_executable(make_corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/MakeCorpus.cpp)
target_include_directories(make_corpus PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(make_corpus PRIVATE ${KELVARA_FP_FLAGS})
