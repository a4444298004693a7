# Fuzzing build (the `fuzz` preset, KVEL_FUZZ=ON). Included before any
# library is defined: every library is instrumented for coverage,
# AddressSanitizer and UBSan; the fuzz targets under tests/fuzz also link
# libFuzzer's driver. Only those targets (and the libraries they need) are
# meant to be built: build the `fuzzers` target, or run scripts/run-fuzzers.sh.
if(KVEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KVEL_FUZZ needs clang (libFuzzer); configure with the fuzz preset")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer -g)
  # Programs, if anyone builds them here, still link against the sanitizer runtimes.
  add_link_options(-fsanitize=address,undefined)
endif()
