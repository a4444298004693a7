# KVEL_SANITIZE=ON builds everything with AddressSanitizer and UBSan, at -O1:
# as the sanitizers' own guides advise, fast enough for the million-argument
# tests, with frames kept for the reports. GCC's "may be used uninitialized"
# is off there only: with the sanitizers' checks inlined at -O1 it reports
# libstdc++'s own std::function and std::regex code; the release build keeps it.
option(KVEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KVEL_SANITIZE)
  add_compile_options(-O1 -fsanitize=address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
  add_link_options(-fsanitize=address,undefined)
endif()
