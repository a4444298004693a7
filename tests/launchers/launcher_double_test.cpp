// dravik and quindle against the test double: what reaches the shell, what
// comes back and what the catch-all reports.
#include <unistd.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/testdouble/recorder.h"
#include "tests/support/test_process.h"

namespace {

using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::TempDir;
using zekdouble::Fields;

struct Launcher {
  const char* path;
  const char* app;
  const char* listeners;  // event-61 listeners when the shell is entered
};

const Launcher kLaunchers[] = {
    {DRAVIK_DOUBLE_BIN, "Dravik", "1"},
    {QUINDLE_DOUBLE_BIN, "Quindle", "0"},
};

void PrintTo(const Launcher& launcher, std::ostream* os) {
  *os << launcher.app;
}

class LauncherDoubleTest : public testing::TestWithParam<Launcher> {
protected:
  RunResult run(const std::vector<std::string>& args,
                const std::map<std::string, std::string>& env = {}) {
    RunOptions options;
    options.cwd = dir.path();
    options.setEnv = env;
    options.setEnv["ZEKDOUBLE_RECORD"] = recordPath();
    options.unsetEnv = {"ZEKDOUBLE_STATUS", "ZEKDOUBLE_THROW", "ZEKDOUBLE_EVENT"};
    return testsupport::run(GetParam().path, args, options);
  }
  std::string recordPath() const { return dir.file("record"); }
  std::vector<Fields> record() const { return zekdouble::readRecordFile(recordPath()); }
  // The "main" record line the launcher's arguments should give.
  Fields mainLine(const std::vector<std::string>& args) const {
    Fields f{"main", GetParam().app, std::to_string(args.size() + 1), GetParam().path};
    f.insert(f.end(), args.begin(), args.end());
    f.insert(f.end(), {"null", "null", GetParam().listeners});
    return f;
  }
  TempDir dir;
};

TEST_P(LauncherDoubleTest, ArgumentsReachTheShellUnchanged) {
  const std::vector<std::vector<std::string>> argLists = {
      {},
      {"-mode", "tcl", "-source", "{a b.tcl}"},
      {"", " ", "-f", "x=$HOME", "\"q\"", "{", "\\", "-help", "-version"},
  };
  for (const auto& args : argLists) {
    ::unlink(recordPath().c_str());
    RunResult r = run(args);
    EXPECT_EQ(0, r.exitStatus);
    EXPECT_EQ("", r.out);
    EXPECT_EQ("", r.err);
    std::vector<Fields> expected{mainLine(args)};
    if (!args.empty() && args[2] == "-source")
      expected.push_back({"source", "a b.tcl", "(unreadable)"});
    EXPECT_EQ(expected, record());
  }
}

TEST_P(LauncherDoubleTest, ShellStatusIsTheExitStatus) {
  // A POSIX exit status keeps the low 8 bits (-1 is 255, 256 is 0); a Windows one all 32.
  using testsupport::seenExitStatus;
  const std::pair<const char*, int> cases[] = {{"0", 0}, {"3", 3}, {"1", 1},
                                               {"-1", seenExitStatus(-1)},
                                               {"256", seenExitStatus(256)}};
  for (const auto& c : cases) {
    RunResult r = run({"x"}, {{"ZEKDOUBLE_STATUS", c.first}});
    EXPECT_FALSE(r.signaled);
    EXPECT_EQ(c.second, r.exitStatus) << c.first;
    EXPECT_EQ("", r.err);
  }
}

TEST_P(LauncherDoubleTest, AnyExceptionGivesUnknownErrorAndStatusOne) {
  for (const char* kind : {"std", "int", "fw"}) {
    RunResult r = run({"x"}, {{"ZEKDOUBLE_THROW", kind}, {"ZEKDOUBLE_STATUS", "7"}});
    EXPECT_FALSE(r.signaled) << kind;
    EXPECT_EQ(1, r.exitStatus) << kind;
    EXPECT_EQ("", r.out) << kind;
    EXPECT_EQ("Unknown error\n", r.err) << kind;
  }
}

TEST_P(LauncherDoubleTest, Event61SetsTheFlagOnlyWithAListener) {
  run({}, {{"ZEKDOUBLE_EVENT", "bool2"}});
  const std::string flag = std::string(GetParam().listeners) == "1" ? "1" : "0";
  std::vector<Fields> expected{mainLine({}), {"event61", "flag", flag},
                               {"event61", "flag", flag}};
  EXPECT_EQ(expected, record());
}

TEST_P(LauncherDoubleTest, WrongEventDataIsReportedByTheCatchAll) {
  RunResult r = run({}, {{"ZEKDOUBLE_EVENT", "wrong"}});
  std::vector<Fields> rec = record();
  ASSERT_EQ(2u, rec.size());
  if (std::string(GetParam().listeners) == "1") {
    EXPECT_EQ((Fields{"event61", "threw", "failed type conversion of event data"}), rec[1]);
    EXPECT_EQ(1, r.exitStatus);
    EXPECT_EQ("Unknown error\n", r.err);
  } else {
    EXPECT_EQ((Fields{"event61", "flag", "0"}), rec[1]);
    EXPECT_EQ(0, r.exitStatus);
    EXPECT_EQ("", r.err);
  }
  EXPECT_EQ("", r.out);
}

INSTANTIATE_TEST_SUITE_P(Launchers, LauncherDoubleTest, testing::ValuesIn(kLaunchers),
                         [](const testing::TestParamInfo<Launcher>& info) {
                           return std::string(info.param.app);
                         });

}  // namespace
