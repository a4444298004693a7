// The rerun line of KVEL_EXPLAIN, run by bash, launches with the same
// arguments: the same run script, the command files no longer needed.
#include <string>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

TEST(ExplainRerun, BashRerunWritesTheSameScript) {
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  // Blanks, quotes of both kinds, Tcl text, a kept reference, a tab, text beyond ASCII.
  ws.file("a.f",
          "-testplusarg \"MSG=it's a \\\"test\\\"\" -testplusarg {x[3]}$v;\n"
          "-tclbatch \"dir with blank/r.tcl\" -testplusarg X=${KVT_UNSET}\n"
          "-testplusarg \"T=a\tb\" -testplusarg N=é表😀 -onfinish \"quit; puts %d\"\n");
  testsupport::RunOptions options;
  options.setEnv["KVEL_EXPLAIN"] = "1";
  options.unsetEnv.push_back("KVT_UNSET");
  const testsupport::RunResult first = ws.run(KVEL_DOUBLE_BIN, {"top", "-f", "a.f", "-tp"}, options);
  ASSERT_EQ(first.exitStatus, 0) << first.out << first.err;
  const std::string script = ws.read("kvel.dir/top/kvel_script.tcl");
  const std::string marker = "KVEL_EXPLAIN: rerun with: ";
  const std::size_t at = first.err.find(marker);
  ASSERT_NE(at, std::string::npos) << first.err;
  const std::size_t end = first.err.find('\n', at);
  const std::string line = first.err.substr(at + marker.size(), end - at - marker.size());
  EXPECT_EQ(line.find("a.f"), std::string::npos) << line;

  ws.file("kvel.dir/top/kvel_script.tcl", "");
  testsupport::RunOptions plain;
  plain.unsetEnv = {"KVEL_EXPLAIN", "KVT_UNSET"};
  const testsupport::RunResult again = ws.run("/bin/bash", {"-c", line}, plain);
  ASSERT_EQ(again.exitStatus, 0) << line << "\n" << again.out << again.err;
  EXPECT_EQ(ws.read("kvel.dir/top/kvel_script.tcl"), script) << line;
  EXPECT_NE(script.find("T=a\tb"), std::string::npos) << script;
}

}  // namespace
