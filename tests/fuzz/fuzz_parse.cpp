// The whole option handling: CommandLineOptions::parse over an argument
// vector made of the input cut at NUL bytes, with command files at hand.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kvel/options/command_line_options.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kvelfuzz::setUp();
  const std::string plain = "-testplusarg SEED=$SEED -tclbatch \"run me.tcl\"\n# note\n-gui\n";
  kvelfuzz::writeFile("opts.f", plain.data(), plain.size());
  const std::string nested = "-f opts.f -view ${HOME}/w.wcfg\n-maxdeltaid 5\n";
  kvelfuzz::writeFile("nested.f", nested.data(), nested.size());
  const std::string self = "-tp\n-f self.f\n";
  kvelfuzz::writeFile("self.f", self.data(), self.size());
  const std::string data = "$ZEK_DATADIR/lib/a.vhd ${UNSET}\n\"open\n";
  kvelfuzz::writeFile("bad.f", data.data(), data.size());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> pieces = kvelfuzz::cut(data, size, std::string(1, '\0'), size + 1);
  std::vector<char*> argv;
  static char program[] = "kvel";
  argv.push_back(program);
  for (std::string& piece : pieces) argv.push_back(&piece[0]);
  const int argc = static_cast<int>(argv.size());
  argv.push_back(nullptr);

  KVEL::CommandLineOptions options;
  const bool accepted = options.parse(argc, argv.data());
  if (accepted && options.rawArguments.size() != pieces.size()) __builtin_trap();
  return 0;
}
