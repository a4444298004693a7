// KVEL_EXPLAIN through the launcher with the test double: the account of the
// arguments on standard error, the places after warnings and errors, the dry
// run, and nothing changed when it is unset. Then the quoting of the rerun
// line and the terminal-safe text, as units.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kvel/cmdfile/argument_origins.h"
#include "kvel/launch_account.h"
#include "tests/support/launch_workspace.h"

namespace {

using testsupport::RunOptions;
using testsupport::RunResult;

struct Explained {
  const char* name;
  std::map<std::string, std::string> env;    // KVEL_EXPLAIN among them, or not
  std::map<std::string, std::string> files;  // relative path -> content
  std::vector<std::string> args;
  int exitStatus;
  std::vector<std::string> errParts;  // standard error holds these, in this order
  std::vector<std::string> outParts;  // standard output holds these, in this order
  bool launched;                      // the shell was reached and the script written
};

void PrintTo(const Explained& c, std::ostream* os) { *os << c.name; }

// Each part found after the previous one; the message names the first missing.
testing::AssertionResult holdsInOrder(const std::string& text, const std::vector<std::string>& parts) {
  std::size_t at = 0;
  for (const std::string& part : parts) {
    const std::size_t found = text.find(part, at);
    if (found == std::string::npos)
      return testing::AssertionFailure() << "missing (in order): [" << part << "] in:\n" << text;
    at = found + part.size();
  }
  return testing::AssertionSuccess();
}

class ExplainLaunch : public testing::TestWithParam<Explained> {};

TEST_P(ExplainLaunch, AccountStatusAndLaunch) {
  const Explained& c = GetParam();
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  ws.kernel("work.alu");
  for (const auto& [name, content] : c.files) ws.file(name, content);
  RunOptions options;
  options.setEnv = c.env;
  options.setEnv["ZEKDOUBLE_STATUS"] = "3";
  options.setEnv["KVT_SEED"] = "7";
  options.unsetEnv.push_back("KVT_UNSET");
  if (c.env.count("KVEL_EXPLAIN") == 0) options.unsetEnv.push_back("KVEL_EXPLAIN");
  const RunResult r = ws.run(KVEL_DOUBLE_BIN, c.args, options, "kvel");
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitStatus, c.exitStatus) << r.out << r.err;
  EXPECT_TRUE(holdsInOrder(r.err, c.errParts));
  EXPECT_TRUE(holdsInOrder(r.out, c.outParts));
  if (c.errParts.empty()) {
    EXPECT_EQ(r.err, "");
  }
  // Control characters of the user's text never reach the terminal raw.
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
  EXPECT_EQ(ws.shellCalls().size(), c.launched ? 1u : 0u);
  EXPECT_EQ(ws.list("kvel.dir/top").size() + ws.list("kvel.dir/work.alu").size(),
            c.launched ? 3u : 2u);  // the kernels, and the script when launched
}

const std::map<std::string, std::string> kOn{{"KVEL_EXPLAIN", "1"}};
const std::map<std::string, std::string> kDry{{"KVEL_EXPLAIN", "only"}};
// run.f includes common.f on its first line; values given twice, a variable,
// a number with text after it.
const std::map<std::string, std::string> kNested{
    {"run.f", "-f common.f\n-testplusarg SEED=$KVT_SEED\n-maxdeltaid 500\n"},
    {"common.f", "# shared\n-maxdeltaid 2O000 -log ${KVT_SEED}.log\n"}};

INSTANTIATE_TEST_SUITE_P(
    Rows, ExplainLaunch,
    testing::ValuesIn(std::vector<Explained>{
        {"NestedFilesVariableAndOverride", kOn, kNested, {"top", "-f", "run.f"}, 3,
         {"KVEL_EXPLAIN: 9 arguments after reading the command files\n",
          "  [1] command line 1: snapshot: top\n",
          "  [2] run.f:1 -> common.f:2: switch maxdeltaid: --maxdeltaid\n",
          "  [3] run.f:1 -> common.f:2: value of maxdeltaid: 2O000\n",
          "      taken as 2: the text after the number, \"O000\", is ignored\n",
          "      replaced by [9] 500 (run.f:3)\n",
          "  [5] run.f:1 -> common.f:2: value of log: 7.log\n", "      ${KVT_SEED} -> \"7\"\n",
          "  [7] run.f:2: value of testplusarg: SEED=7\n", "      $KVT_SEED -> \"7\"\n",
          "  [9] run.f:3: value of maxdeltaid: 500\n",
          "      replaces [3] 2O000 (run.f:1 -> common.f:2)\n",
          "KVEL_EXPLAIN: target snapshot top: kvel.dir/top/kvelk.exe found\n",
          "KVEL_EXPLAIN: command text: {top} -maxdeltaid 500 -testplusarg SEED=7 -autoloadwcfg\n",
          "KVEL_EXPLAIN: rerun with: kvel top --maxdeltaid 2O000 --log 7.log --testplusarg SEED=7 "
          "--maxdeltaid 500\n"},
         {},
         true},
        {"UnsetChangesNothing", {}, kNested, {"top", "-f", "run.f"}, 3, {}, {}, true},
        {"ZeroIsUnset", {{"KVEL_EXPLAIN", "0"}}, kNested, {"top", "-f", "run.f"}, 3, {}, {}, true},
        {"DryRunChecksAndWritesNothing", kDry, kNested, {"alu", "-f", "run.f"}, 0,
         {"KVEL_EXPLAIN: target snapshot alu: kvel.dir/alu/kvelk.exe not found, "
          "kvel.dir/work.alu/kvelk.exe found: the snapshot is work.alu\n",
          "KVEL_EXPLAIN: command text: {work.alu} -maxdeltaid 500",
          "KVEL_EXPLAIN: dry run: no run script written, no shell started\n"},
         {},
         false},
        {"DryRunFailedCheckKeepsItsMessageAndStatus", kDry, {}, {"nope", "-tp"}, 1,
         {"  [1] command line 1: snapshot: nope\n", "  [2] command line 2: switch tp: --tp\n",
          "KVEL_EXPLAIN: target snapshot nope: kvel.dir/nope/kvelk.exe not found, "
          "kvel.dir/work.nope/kvelk.exe not found\n"},
         {"ERROR: Please check the snapshot name which is created during 'plenk',the current "
          "snapshot name \"kvel.dir/nope/kvelk.exe\" does not exist \n"},
         false},
        {"MisspelledSwitchTwoFilesDeep", kOn,
         {{"a.f", "-tp\n-f b.f\n"}, {"b.f", "-tl -testplusargs X\n"}}, {"top", "-f", "a.f"}, 1,
         {"  [3] a.f:2 -> b.f:1: switch tl: --tl\n",
          "  [4] a.f:2 -> b.f:1: parsing stopped here: --testplusargs\n",
          "  [5] a.f:2 -> b.f:1: not parsed: X\n", "Unexpected option encountered : testplusargs\n",
          "Usage: kvel [options]"},
         {},
         false},
        {"UnopenableFileNamesItsIncluder", kOn, {{"a.f", "-tp\n-f c.f\n"}}, {"top", "-f", "a.f"},
         1,
         {"KVEL_EXPLAIN: 2 arguments read before the command files failed\n",
          "  [2] a.f:1: --tp\n", "Unable to open command file c.f\n  (at a.f:2)\n"},
         {},
         false},
        {"WarningsNameTheirPlace", {{"KVEL_EXPLAIN", "1"}, {"ZEK_DATADIR", "nowhere"}},
         {{"a.f", "-tp\n-testplusarg X=${KVT_UNSET} -tclbatch $ZEK_DATADIR/run.tcl\n"}},
         {"top", "-f", "a.f"}, 3,
         {"  [4] a.f:2: value of testplusarg: X=${KVT_UNSET}\n",
          "      not expanded: Env Variable KVT_UNSET is not defined.; kept as written\n",
          "  [6] a.f:2: value of tclbatch: $ZEK_DATADIR/run.tcl\n",
          "      $ZEK_DATADIR -> no entry of ZEK_DATADIR (1) gives an existing path; kept as "
          "written\n"},
         {"WARNING: Could not be expanded an environment variable in X=${KVT_UNSET} due to "
          "following error: Env Variable KVT_UNSET is not defined.\n  (at a.f:2)\n",
          "WARNING: No directory of ZEK_DATADIR gives an existing path for "
          "$ZEK_DATADIR/run.tcl; it is kept as written\n  (at a.f:2)\n"},
         true},
        {"DataDirectoryEntryTaken", {{"KVEL_EXPLAIN", "1"}, {"ZEK_DATADIR", "none;lib"}},
         {{"a.f", "-tclbatch $ZEK_DATADIR/run.tcl\n"}, {"lib/run.tcl", ""}},
         {"top", "-f", "a.f"}, 3,
         {"  [3] a.f:1: value of tclbatch: ", "run.tcl\n",
          "      $ZEK_DATADIR -> entry 2 of 2 of ZEK_DATADIR, \""},
         {},
         true},
        {"UserTextBeyondAsciiAndControlCharacters", kOn, {{"u.f", "-testplusarg \"N=é Ж 表 😀\"\n"}},
         {"top", "-testplusarg", "A=\x1b[31m\nB", "-f", "u.f"}, 3,
         {"  [3] command line 3: value of testplusarg: A=\\x1b[31m\\nB\n",
          "  [5] u.f:1: value of testplusarg: N=é Ж 表 😀\n",
          testsupport::kWindows ? "rerun with: kvel top --testplusarg \"A=\\x1b[31m\\nB\" "
                                  "--testplusarg \"N=é Ж 表 😀\"\n"
                                : "rerun with: kvel top --testplusarg $'A=\\x1b[31m\\nB' "
                                  "--testplusarg 'N=é Ж 表 😀'\n"},
         {},
         true},
        {"PositionalReplacesTheSnapshotSwitch", kOn, {}, {"-snapshot", "alu", "top"}, 3,
         {"  [2] command line 2: value of snapshot: alu\n", "      replaced by [3] top",
          "  [3] command line 3: snapshot: top\n      replaces [2] alu (command line 2)\n"},
         {},
         true}}),
    [](const testing::TestParamInfo<Explained>& info) { return std::string(info.param.name); });

struct Quoting {
  const char* name;
  std::string word;
  std::string posix;
  std::string windows;
};

void PrintTo(const Quoting& c, std::ostream* os) { *os << c.name; }

class RerunWord : public testing::TestWithParam<Quoting> {};

TEST_P(RerunWord, QuotedForEachPlatformsShell) {
  const Quoting& c = GetParam();
  EXPECT_EQ(KVEL::posixShellWord(c.word), c.posix);
  EXPECT_EQ(KVEL::windowsShellWord(c.word), c.windows);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RerunWord,
    testing::ValuesIn(std::vector<Quoting>{
        {"Plain", "--tclbatch", "--tclbatch", "--tclbatch"},
        {"BeyondAscii", "N=é表😀", "N=é表😀", "N=é表😀"},
        {"Empty", "", "''", "\"\""},
        {"Blank", "a b", "'a b'", "\"a b\""},
        {"TclText", "{x[3]}$v;", "'{x[3]}$v;'", "\"{x[3]}$v;\""},
        {"SingleQuote", "it's", "'it'\\''s'", "\"it's\""},
        {"DoubleQuoteAfterBackslashes", "a\\\"b", "'a\\\"b'", "\"a\\\\\\\"b\""},
        {"TrailingBackslashes", "C:\\dir x\\", "'C:\\dir x\\'", "\"C:\\dir x\\\\\""},
        {"Percent", "50%x", "50%x", "\"50\"^%\"x\""},
        {"ControlCharacters", "a\tb\x01", "$'a\\tb\\x01'", "\"a\\tb\\x01\""}}),
    [](const testing::TestParamInfo<Quoting>& info) { return std::string(info.param.name); });

struct Shown {
  const char* name;
  std::string text;
  std::string shown;
};

void PrintTo(const Shown& c, std::ostream* os) { *os << c.name; }

class TerminalText : public testing::TestWithParam<Shown> {};

TEST_P(TerminalText, KeepsCharactersEscapesControls) {
  EXPECT_EQ(KVEL::cmdfile::shownText(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TerminalText,
    testing::ValuesIn(std::vector<Shown>{
        {"AsciiAndBackslashKept", "C:\\a b", "C:\\a b"},
        {"BeyondAsciiKept", "é Ж 表 😀", "é Ж 表 😀"},
        {"LineBreaksAndEscape", "a\nb\r\t\x1b" "c\x7f", "a\\nb\\r\\t\\x1bc\\x7f"},
        {"NulByte", std::string("a\0b", 3), "a\\x00b"},
        {"C1ControlInUtf8", "x\xC2\x9B" "y", "x\\u009by"},
        {"NotUtf8", "\xE9t\xC3", "\\xe9t\\xc3"},
        {"OverlongAndSurrogate", "\xC0\xAF\xED\xA0\x80", "\\xc0\\xaf\\xed\\xa0\\x80"}}),
    [](const testing::TestParamInfo<Shown>& info) { return std::string(info.param.name); });

}  // namespace
