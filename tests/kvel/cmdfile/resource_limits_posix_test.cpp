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

// Running out of memory in a command file names the file (standard error);
// on the command line it is the main flow's message (standard output).
TEST_F(ResourceLimits, RunningOutOfMemoryEndsWithOneMessageAndStatusOne) {
  std::string lines;
  for (int i = 0; i < 400000; ++i) lines += "-testplusarg V=" + std::to_string(i) + "\n";
  std::string outer;
  // Eight times over: more than the limit holds.
  for (int i = 0; i < 8; ++i) outer += "-f inner.txt\n";
  ws.file("inner.txt", lines);
  ws.file("outer.txt", outer);
  std::vector<std::string> longLine = {"top"};
  for (int i = 0; i < 40000; ++i) {
    longLine.push_back("-testplusarg");
    longLine.push_back("V" + std::to_string(1000000 + i) + "_padding");
  }
  const struct {
    int kilobytes;
    std::vector<std::string> args;
    std::string out, err;
  } cases[] = {
      {40 * 1024, {"top", "-f", "outer.txt"}, "",
       "ERROR: Out of memory while reading command file inner.txt\n"},
      {12 * 1024, longLine, "ERROR: Out of memory while reading the command line options.\n", ""},
  };
  for (const auto& c : cases) {
    const RunResult r = runLimited(ws, c.kilobytes, c.args);
    ASSERT_FALSE(r.signaled) << r.signal;
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_FALSE(testsupport::fileExists(ws.path("kvel.dir/top/kvel_script.tcl")));
    EXPECT_TRUE(ws.shellCalls().empty());
  }
}

TEST_F(ResourceLimits, EndlessLineEndsInBoundedMemory) {
  const RunResult r = runLimited(ws, 600 * 1024, {"top", "-f", "/dev/zero"});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err, "ERROR: Command file /dev/zero has a line longer than 268435456 bytes\n");
  EXPECT_TRUE(ws.shellCalls().empty());
}

}  // namespace
