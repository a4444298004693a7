// Command files under a limit on the address space (ulimit -v in a child
// shell): a file that fits when read as a stream is read, running out of
// memory ends the launch with one message and status 1, and an endless line
// ends in bounded memory.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

using testsupport::LaunchWorkspace;
using testsupport::RunResult;

// Runs kvel_double in the workspace with its address space limited to
// `kilobytes`.
RunResult runLimited(const LaunchWorkspace& ws, int kilobytes, std::vector<std::string> args) {
  args.insert(args.begin(), {"-c", "ulimit -v " + std::to_string(kilobytes) + " && exec \"$0\" \"$@\"",
                             KVEL_DOUBLE_BIN});
  return ws.run("/bin/sh", args);
}

class ResourceLimits : public testing::Test {
protected:
  void SetUp() override {
#ifdef KVEL_SANITIZED_BUILD
    GTEST_SKIP() << "AddressSanitizer reserves far more address space than these limits allow";
#endif
    ws.kernel("top");
  }
  LaunchWorkspace ws;
};

TEST_F(ResourceLimits, LargeFileOfCommentsIsReadUnderALimitBelowTwiceItsSize) {
  const std::string line = "# " + std::string(77, 'c') + "\n";
  std::string content;
  content.reserve(20u << 20);
  while (content.size() + line.size() <= (20u << 20)) content += line;
  ws.file("comments.txt", content + "-testplusarg LAST=1\n");
  content = std::string();
  const RunResult r = runLimited(ws, 40 * 1024, {"top", "-f", "comments.txt"});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ws.read("kvel.dir/top/kvel_script.tcl"), "kvel {top} -testplusarg LAST=1 -autoloadwcfg\n");
}

TEST_F(ResourceLimits, RunningOutOfMemoryNamesTheFileAndEndsWithStatusOne) {
  std::string lines;
  for (int i = 0; i < 400000; ++i) lines += "-testplusarg V=" + std::to_string(i) + "\n";
  std::string outer;
  for (int i = 0; i < 4; ++i) outer += "-f inner.txt\n";
  ws.file("inner.txt", lines);
  ws.file("outer.txt", outer);
  const RunResult r = runLimited(ws, 40 * 1024, {"top", "-f", "outer.txt"});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ERROR: Out of memory while reading command file inner.txt\n");
  EXPECT_FALSE(testsupport::fileExists(ws.path("kvel.dir/top/kvel_script.tcl")));
  EXPECT_TRUE(ws.shellCalls().empty());
}

TEST_F(ResourceLimits, RunningOutOfMemoryOnTheCommandLineEndsWithStatusOne) {
  std::vector<std::string> args = {"top"};
  for (int i = 0; i < 40000; ++i) {
    args.push_back("-testplusarg");
    args.push_back("V" + std::to_string(1000000 + i) + "_padding");
  }
  const RunResult r = runLimited(ws, 12 * 1024, args);
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.out, "ERROR: Out of memory while reading the command line options.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(testsupport::fileExists(ws.path("kvel.dir/top/kvel_script.tcl")));
  EXPECT_TRUE(ws.shellCalls().empty());
}

TEST_F(ResourceLimits, EndlessLineEndsInBoundedMemory) {
  const RunResult r = runLimited(ws, 600 * 1024, {"top", "-f", "/dev/zero"});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err, "ERROR: Command file /dev/zero has a line longer than 268435456 bytes\n");
  EXPECT_TRUE(ws.shellCalls().empty());
}

}  // namespace
