# Fuzzing build (the `fuzz` preset). Included right after project() through
# CMAKE_PROJECT_INCLUDE, so the other builds never see it.
#
# KVEL_FUZZ=ON instruments every library for coverage, AddressSanitizer and
# UBSan; the fuzz targets under tests/fuzz also link libFuzzer's driver. Only
# those targets (and the libraries they need) are meant to be built: build the
# `fuzzers` target, or run scripts/run-fuzzers.sh.
option(KVEL_FUZZ "Build the libFuzzer targets under tests/fuzz" OFF)

if(KVEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KVEL_FUZZ needs clang (libFuzzer); configure with the fuzz preset")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer -g)
  # Programs, if anyone builds them here, still link against the sanitizer runtimes.
  add_link_options(-fsanitize=address,undefined)

  # The fuzz targets come after every library is defined: at the end of the
  # top-level directory.
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR}
    CALL include ${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz_targets.cmake)
endif()
