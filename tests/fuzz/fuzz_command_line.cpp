// One command-file line through splitting, quote removal and
// environment-variable expansion, as the command-file reader does it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kvel/cmdfile/environment_expansion.h"
#include "kvel/cmdfile/line_splitting.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvelfuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  // The reader hands over one trimmed line without its line feed.
  const std::size_t end = line.find('\n');
  if (end != std::string::npos)
    line.erase(end);
  KVEL::trimWhitespace(line);

  std::vector<std::string> arguments;
  const bool closed = KVEL::splitCommandLine(line, arguments);
  std::string expansion;
  for (std::string& argument : arguments) {
    // Every argument is a non-empty slice of the line.
    if (argument.empty() || argument.size() > line.size())
      __builtin_trap();
    KVEL::stripQuotes(argument);
    std::string message;
    if (!KVEL::expandEnvironmentVariables(argument, expansion, &message) && message.empty())
      __builtin_trap();  // a failure always says why
  }
  if (closed && line.find('"') == std::string::npos) {
    // Without quotes the split is a plain cut at blanks.
    for (const std::string& argument : arguments)
      if (argument.find_first_of(" \t") != std::string::npos)
        __builtin_trap();
  }
  return 0;
}
