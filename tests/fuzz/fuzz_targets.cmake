# libFuzzer targets; included by cmake/Fuzzing.cmake at the end of the
# top-level directory when KVEL_FUZZ is on.
set(KVEL_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
add_library(fuzz_support STATIC ${KVEL_FUZZ_DIR}/fuzz_support.cpp)
target_include_directories(fuzz_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(fuzz_support PUBLIC Boost::filesystem)

add_custom_target(fuzzers)
function(kvel_add_fuzzer name)
  add_executable(${name} ${KVEL_FUZZ_DIR}/${name}.cpp)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/fuzz)
  target_link_libraries(${name} PRIVATE fuzz_support ${ARGN})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  add_dependencies(fuzzers ${name})
endfunction()

kvel_add_fuzzer(fuzz_command_line kvel_cmdfile)
kvel_add_fuzzer(fuzz_command_files kvel_options)
kvel_add_fuzzer(fuzz_parse kvel_options)
