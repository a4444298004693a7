// The rerun line of KVEL_EXPLAIN for cmd.exe, given to cmd /s /c "<line>" as
// the raw command line (argument quoting would escape its quotes with
// backslashes, which cmd does not read), launches with the same arguments,
// runs nothing else and leaves out nothing; for a value cmd cannot carry, no
// line but the reason.
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

struct CmdRerun {
  const char* name;
  std::string value;  // of -testplusarg, after "top"
};

void PrintTo(const CmdRerun& c, std::ostream* os) { *os << c.name; }

class ExplainCmdRerun : public testing::TestWithParam<CmdRerun> {};

// The program as cmd finds it: a Windows path.
std::string windowsPath(std::string path) {
  for (char& c : path)
    c = c == '/' ? '\\' : c;
  return path[0] == '\\' ? "Z:" + path : path;
}

TEST_P(ExplainCmdRerun, CmdRerunWritesTheSameScript) {
  const CmdRerun& c = GetParam();
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  testsupport::RunOptions options;
  options.setEnv["KVEL_EXPLAIN"] = "1";
  const std::string program = windowsPath(KVEL_DOUBLE_BIN);
  const testsupport::RunResult first =
      ws.run(KVEL_DOUBLE_BIN, {"top", "-testplusarg", c.value, "-tp"}, options, program);
  ASSERT_EQ(first.exitStatus, 0) << first.out << first.err;
  const std::string script = ws.read("kvel.dir/top/kvel_script.tcl");
  const std::string marker = "KVEL_EXPLAIN: rerun with: ";
  const std::size_t at = first.err.find(marker);
  ASSERT_NE(at, std::string::npos) << first.err;
  const std::size_t end = first.err.find('\n', at);
  const std::string line = first.err.substr(at + marker.size(), end - at - marker.size());

  ws.file("kvel.dir/top/kvel_script.tcl", "");
  testsupport::RunOptions raw;
  raw.unsetEnv = {"KVEL_EXPLAIN"};
  raw.cwd = ws.path("");
  raw.rawCommandTail = "/s /c \"" + line + "\"";
  const char* root = std::getenv("SystemRoot");
  const std::string cmd =
      std::string(root != nullptr ? root : "C:\\windows") + "\\system32\\cmd.exe";
  const testsupport::RunResult again = testsupport::runWithArgv0(cmd, "cmd", {}, raw);
  EXPECT_EQ(again.exitStatus, 0) << line << "\n" << again.out << again.err;
  EXPECT_EQ(ws.read("kvel.dir/top/kvel_script.tcl"), script) << line;
  for (const std::string& name : ws.list(""))
    EXPECT_NE(name, "pwned.txt") << "cmd ran a command of the value: " << line;
}

INSTANTIATE_TEST_SUITE_P(Rows, ExplainCmdRerun,
                         testing::ValuesIn(std::vector<CmdRerun>{
                             {"Percent", "P=50% done"},
                             {"CaretAndOperators", "O=a^b&c|d<e>f"},
                             {"OneQuoteThenOperators", "q\"&echo INJECTED>pwned.txt"},
                             {"OneQuoteThenPipe", "q\"|b"},
                             {"ThreeQuotes", "T=\"a&\" b|\"c<"},
                             {"QuoteAndPercent", "Q=\"50%\"&x|y"},
                             {"Exclamation", "E=!x! y"},
                             {"BeyondAscii", "N=é Ж 表 😀"},
                             {"TrailingBackslash", "D=C:\\dir x\\"}}),
                         [](const testing::TestParamInfo<CmdRerun>& info) {
                           return std::string(info.param.name);
                         });

TEST(ExplainCmdRerunRefused, ValuesCmdCannotCarryGiveTheReasonInstead) {
  const std::vector<std::pair<std::string, std::string>> rows{
      {"a\tb", "KVEL_EXPLAIN: no rerun line for cmd: argument 3 holds a control character"},
      {"%PATH%", "KVEL_EXPLAIN: no rerun line for cmd: the arguments hold % more than once"}};
  for (const auto& [value, reason] : rows) {
    testsupport::LaunchWorkspace ws;
    ws.kernel("top");
    testsupport::RunOptions options;
    options.setEnv["KVEL_EXPLAIN"] = "1";
    const testsupport::RunResult r =
        ws.run(KVEL_DOUBLE_BIN, {"top", "-testplusarg", value}, options, "kvel");
    EXPECT_EQ(r.err.find("rerun with:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
  }
}

}  // namespace
