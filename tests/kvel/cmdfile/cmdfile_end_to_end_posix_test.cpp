// Command files through the real kvel program from a pipe a POSIX shell
// makes (yes, /dev/stdin).
#include <string>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

using testsupport::RunResult;

// An endless stream of lines through a pipe ends at the bound.
TEST(CommandFileLaunchPipe, EndlessStreamStopsAtTheBound) {
  const RunResult r = testsupport::LaunchWorkspace().run("/bin/sh", {"-c", "yes '#' | \"$0\" top -f /dev/stdin", KVEL_DOUBLE_BIN});
  EXPECT_EQ(r.err + std::to_string(r.exitStatus),
            "ERROR: Command file /dev/stdin takes the command files of one launch past 268435456 bytes\n1");
}

}  // namespace
