// Benchmark driver: runs kvel's option handling up to the hand-over on
// "kvel -f FILE" and prints the number of expanded arguments.
//
//   cmdfile_driver parse FILE    expansion and parse, as kvel's main does
//   cmdfile_driver expand FILE   expansion only
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kvel/options/command_line_options.h"

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "parse") != 0 && std::strcmp(argv[1], "expand") != 0)) {
    std::fprintf(stderr, "usage: cmdfile_driver parse|expand FILE\n");
    return 2;
  }
  KVEL::CommandLineOptions options;
  bool ok = false;
  if (std::strcmp(argv[1], "parse") == 0) {
    char program[] = "kvel";
    char fileSwitch[] = "-f";
    char* arguments[] = {program, fileSwitch, argv[2], nullptr};
    ok = options.parse(3, arguments);
  } else {
    ok = KVEL::CommandLineOptions::expandCommandFiles({"-f", argv[2]}, options.expandedArguments);
  }
  std::printf("%zu\n", options.expandedArguments.size());
  return ok ? 0 : 1;
}
