// The stand-in shell as users see it, through the real dravik and quindle.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace {

using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::fileExists;
using testsupport::readFile;
using testsupport::readTextFile;
using testsupport::writeFile;

const char kInfoLine[] =
    "INFO: [shell] This shell has no graphical interface; running in Tcl mode.\n";

struct Program {
  const char* path;
  const char* app;
  const char* log;
  const char* frontEnd;
};

const Program kPrograms[] = {
    {DRAVIK_BIN, "Dravik", "dravik.log", "# front end: attached\n"},
    {QUINDLE_BIN, "Quindle", "quindle.log", "# front end: none\n"},
};

void PrintTo(const Program& program, std::ostream* os) {
  *os << program.app;
}

class StandinProgramTest : public testing::TestWithParam<Program> {
protected:
  RunResult run(const std::vector<std::string>& args, const std::string& stdinText = "") {
    RunOptions options;
    options.cwd = dir.path();
    options.stdinText = stdinText;
    return testsupport::run(GetParam().path, args, options);
  }
  std::string script(const std::string& text) {
    writeFile(dir.file("s.tcl"), text);
    return "s.tcl";
  }
  std::string header(const std::string& args) const {
    return std::string("# ") + GetParam().app + args + "\n" + GetParam().frontEnd;
  }
  TempDir dir;
};

TEST_P(StandinProgramTest, DefaultLogHasTheHeaderAndMirrorsStandardOutput) {
  script("puts one\nputs -nonewline two\nputs stdout {}\nputs stderr three\n"
         "puts stdout four nonewline\n");
  RunResult r = run({"-mode", "tcl", "-source", "s.tcl"});
  EXPECT_EQ(0, r.exitStatus);
  EXPECT_EQ("one\ntwo\nfour", r.out);
  EXPECT_EQ("three\n", r.err);
  EXPECT_EQ(header(" -mode tcl -source s.tcl") + r.out, readTextFile(dir.file(GetParam().log)));
}

TEST_P(StandinProgramTest, HeaderRepeatsTheArgumentsVerbatim) {
  writeFile(dir.file("a b.tcl"), "puts $argc:$argv\n");
  RunResult r = run({"-mode", "batch", "-source", "{a b.tcl}", "-tclargs", "x  y", "", "{"});
  EXPECT_EQ(0, r.exitStatus) << r.err;
  EXPECT_EQ("3:{x  y} {} \\{\n", r.out);
  EXPECT_EQ(header(" -mode batch -source {a b.tcl} -tclargs x  y  {") + r.out,
            readTextFile(dir.file(GetParam().log)));
}

TEST_P(StandinProgramTest, LogOptions) {
  script("puts hi\n");
  EXPECT_EQ(0, run({"-mode", "tcl", "-log", "other.log", "-source", "s.tcl"}).exitStatus);
  EXPECT_EQ(header(" -mode tcl -log other.log -source s.tcl") + "hi\n",
            readTextFile(dir.file("other.log")));
  EXPECT_FALSE(fileExists(dir.file(GetParam().log)));

  // -nolog wins, before or after -log.
  EXPECT_EQ("hi\n", run({"-mode", "tcl", "-log", "x.log", "-nolog", "-source", "s.tcl"}).out);
  EXPECT_EQ("hi\n", run({"-nolog", "-log", "x.log", "-mode", "tcl", "-source", "s.tcl"}).out);
  EXPECT_FALSE(fileExists(dir.file("x.log")));
  EXPECT_FALSE(fileExists(dir.file(GetParam().log)));

  // An existing log is replaced.
  writeFile(dir.file("old.log"), "old content\n");
  run({"-mode", "tcl", "-log", "old.log", "-source", "s.tcl"});
  EXPECT_EQ(header(" -mode tcl -log old.log -source s.tcl") + "hi\n",
            readTextFile(dir.file("old.log")));

  RunResult r = run({"-mode", "tcl", "-log", "missing/x.log", "-source", "s.tcl"});
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("ERROR: [shell] cannot create log file \"missing/x.log\": no such file or directory\n",
            r.err);
}

TEST_P(StandinProgramTest, GuiModeSaysSoAndRunsAsTcl) {
  script("puts hi\n");
  for (const auto& args : {std::vector<std::string>{"-source", "s.tcl"},
                           std::vector<std::string>{"-mode", "gui", "-source", "s.tcl"}}) {
    RunResult r = run(args);
    EXPECT_EQ(0, r.exitStatus);
    EXPECT_EQ(std::string(kInfoLine) + "hi\n", r.out);
  }
  EXPECT_EQ(header(" -mode gui -source s.tcl") + kInfoLine + "hi\n",
            readTextFile(dir.file(GetParam().log)));
}

TEST_P(StandinProgramTest, ScriptStatuses) {
  const struct {
    const char* script;
    int status;
    const char* out;
    const char* err;
  } cases[] = {
      {"puts a\n", 0, "a\n", ""},
      {"puts a\nexit 3\nputs b\n", 3, "a\n", ""},
      {"catch {exit 5}\nputs b\n", 5, "", ""},
#ifdef _WIN32
      {"exit -1\n", -1, "", ""},  // a Windows exit status keeps all 32 bits
#else
      {"exit -1\n", 255, "", ""},
#endif
      {"puts a\nerror {it broke}\nputs b\n", 1, "a\n", "ERROR: [shell] it broke\n"},
      {"no_such_command\n", 1, "", "ERROR: [shell] invalid command name \"no_such_command\"\n"},
      {"puts {unclosed\n", 1, "", "ERROR: [shell] missing close-brace\n"},
  };
  for (const auto& c : cases) {
    script(c.script);
    RunResult r = run({"-mode", "tcl", "-source", "s.tcl"});
    EXPECT_EQ(c.status, r.exitStatus) << c.script;
    EXPECT_EQ(c.out, r.out) << c.script;
    EXPECT_EQ(c.err, r.err) << c.script;
    EXPECT_EQ(header(" -mode tcl -source s.tcl") + c.out + c.err,
              readTextFile(dir.file(GetParam().log)));
  }
}

TEST_P(StandinProgramTest, UnreadableSourceIsATclError) {
  RunResult r = run({"-mode", "tcl", "-source", "{no such.tcl}"});
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("ERROR: [shell] couldn't read file \"no such.tcl\": no such file or directory\n",
            r.err);
}

TEST_P(StandinProgramTest, CommandsFromStandardInput) {
  RunResult r = run({"-mode", "tcl", "-tclargs", "p q"},
                    "puts $argv\nset x [expr {\n  1 + 2\n}]\nputs \"x=$x\"\r\nputs last");
  EXPECT_EQ(0, r.exitStatus) << r.err;
  EXPECT_EQ("{p q}\nx=3\nlast\n", r.out);

  r = run({"-mode", "tcl"}, "puts a\nexit 4\nputs b\n");
  EXPECT_EQ(4, r.exitStatus);
  EXPECT_EQ("a\n", r.out);

  // Piped input stops at the first error, as a sourced script does.
  r = run({"-mode", "tcl"}, "puts a\nerror bad\nputs b\n");
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("a\n", r.out);
  EXPECT_EQ("ERROR: [shell] bad\n", r.err);

  // A command left open at the end is reported, not dropped.
  r = run({"-mode", "tcl"}, "puts a\nif {1} {\nputs b\n");
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("a\n", r.out);
  EXPECT_EQ("ERROR: [shell] missing close-brace\n", r.err);

  EXPECT_EQ(0, run({"-mode", "tcl"}, "").exitStatus);
}

TEST_P(StandinProgramTest, ArgvReachesTheScript) {
  script("puts $argv0\nputs $argc\nforeach a $argv {puts <$a>}\n");
  RunResult r = run({"-mode", "tcl", "-source", "s.tcl", "-tclargs", "-mode", "a b", "", "-nolog"});
  EXPECT_EQ(0, r.exitStatus);
  EXPECT_EQ(std::string(GetParam().path) + "\n4\n<-mode>\n<a b>\n<>\n<-nolog>\n", r.out);
  script("puts $argc:$argv\n");
  EXPECT_EQ("0:\n", run({"-mode", "tcl", "-source", "s.tcl"}).out);
}

TEST_P(StandinProgramTest, BadArgumentEndsBeforeAnythingStarts) {
  RunResult r = run({"-mode", "tcl", "-bogus"});
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("ERROR: [shell] unknown argument \"-bogus\"\n", r.err);
  EXPECT_FALSE(fileExists(dir.file(GetParam().log)));
}

INSTANTIATE_TEST_SUITE_P(Launchers, StandinProgramTest, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<Program>& info) {
                           return std::string(info.param.app);
                         });

}  // namespace
