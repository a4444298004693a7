// The rerun line of KVEL_EXPLAIN, run by sh (dash, which has no $'...'),
// launches with the same arguments: the same run script, the command files
// no longer needed; the line itself holds no control byte and no byte that
// is not UTF-8.
#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

struct Rerun {
  const char* name;
  std::string file;               // a.f
  std::vector<std::string> args;  // after "top -f a.f"
};

void PrintTo(const Rerun& c, std::ostream* os) { *os << c.name; }

class ExplainRerun : public testing::TestWithParam<Rerun> {};

TEST_P(ExplainRerun, ShRerunWritesTheSameScript) {
  const Rerun& c = GetParam();
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  ws.file("a.f", c.file);
  std::vector<std::string> args{"top", "-f", "a.f"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  testsupport::RunOptions options;
  options.setEnv["KVEL_EXPLAIN"] = "1";
  options.unsetEnv.push_back("KVT_UNSET");
  const testsupport::RunResult first = ws.run(KVEL_DOUBLE_BIN, args, options);
  ASSERT_EQ(first.exitStatus, 0) << first.out << first.err;
  const std::string script = ws.read("kvel.dir/top/kvel_script.tcl");
  const std::string marker = "KVEL_EXPLAIN: rerun with: ";
  const std::size_t at = first.err.find(marker);
  ASSERT_NE(at, std::string::npos) << first.err;
  const std::size_t end = first.err.find('\n', at);
  const std::string line = first.err.substr(at + marker.size(), end - at - marker.size());
  EXPECT_EQ(line.find("a.f"), std::string::npos) << line;
  for (const char byte : line) {
    const unsigned char u = static_cast<unsigned char>(byte);
    EXPECT_TRUE(u >= 0x20 && u != 0x7F && u != 0xE9 && u != 0x9B) << int(u) << " in " << line;
  }

  ws.file("kvel.dir/top/kvel_script.tcl", "");
  testsupport::RunOptions plain;
  plain.unsetEnv = {"KVEL_EXPLAIN", "KVT_UNSET"};
  const testsupport::RunResult again = ws.run("/bin/sh", {"-c", line}, plain);
  ASSERT_EQ(again.exitStatus, 0) << line << "\n" << again.out << again.err;
  EXPECT_EQ(ws.read("kvel.dir/top/kvel_script.tcl"), script) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ExplainRerun,
    testing::ValuesIn(std::vector<Rerun>{
        {"QuotesTclTextAndBeyondAscii",
         "-testplusarg \"MSG=it's a \\\"test\\\"\" -testplusarg {x[3]}$v;\n"
         "-tclbatch \"dir with blank/r.tcl\" -testplusarg X=${KVT_UNSET}\n"
         "-testplusarg N=é表😀 -onfinish \"quit; puts %d\"\n",
         {"-tp"}},
        {"TabInAFile", "-testplusarg \"T=a\tb\"\n", {}},
        {"ControlBytesC1AndNotUtf8",
         "",
         {"-testplusarg", "E=\x1b[31m", "-testplusarg",
          "C1=\xC2\x9B"
          "x",
          "-testplusarg", "B=\xE9t\xFF", "-testplusarg", "Q=%'\\\"$x`"}},
        {"NewlinesInsideAndAtTheEnd",
         "",
         {"-testplusarg", "L=a\nb", "-testplusarg", "END=x\n\n", "-testplusarg", "\n"}}}),
    [](const testing::TestParamInfo<Rerun>& info) { return std::string(info.param.name); });

// A FIFO at the script's place: the dry run ends as the launch does, and
// neither waits on it.
TEST(ExplainDryRun, FifoAtTheScriptsPlaceEndsAsTheLaunchDoes) {
  for (const char* mode : {"only", "json-only", "1"}) {
    testsupport::LaunchWorkspace ws;
    ws.kernel("top");
    ASSERT_EQ(::mkfifo(ws.path("kvel.dir/top/kvel_script.tcl").c_str(), 0600), 0);
    testsupport::RunOptions options;
    options.setEnv["KVEL_EXPLAIN"] = mode;
    options.setEnv["KVEL_EXPLAIN_FILE"] = ws.path("account.json");
    options.timeoutSeconds = 30;
    const testsupport::RunResult r = ws.run(KVEL_DOUBLE_BIN, {"top"}, options);
    EXPECT_FALSE(r.timedOut) << mode;
    EXPECT_EQ(r.exitStatus, 1) << mode << r.out << r.err;
    EXPECT_EQ(r.out,
              "ERROR: Cannot write kvel.dir/top/kvel_script.tcl: not a regular file.\n"
              "ERROR: Unable to create script file kvel.dir/top/kvel_script.tcl.\n")
        << mode;
    EXPECT_EQ(ws.shellCalls().size(), 0u) << mode;
  }
}

}  // namespace
