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
#include "kvel/rerun_line.h"
#include "tests/kvel/strict_json.h"
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
  std::vector<std::string> errParts;        // standard error holds these, in this order
  std::vector<std::string> outParts;        // standard output holds these, in this order
  bool launched;                            // the shell was reached and the script written
  std::vector<std::string> errAbsent = {};  // standard error holds none of these
};

void PrintTo(const Explained& c, std::ostream* os) { *os << c.name; }

// Each part found after the previous one; the message names the first missing.
testing::AssertionResult holdsInOrder(const std::string& text,
                                      const std::vector<std::string>& parts) {
  std::size_t at = 0;
  for (const std::string& part : parts) {
    const std::size_t found = text.find(part, at);
    if (found == std::string::npos)
      return testing::AssertionFailure() << "missing (in order): [" << part << "] in:\n" << text;
    at = found + part.size();
  }
  return testing::AssertionSuccess();
}

// Control bytes of the user's text never reach the terminal raw: C0 but the
// line end, DEL, C1 in UTF-8, and bytes that are not UTF-8.
testing::AssertionResult terminalSafe(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool c1 =
        c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if ((c < 0x20 && c != '\n') || c == 0x7F || c1 || c == 0xFF || c == 0xE9)
      return testing::AssertionFailure() << "raw byte " << int(c) << " at " << i << " in:\n"
                                         << text;
  }
  return testing::AssertionSuccess();
}

// The JSON form of the same launch: one document, read by a strict reader
// (and on Linux by Python's json module, with duplicate keys, NaN and lone
// surrogates refused), with the status the launch ends with.
void checkJsonForm(const Explained& c) {
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  ws.kernel("work.alu");
  for (const auto& [name, content] : c.files)
    ws.file(name, content);
  RunOptions options;
  options.setEnv = c.env;
  const bool dryRun = KVEL::isDryRun(KVEL::explainSettingOf(c.env.at("KVEL_EXPLAIN").c_str()).mode);
  options.setEnv["KVEL_EXPLAIN"] = dryRun ? "json-only" : "json";
  options.setEnv["KVEL_EXPLAIN_FILE"] = ws.path("account.json");
  options.setEnv["ZEKDOUBLE_STATUS"] = "3";
  options.setEnv["KVT_SEED"] = "7";
  options.unsetEnv.push_back("KVT_UNSET");
  const RunResult r = ws.run(KVEL_DOUBLE_BIN, c.args, options, "kvel");
  EXPECT_EQ(r.exitStatus, c.exitStatus) << r.out << r.err;
  EXPECT_EQ(r.err.find("KVEL_EXPLAIN"), std::string::npos) << r.err;
  const std::string document = ws.read("account.json");
  std::string problem;
  EXPECT_TRUE(testsupport::StrictJson::check(document, &problem)) << problem << "\n" << document;
  const std::string status = c.launched ? "\"launched\":true,\"status\":null"
                                        : "\"status\":" + std::to_string(c.exitStatus);
  EXPECT_NE(document.find(status), std::string::npos) << status << " in:\n" << document;
  if (!testsupport::kWindows) {
    const char* script =
        "import json,sys\n"
        "def pairs(p):\n"
        "  k=[a for a,_ in p]\n"
        "  assert len(k)==len(set(k)), 'duplicate key'\n"
        "  return dict(p)\n"
        "def walk(v):\n"
        "  if isinstance(v,str): v.encode('utf-8')\n"
        "  elif isinstance(v,list): [walk(x) for x in v]\n"
        "  elif isinstance(v,dict): [walk(x) for x in list(v.keys())+list(v.values())]\n"
        "def const(c): raise ValueError(c)\n"
        "text=open(sys.argv[1],encoding='utf-8',errors='strict').read()\n"
        "d=json.loads(text,object_pairs_hook=pairs,parse_constant=const,strict=True)\n"
        "walk(d)\n"
        // The layout: indexes in order, places and options that point into
        // their tables (a switch names its own option), notes never empty.
        "roles={'snapshot','switch','value','parsing stopped here','not parsed','unparsed'}\n"
        "for k,a in enumerate(d['arguments']):\n"
        "  assert a['index']==k+1, a\n"
        "  f,l=a['place']\n"
        "  assert (f is None or 0<=f<len(d['files'])) and l>=1, a\n"
        "  assert a['role'] in roles, a\n"
        "  assert a.get('notes',[0])!=[], a\n"
        "  if 'option' in a:\n"
        "    o=d['options'][a['option']]\n"
        "    assert a['role']!='switch' or a['text'].lstrip('-')==o, (a,o)\n"
        "print(len(d['arguments']))\n";
    const RunResult python =
        testsupport::run("/usr/bin/python3", {"-c", script, ws.path("account.json")});
    EXPECT_EQ(python.exitStatus, 0) << python.err << document;
  }
}

class ExplainLaunch : public testing::TestWithParam<Explained> {};

TEST_P(ExplainLaunch, AccountStatusAndLaunch) {
  const Explained& c = GetParam();
  {
    testsupport::LaunchWorkspace ws;
    ws.kernel("top");
    ws.kernel("work.alu");
    for (const auto& [name, content] : c.files)
      ws.file(name, content);
    RunOptions options;
    options.setEnv = c.env;
    options.setEnv["ZEKDOUBLE_STATUS"] = "3";
    options.setEnv["KVT_SEED"] = "7";
    options.unsetEnv.push_back("KVT_UNSET");
    if (c.env.count("KVEL_EXPLAIN") == 0)
      options.unsetEnv.push_back("KVEL_EXPLAIN");
    const RunResult r = ws.run(KVEL_DOUBLE_BIN, c.args, options, "kvel");
    ASSERT_FALSE(r.signaled) << r.signal;
    EXPECT_EQ(r.exitStatus, c.exitStatus) << r.out << r.err;
    EXPECT_TRUE(holdsInOrder(r.err, c.errParts));
    EXPECT_TRUE(holdsInOrder(r.out, c.outParts));
    for (const std::string& absent : c.errAbsent)
      EXPECT_EQ(r.err.find(absent), std::string::npos) << absent << " in:\n" << r.err;
    if (c.errParts.empty()) {
      EXPECT_EQ(r.err, "");
    }
    EXPECT_TRUE(terminalSafe(r.err));
    EXPECT_EQ(ws.shellCalls().size(), c.launched ? 1u : 0u);
    EXPECT_EQ(ws.list("kvel.dir/top").size() + ws.list("kvel.dir/work.alu").size(),
              c.launched ? 3u : 2u + (ws.list("kvel.dir/top").size() > 1 ? 1u : 0u))
        << "the kernels, and the record when launched (or set up by the row)";
  }
  const auto explain = c.env.find("KVEL_EXPLAIN");
  if (explain != c.env.end() &&
      KVEL::explainSettingOf(explain->second.c_str()).mode != KVEL::ExplainMode::off)
    checkJsonForm(c);
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
        {"NestedFilesVariableAndOverride",
         kOn,
         kNested,
         {"top", "-f", "run.f"},
         3,
         {"KVEL_EXPLAIN: 9 arguments after reading the command files\n",
          "  command line\n    [1] command line 1: snapshot \"top\"\n",
          "  run.f:1 -> common.f\n",
          "    [2] [3] common.f:2: -maxdeltaid \"2O000\"\n",
          "        taken as 2: the text after the number, \"O000\", is ignored\n",
          "        replaced by [9] \"500\" (run.f:3)\n",
          "    [4] [5] common.f:2: -log \"7.log\" (written ${KVT_SEED}.log)\n",
          "        ${KVT_SEED} -> \"7\"\n",
          "  command line 2 -> run.f\n",
          "    [6] [7] run.f:2: -testplusarg \"SEED=7\" (written SEED=$KVT_SEED)\n",
          "        $KVT_SEED -> \"7\"\n",
          "    [8] [9] run.f:3: -maxdeltaid \"500\"\n",
          "        replaces [3] \"2O000\" (common.f:2)\n",
          "KVEL_EXPLAIN: settings given",
          "  snapshot \"top\", [1] command line 1\n",
          "  maxdeltaid \"500\", [9] run.f:3\n",
          "  log \"7.log\", [5] common.f:2\n",
          "  testplusarg, 1 value:\n    \"SEED=7\", [7] run.f:2\n",
          "KVEL_EXPLAIN: target snapshot top: kvel.dir/top/kvelk.exe found\n",
          "KVEL_EXPLAIN: command text: {top} -maxdeltaid 500 -testplusarg SEED=7 -autoloadwcfg\n",
          "KVEL_EXPLAIN: rerun with: kvel top --maxdeltaid 2O000 --log 7.log --testplusarg SEED=7 "
          "--maxdeltaid 500\n",
          "KVEL_EXPLAIN: shell arguments: kvel -log 7.log -mode tcl -source {"},
         {},
         true},
        {"UnsetChangesNothing", {}, kNested, {"top", "-f", "run.f"}, 3, {}, {}, true},
        {"ZeroIsUnset", {{"KVEL_EXPLAIN", "0"}}, kNested, {"top", "-f", "run.f"}, 3, {}, {}, true},
        {"OffWordsAreUnset",
         {{"KVEL_EXPLAIN", " False "}},
         kNested,
         {"top", "-f", "run.f"},
         3,
         {},
         {},
         true},
        {"ValuesComparedWithoutCaseAndBlanks",
         {{"KVEL_EXPLAIN", "ONLY "}},
         kNested,
         {"top", "-f", "run.f"},
         0,
         {"KVEL_EXPLAIN: dry run: no run script written, no shell started\n"},
         {},
         false},
        {"UnknownValueNamesTheValues",
         {{"KVEL_EXPLAIN", "verbose"}},
         {},
         {"top"},
         3,
         {"KVEL_EXPLAIN: value \"verbose\" not known, taken as 1 (0, off, no, false or empty: no "
          "account; 1, on, yes, true: the account; only: the account and a dry run; json, "
          "json-only: the same as JSON)\n",
          "KVEL_EXPLAIN: 1 argument after reading the command files\n"},
         {},
         true},
        {"DryRunChecksAndWritesNothing",
         kDry,
         kNested,
         {"alu", "-f", "run.f"},
         0,
         {"KVEL_EXPLAIN: target snapshot alu: kvel.dir/alu/kvelk.exe not found, "
          "kvel.dir/work.alu/kvelk.exe found: the snapshot is work.alu\n",
          "KVEL_EXPLAIN: command text: {work.alu} -maxdeltaid 500",
          "KVEL_EXPLAIN: shell arguments: kvel -log 7.log -mode tcl -source "
          "{<own-script>}\n",
          "KVEL_EXPLAIN: dry run: no run script written, no shell started\n"},
         {},
         false},
        {"LongListShowsItsEndsAndTheSnapshotOnce",
         kOn,
         {{"many.f",
           "-testplusarg V0\n-testplusarg V1\n-testplusarg V2\n-testplusarg V3\n"
           "-testplusarg V4\n-testplusarg V5\n-testplusarg V6\n-testplusarg V7\n"
           "-testplusarg V8\n-testplusarg \"V9 é表😀\"\n"}},
         {"-f", "many.f", "-snapshot", "top", "top"},
         3,
         {"KVEL_EXPLAIN: settings given",
          "  testplusarg, 10 values, the first and last ones:\n"
          "    \"V0\", [2] many.f:1\n    \"V1\", [4] many.f:2\n    \"V2\", [6] many.f:3\n"
          "    \"V3\", [8] many.f:4\n    ...\n    \"V6\", [14] many.f:7\n"
          "    \"V7\", [16] many.f:8\n    \"V8\", [18] many.f:9\n"
          "    \"V9 é表😀\", [20] many.f:10\n",
          "  snapshot \"top\", [23] command line 5\n"},
         {},
         true,
         {"\"V4\", [", "\"V5\", [", "  snapshot \"top\", [22]"}},
        {"DryRunFailedCheckKeepsItsMessageAndStatus",
         kDry,
         {},
         {"nope", "-tp"},
         1,
         {"    [1] command line 1: snapshot \"nope\"\n", "    [2] command line 2: -tp\n",
          "KVEL_EXPLAIN: target snapshot nope: kvel.dir/nope/kvelk.exe not found, "
          "kvel.dir/work.nope/kvelk.exe not found\n"},
         {"ERROR: Please check the snapshot name which is created during 'plenk',the current "
          "snapshot name \"kvel.dir/nope/kvelk.exe\" does not exist \n"},
         false,
         {"dry run: no run script written"}},
        {"DryRunRefusesTheLogTheLaunchRefuses",
         kDry,
         {{"kvel.dir/top/kvel_script.tcl", "kvel {top}\n"}},
         {"top", "-log", "kvel.dir/./top/kvel_script.tcl"},
         1,
         {"KVEL_EXPLAIN: command text: {top}",
          "ERROR: [shell] log file \"kvel.dir/./top/kvel_script.tcl\" is the -source script; not "
          "overwritten\n"},
         {},
         false,
         {"dry run: no run script written"}},
        {"DryRunRefusesTheLogBeforeTheRecordExists",
         kDry,
         {},
         {"alu", "-log", "kvel.dir/work.alu//kvel_script.tcl"},
         1,
         {"ERROR: [shell] log file \"kvel.dir/work.alu//kvel_script.tcl\" is the -source script; "
          "not overwritten\n"},
         {},
         false,
         {"dry run: no run script written"}},
        {"DryRunRefusesADirectoryAtTheScriptsPlace",
         kDry,
         {{"kvel.dir/top/kvel_script.tcl/kept", ""}},
         {"top"},
         1,
         {"KVEL_EXPLAIN: command text: {top}"},
         {"ERROR: Unable to create script file kvel.dir/top/kvel_script.tcl.\n"},
         false,
         {"dry run: no run script written"}},
        {"LaunchRefusesTheSameDirectory",
         kOn,
         {{"kvel.dir/top/kvel_script.tcl/kept", ""}},
         {"top"},
         1,
         {"KVEL_EXPLAIN: command text: {top}"},
         {"ERROR: Unable to create script file kvel.dir/top/kvel_script.tcl.\n"},
         false},
        {"MisspelledSwitchTwoFilesDeep",
         kOn,
         {{"a.f", "-tp\n-f b.f\n"}, {"b.f", "-tl -testplusargs X\n"}},
         {"top", "-f", "a.f"},
         1,
         {"  a.f:2 -> b.f\n    [3] b.f:1: -tl\n",
          "    [4] b.f:1: parsing stopped here: \"--testplusargs\" (written -testplusargs)\n",
          "    [5] b.f:1: not parsed: \"X\"\n",
          "Unexpected option encountered : testplusargs\n  (at a.f:2 -> b.f:1)\n",
          "Usage: kvel [options]"},
         {},
         false},
        {"UnopenableFileNamesItsIncluder",
         kOn,
         {{"a.f", "-tp\n-f c.f\n"}},
         {"top", "-f", "a.f"},
         1,
         {"KVEL_EXPLAIN: 2 arguments read before the command files failed\n",
          "  command line 2 -> a.f\n    [2] a.f:1: \"--tp\" (written -tp)\n",
          "Unable to open command file c.f\n  (at a.f:2)\n"},
         {},
         false},
        {"WarningsNameTheirPlace",
         {{"KVEL_EXPLAIN", "1"}, {"ZEK_DATADIR", "nowhere"}},
         {{"a.f", "-tp\n-testplusarg X=${KVT_UNSET} -tclbatch $ZEK_DATADIR/run.tcl\n"}},
         {"top", "-f", "a.f"},
         3,
         {"    [3] [4] a.f:2: -testplusarg \"X=${KVT_UNSET}\"\n",
          "        not expanded: Env Variable KVT_UNSET is not defined.; kept as written\n",
          "    [5] [6] a.f:2: -tclbatch \"$ZEK_DATADIR/run.tcl\"\n",
          "        $ZEK_DATADIR: entry 1 of 1 tried, \"", "nowhere/run.tcl\": no such path\n",
          "        $ZEK_DATADIR -> no entry of ZEK_DATADIR (1) gives an existing path; kept as "
          "written\n"},
         {"WARNING: Could not be expanded an environment variable in X=${KVT_UNSET} due to "
          "following error: Env Variable KVT_UNSET is not defined.\n  (at a.f:2)\n",
          "WARNING: No directory of ZEK_DATADIR gives an existing path for "
          "$ZEK_DATADIR/run.tcl; it is kept as written\n  (at a.f:2)\n"},
         true},
        {"FailedExpansionNotesNoSingleReference",
         {{"KVEL_EXPLAIN", "1"}, {"KVT_A", "1"}},
         {{"a.f", "-testplusarg P=$KVT_A/$KVT_UNSET\n"}},
         {"top", "-f", "a.f"},
         3,
         {"    [2] [3] a.f:1: -testplusarg \"P=$KVT_A/$KVT_UNSET\"\n",
          "        not expanded: Env Variable KVT_UNSET not defined.; kept as written\n"},
         {},
         true,
         {"$KVT_A -> "}},
        {"DataDirectoryEntriesAsWritten",
         {{"KVEL_EXPLAIN", "1"}, {"ZEK_DATADIR", ";;none;;lib;"}},
         {{"a.f", "-tclbatch $ZEK_DATADIR/run.tcl\n"}, {"lib/run.tcl", ""}},
         {"top", "-f", "a.f"},
         3,
         {"    [2] [3] a.f:1: -tclbatch \"", "run.tcl\" (written $ZEK_DATADIR/run.tcl)\n",
          "        $ZEK_DATADIR: entry 1 of 6 is empty: passed over\n",
          "        $ZEK_DATADIR: entry 2 of 6 is empty: passed over\n",
          "        $ZEK_DATADIR: entry 3 of 6 tried, \"", "none/run.tcl\": no such path\n",
          "        $ZEK_DATADIR: entry 4 of 6 is empty: passed over\n",
          "        $ZEK_DATADIR -> entry 5 of 6, \"", "lib\"\n"},
         {},
         true,
         {"entry 6 of 6"}},
        {"TextAsWrittenDashAndLoneQuote",
         kOn,
         {{"w.f",
           "-testplusarg -H=dash -log -x.log\n-testplusarg \" -testplusarg x\"\n-testplusarg \"Q=a "
           "b\"\n"}},
         {"top", "-f", "w.f"},
         3,
         {"    [2] [3] w.f:1: -testplusarg \"--H=dash\" (written -H=dash)\n",
          "        a second dash was added, as to a single-dash switch\n",
          "    [4] [5] w.f:1: -log \"--x.log\" (written -x.log)\n",
          "        a second dash was added, as to a single-dash switch\n",
          "    [6] [7] w.f:2: -testplusarg \"\"\"\n",
          "        a double quote here opened no group and is kept\n",
          "    [8] [9] w.f:2: -testplusarg \"x\"\"\n",
          "        a double quote here opened no group and is kept\n",
          "    [10] [11] w.f:3: -testplusarg \"Q=a b\" (written \"Q=a b\")\n"},
         {},
         true},
        {"UserTextBeyondAsciiAndControlCharacters",
         kOn,
         {{"u.f", "-testplusarg \"N=é Ж 表 😀\"\n"}},
         {"top", "-testplusarg", "A=\x1b[31m\nB\xC2\x9B", "-f", "u.f"},
         3,
         {"    [2] [3] command line 2: -testplusarg \"A=\\x1b[31m\\nB\\u009b\"\n",
          "    [4] [5] u.f:1: -testplusarg \"N=é Ж 表 😀\" (written \"N=é Ж 表 😀\")\n",
          testsupport::kWindows
              ? "KVEL_EXPLAIN: no rerun line for cmd: argument 3 holds a control character or a "
                "byte that is not UTF-8, which cmd cannot be given\n"
              : "rerun with: kvel top --testplusarg 'A='\"$(printf '\\033[')\"'31m'\"$(printf "
                "'\\012B')\"\"$(printf '\\302\\233')\" --testplusarg 'N=é Ж 表 😀'\n"},
         {},
         true},
        {"PositionalReplacesTheSnapshotSwitch",
         kOn,
         {},
         {"-snapshot", "alu", "top"},
         3,
         {"    [1] [2] command line 1: -snapshot \"alu\"\n", "        replaced by [3] \"top\"",
          "    [3] command line 3: snapshot \"top\"\n        replaces [2] \"alu\" (command line "
          "2)\n",
          "  snapshot \"top\", [3] command line 3\n"},
         {},
         true}}),
    [](const testing::TestParamInfo<Explained>& info) { return std::string(info.param.name); });

// A word of the rerun line: for sh, and for cmd as the only argument after
// the program ("" where cmd cannot carry it).
struct Quoting {
  const char* name;
  std::string word;
  std::string posix;
  std::string cmd;
};

void PrintTo(const Quoting& c, std::ostream* os) { *os << c.name; }

class RerunWord : public testing::TestWithParam<Quoting> {};

TEST_P(RerunWord, QuotedForEachShell) {
  const Quoting& c = GetParam();
  EXPECT_EQ(KVEL::posixShellWord(c.word), c.posix);
  std::string line;
  std::string reason;
  if (c.cmd.empty()) {
    EXPECT_FALSE(KVEL::cmdLine({"kvel", c.word}, &line, &reason)) << line;
    EXPECT_NE(reason, "");
  } else {
    ASSERT_TRUE(KVEL::cmdLine({"kvel", c.word}, &line, &reason)) << reason;
    EXPECT_EQ(line, "kvel " + c.cmd);
  }
}

// sh takes a word bare when it holds only letters, digits and -_.,:/=+@%:
// each character beside those ranges, at every place a word is looked at
// (short, the end of a long one), makes it quoted.
TEST(RerunWord, BareForShOnlyWithItsCharacters) {
  const std::string bare = "-_.,:/=+@%azAZ09";
  for (const std::string& word : {bare, bare + bare + "x", bare.substr(0, 5), bare.substr(0, 11)})
    EXPECT_EQ(KVEL::posixShellWord(word), word) << word;
  struct Row {
    std::string name;
    std::string word;
  };
  std::vector<Row> rows;
  for (const char c : std::string("*;<>?[`{^~!#&()|\\ \"$")) {
    for (const std::size_t length : {1, 5, 12, 16, 17, 35}) {
      for (const std::size_t at : {std::size_t{0}, length / 2, length - 1}) {
        std::string word(length, 'a');
        word[at] = c;
        rows.push_back({std::string(1, c) + " at " + std::to_string(at) + " of " +
                            std::to_string(length),
                        word});
      }
    }
  }
  for (const Row& row : rows)
    EXPECT_EQ(KVEL::posixShellWord(row.word), "'" + row.word + "'") << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RerunWord,
    testing::ValuesIn(std::vector<Quoting>{
        {"Plain", "--tclbatch", "--tclbatch", "--tclbatch"},
        {"BeyondAscii", "N=é表😀", "N=é表😀", "N=é表😀"},
        {"Empty", "", "''", "\"\""},
        {"Blank", "a b", "'a b'", "\"a b\""},
        {"TclText", "{x[3]}$v;", "'{x[3]}$v;'", "{x[3]}$v;"},
        {"SingleQuote", "it's", "'it'\\''s'", "it's"},
        {"DoubleQuoteAfterBackslashes", "a\\\"b", "'a\\\"b'", "a\\\\\\\"b"},
        {"TrailingBackslashes", "C:\\dir x\\", "'C:\\dir x\\'", "\"C:\\dir x\\\\\""},
        {"Percent", "50%x", "50%x", "50%x"},
        {"PercentInBlanks", "5 0%x", "'5 0%x'", "\"5 0%x\""},
        {"PercentTwiceRefusedForCmd", "a\"%PATH%", "'a\"%PATH%'", ""},
        {"OddQuoteThenOperators", "q\"&echo X>p|b<c^", "'q\"&echo X>p|b<c^'",
         "\"q\\\"^&echo X^>p^|b^<c^^\""},
        {"ThreeQuotes", "\"a&\"b&\"c&", "'\"a&\"b&\"c&'", "\\\"a&\\\"b^&\\\"c&"},
        {"TabToPrintf", "a\tb\x01", "'a'\"$(printf '\\011b')\"\"$(printf '\\001')\"", ""},
        {"ControlRunTakesTheNextCharacter", "x\ny", "'x'\"$(printf '\\012y')\"", ""},
        {"TrailingNewlineUsesNl", "x\n\n", "'x'\"$nl\"\"$nl\"", ""},
        {"C1AndNotUtf8", "\xC2\x9B\xE9'", "\"$(printf '\\302\\233\\351\\047')\"", ""},
        {"QuoteAndPercentInPrintf", "\x01%'", "\"$(printf '\\001%%')\"''\\'''", ""}}),
    [](const testing::TestParamInfo<Quoting>& info) { return std::string(info.param.name); });

TEST(RerunLine, NlIsSetOnlyForAWordEndingInANewline) {
  EXPECT_EQ(KVEL::posixShellLine({"kvel", "a b"}), "kvel 'a b'");
  EXPECT_EQ(KVEL::posixShellLine({"kvel", "a\n", "b\n"}),
            "nl=$(printf '\\n.'); nl=${nl%.}; kvel 'a'\"$nl\" 'b'\"$nl\"");
}

TEST(ExplainValues, ListedWordsWithoutCaseOrBlanks) {
  using KVEL::ExplainMode;
  const std::vector<std::pair<const char*, ExplainMode>> rows{
      {nullptr, ExplainMode::off},
      {"", ExplainMode::off},
      {" 0 ", ExplainMode::off},
      {"Off", ExplainMode::off},
      {"NO", ExplainMode::off},
      {"false", ExplainMode::off},
      {"1", ExplainMode::account},
      {"On", ExplainMode::account},
      {"yes", ExplainMode::account},
      {"TRUE", ExplainMode::account},
      {"only ", ExplainMode::dryRun},
      {"Json", ExplainMode::json},
      {"json-ONLY", ExplainMode::jsonDryRun}};
  for (const auto& [value, mode] : rows) {
    const KVEL::ExplainSetting setting = KVEL::explainSettingOf(value);
    EXPECT_EQ(setting.mode, mode) << (value ? value : "(unset)");
    EXPECT_TRUE(setting.known) << (value ? value : "(unset)");
  }
  EXPECT_FALSE(KVEL::explainSettingOf("onl").known);
  EXPECT_EQ(KVEL::explainSettingOf("onl").mode, ExplainMode::account);
}

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
        {"LineBreaksAndEscape",
         "a\nb\r\t\x1b"
         "c\x7f",
         "a\\nb\\r\\t\\x1bc\\x7f"},
        {"NulByte", std::string("a\0b", 3), "a\\x00b"},
        {"C1ControlInUtf8",
         "x\xC2\x9B"
         "y",
         "x\\u009by"},
        {"NotUtf8", "\xE9t\xC3", "\\xe9t\\xc3"},
        {"OverlongAndSurrogate", "\xC0\xAF\xED\xA0\x80", "\\xc0\\xaf\\xed\\xa0\\x80"}}),
    [](const testing::TestParamInfo<Shown>& info) { return std::string(info.param.name); });

}  // namespace
