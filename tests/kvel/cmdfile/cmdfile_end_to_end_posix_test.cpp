// Command files through the real kvel program from a pipe a POSIX shell
// makes (yes, /dev/stdin).
#include <string>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

using testsupport::RunResult;

// An endless stream of lines through a pipe ends at the bound: comment
// lines by their bytes, one-letter arguments by what they hold in memory.
TEST(CommandFileLaunchPipe, EndlessStreamStopsAtTheBound) {
  for (const char* line : {"'#'", "y"}) {
    const RunResult r = testsupport::LaunchWorkspace().run(
        "/bin/sh",
        {"-c", std::string("yes ") + line + " | \"$0\" top -f /dev/stdin", KVEL_DOUBLE_BIN});
    EXPECT_EQ(
        r.err + std::to_string(r.exitStatus),
        "ERROR: Command file /dev/stdin takes the command files of one launch past 1073741824 "
        "bytes of memory (each line read counts its bytes, each argument its bytes and 5 "
        "more)\n1")
        << line;
  }
}

}  // namespace
