// Command files: the input is cut into up to four files, "a" to "d", which
// may name each other with "-f"; the expansion starts from "-f a".
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kvel/options/command_line_options.h"
#include "tests/fuzz/fuzz_support.h"

namespace {
const char* const kNames[] = {"a", "b", "c", "d"};
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvelfuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> files = kvelfuzz::cut(data, size, "\n===\n", 4);
  for (std::size_t i = 0; i < 4; ++i) {
    const std::string empty;
    const std::string& content = i < files.size() ? files[i] : empty;
    kvelfuzz::writeFile(kNames[i], content.data(), content.size());
  }
  std::vector<std::string> output;
  KVEL::CommandLineOptions::expandCommandFiles({"-t", "x", "-f", "a", "-tp"}, output);
  // The arguments before the file come first, with a second dash.
  if (output.size() < 2 || output[0] != "-t" || output[1] != "x") __builtin_trap();
  return 0;
}
