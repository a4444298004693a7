# KVEL_SANITIZE=ON builds everything with AddressSanitizer and UBSan, at -O1:
# as the sanitizers' own guides advise, fast enough for the million-argument
# tests, with frames kept for the reports.
option(KVEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KVEL_SANITIZE)
  add_compile_options(-O1 -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
