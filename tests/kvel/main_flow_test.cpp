// kvel run as a child process: the main flow's decisions and messages (with
// both the shipped program and the test-double build), and the hand-over to
// the shell as the test double records it.
#include <csignal>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "framework/testdouble/recorder.h"
#include "tests/support/launch_workspace.h"

namespace {

using testsupport::RunOptions;
using testsupport::RunResult;

const std::string kShipped = KVEL_BIN;
const std::string kDouble = KVEL_DOUBLE_BIN;

const char kMissingName[] = "ERROR: Simulation snapshot name missing from the command line.\n";

std::string missingKernel(const std::string& kernel) {
  return "ERROR: Please check the snapshot name which is created during 'plenk',the current "
         "snapshot name \"" + kernel + "\" does not exist \n";
}

std::string missingDatabase(const std::string& target) {
  return "ERROR: Can't access WDB file \"" + target +
         "\". Please check that the file exists and you have read permission.\n";
}

// A working directory for one run; these runs launch as plain "kvel".
class Workspace : public testsupport::LaunchWorkspace {
public:
  RunResult run(const std::string& program, const std::vector<std::string>& args,
                RunOptions options = RunOptions(), const std::string& argv0 = "kvel") const {
    return LaunchWorkspace::run(program, args, options, argv0);
  }
};

// ---- Ends before the shell: every program build behaves alike. -------------

struct EarlyEnd {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> kernels;   // snapshots with a kernel
  std::vector<std::string> files;     // other plain files
  std::string out;                    // exact standard output
  const char* errStart;               // standard error starts with this
  int status;
};

const EarlyEnd kEarlyEnds[] = {
    {"ParseFailure", {"top", "other"}, {"top"}, {}, "", "Expected a switch but found o\n", 1},
    {"UnknownSwitch", {"-bogus", "top"}, {"top"}, {}, "", "Unexpected option encountered : bogus\n",
     1},
    {"Help", {"-help", "top"}, {"top"}, {}, "", "Kvel simulation executable\n", 0},
    {"HelpWinsOverVersion", {"-help", "-version"}, {}, {}, "", "Kvel simulation executable\n", 0},
    {"VersionThenHelp", {"-version", "-h"}, {}, {}, "", "Kvel simulation executable\n", 0},
    {"Version", {"-version"}, {}, {}, "Dravik Simulator 2017.2\n", "", 1},
    {"VersionBeforeSnapshotCheck", {"-version", "top"}, {"top"}, {}, "Dravik Simulator 2017.2\n",
     "", 1},
    {"NoSnapshot", {}, {}, {}, kMissingName, "", 1},
    {"NoSnapshotWithOptions", {"-tclbatch", "run.tcl"}, {}, {}, kMissingName, "", 1},
    {"EmptySnapshot", {""}, {}, {}, kMissingName, "", 1},
    {"SnapshotSwitchAloneIsNotEnough", {"-snapshot", "top"}, {"top"}, {}, kMissingName, "", 1},
    {"MissingDatabase", {"design.wdb"}, {"design.wdb"}, {}, missingDatabase("design.wdb"), "", 1},
    {"UpperCaseSuffixIsASnapshot", {"design.WDB"}, {}, {"design.WDB"},
     missingKernel("kvel.dir/design.WDB/kvelk.exe"), "", 1},
    {"NoKernelNamesTheFirstPath", {"top"}, {}, {}, missingKernel("kvel.dir/top/kvelk.exe"), "", 1},
    {"WrongKernelOnly", {"top"}, {"work.other", "other"}, {},
     missingKernel("kvel.dir/top/kvelk.exe"), "", 1},
    {"PrefixedNameGetsNoSecondPrefix", {"work.top"}, {"work.work.top", "top"}, {},
     missingKernel("kvel.dir/work.top/kvelk.exe"), "", 1},
    {"DirectoryInTheWay", {"design.wdb"}, {}, {"design.wdb", "kvel.dir"},
     "ERROR: Unable to create kvel working directory kvel.dir/design.wdb.\n", "", 1},
    {"ScriptNameTaken", {"top"}, {"top", "top/kvel_script.tcl/x"}, {},
     "ERROR: Cannot write kvel.dir/top/kvel_script.tcl: it is a directory.\n"
     "ERROR: Unable to create script file kvel.dir/top/kvel_script.tcl.\n", "", 1},
    // printf directives in a name are printed as they are, by either printer.
    {"DirectivesInTheTarget", {"a%s%n.wdb"}, {}, {}, missingDatabase("a%s%n.wdb"), "", 1},
    {"DirectivesInTheDirectory", {"b%s%n.wdb"}, {}, {"b%s%n.wdb", "kvel.dir"},
     "ERROR: Unable to create kvel working directory kvel.dir/b%s%n.wdb.\n", "", 1},
};

void PrintTo(const EarlyEnd& c, std::ostream* os) { *os << c.name; }

class EarlyEndTable
    : public ::testing::TestWithParam<std::tuple<EarlyEnd, std::string>> {};

TEST_P(EarlyEndTable, MessageAndStatus) {
  const EarlyEnd& c = std::get<0>(GetParam());
  Workspace ws;
  for (const std::string& k : c.kernels)
    ws.kernel(k);
  for (const std::string& f : c.files)
    ws.file(f);
  RunResult r = ws.run(std::get<1>(GetParam()), c.args);
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(c.status, r.exitStatus);
  EXPECT_EQ(c.out, r.out);
  EXPECT_EQ(0u, r.err.find(c.errStart)) << r.err;
  // The shell is never reached.
  EXPECT_TRUE(ws.calls("main").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Builds, EarlyEndTable,
    ::testing::Combine(::testing::ValuesIn(kEarlyEnds), ::testing::Values(kShipped, kDouble)),
    [](const ::testing::TestParamInfo<std::tuple<EarlyEnd, std::string>>& info) {
      return std::string(std::get<0>(info.param).name) +
             (std::get<1>(info.param) == kDouble ? "_double" : "_shipped");
    });

// ---- Hand-over to the shell, as recorded by the test double. ------------------

struct HandOver {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> kernels;
  std::vector<std::string> files;       // other plain files
  std::vector<std::string> shellArgs;   // after argv[0]
  const char* script;                   // path relative to the working directory
  const char* scriptContent;
};

const HandOver kHandOvers[] = {
    {"Plain", {"top"}, {"top"}, {}, {"-mode", "tcl", "-source", "{<own>}"},
     "kvel.dir/top/kvel_script.tcl", "kvel {top} -autoloadwcfg\n"},
    {"Gui", {"-gui", "top"}, {"top"}, {}, {"-source", "{<own>}"},
     "kvel.dir/top/kvel_script.tcl",
     "load_feature core\ncurrent_fileset\nkvel {top} -autoloadwcfg\n"},
    {"GuiAlias", {"top", "-g", "-view", "a.wcfg"}, {"top"}, {},
     {"-source", "{<own>}"}, "kvel.dir/top/kvel_script.tcl",
     "load_feature core\ncurrent_fileset\nkvel {top} -view {{a.wcfg}}\n"},
    {"Log", {"-log", "run.log", "top"}, {"top"}, {},
     {"-log", "run.log", "-mode", "tcl", "-source", "{<own>}"},
     "kvel.dir/top/kvel_script.tcl", "kvel {top} -autoloadwcfg\n"},
    {"NoLog", {"top", "-nolog"}, {"top"}, {},
     {"-nolog", "-mode", "tcl", "-source", "{<own>}"},
     "kvel.dir/top/kvel_script.tcl", "kvel {top} -autoloadwcfg\n"},
    {"LogAndNoLog", {"-log", "run.log", "-nolog", "top"}, {"top"}, {},
     {"-log", "run.log", "-nolog", "-mode", "tcl", "-source", "{<own>}"},
     "kvel.dir/top/kvel_script.tcl", "kvel {top} -autoloadwcfg\n"},
    {"LogNoLogGui", {"-gui", "-nolog", "-log", "a b.log", "top"}, {"top"}, {},
     {"-log", "a b.log", "-nolog", "-source", "{<own>}"},
     "kvel.dir/top/kvel_script.tcl",
     "load_feature core\ncurrent_fileset\nkvel {top} -autoloadwcfg\n"},
    {"WorkRetry", {"top", "-tp"}, {"work.top"}, {},
     {"-mode", "tcl", "-source", "{<own>}"},
     "kvel.dir/work.top/kvel_script.tcl", "kvel {work.top} -tp -autoloadwcfg\n"},
    {"OwnKernelWinsOverRetry", {"top"}, {"top", "work.top"}, {},
     {"-mode", "tcl", "-source", "{<own>}"},
     "kvel.dir/top/kvel_script.tcl", "kvel {top} -autoloadwcfg\n"},
    {"ShortNameRetried", {"work"}, {"work.work"}, {},
     {"-mode", "tcl", "-source", "{<own>}"},
     "kvel.dir/work.work/kvel_script.tcl", "kvel {work.work} -autoloadwcfg\n"},
    {"PrefixedName", {"work.top"}, {"work.top"}, {},
     {"-mode", "tcl", "-source", "{<own>}"},
     "kvel.dir/work.top/kvel_script.tcl", "kvel {work.top} -autoloadwcfg\n"},
    {"SimulationOptionsStayInTheScript",
     {"top", "-maxdeltaid", "0", "-R", "-onfinish", "quit", "-stats", "-key", "K"}, {"top"}, {},
     {"-mode", "tcl", "-source", "{<own>}"},
     "kvel.dir/top/kvel_script.tcl",
     "kvel {top} -maxdeltaid 0 -autoloadwcfg -runall -onfinish quit -stats -key K\n"},
    {"DatabaseSkipsTheKernelCheck", {"design.wdb", "-gui"}, {}, {"design.wdb"},
     {"-source", "{<own>}"}, "kvel.dir/design.wdb/kvel_script.tcl",
     "load_feature core\ncurrent_fileset\nkvel {design.wdb} -autoloadwcfg\n"},
    {"NestedDatabasePath", {"waves/run.wdb"}, {}, {"waves/run.wdb"},
     {"-mode", "tcl", "-source", "{<own>}"},
     "kvel.dir/waves/run.wdb/kvel_script.tcl", "kvel {waves/run.wdb} -autoloadwcfg\n"},
    // The database is read where ".." leads; the script stays beneath kvel.dir.
    {"DatabaseThroughParentFolder", {"sub/../design.wdb"}, {}, {"design.wdb", "sub/keep"},
     {"-mode", "tcl", "-source", "{<own>}"},
     "kvel.dir/sub/%2E%2E/design.wdb/kvel_script.tcl", "kvel {sub/../design.wdb} -autoloadwcfg\n"},
};

void PrintTo(const HandOver& c, std::ostream* os) { *os << c.name; }

class HandOverTable : public ::testing::TestWithParam<HandOver> {};

TEST_P(HandOverTable, ShellReceivesTheArgumentVector) {
  const HandOver& c = GetParam();
  Workspace ws;
  for (const std::string& k : c.kernels)
    ws.kernel(k);
  for (const std::string& f : c.files)
    ws.file(f);
  RunResult r = ws.run(kDouble, c.args);
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(0, r.exitStatus) << r.out << r.err;
  std::vector<zekdouble::Fields> mains = ws.calls("main");
  ASSERT_EQ(1u, mains.size());
  // main <app> <argc> <argv...> <argvEnd> <initProc> <listeners61>
  zekdouble::Fields expected{"main", "kvel", std::to_string(c.shellArgs.size() + 1), "kvel"};
  expected.insert(expected.end(), c.shellArgs.begin(), c.shellArgs.end());
  expected.insert(expected.end(), {"null", "null", "1"});
  EXPECT_EQ(expected, ws.shellCallsShown()[0]);
  // The shell's own script held the launch's script; the record holds it
  // too, and the own script is gone.
  const std::vector<zekdouble::Fields> sources = ws.calls("source");
  ASSERT_EQ(1u, sources.size());
  EXPECT_EQ(testsupport::onDisk(c.scriptContent), sources[0][2]);
  EXPECT_EQ(testsupport::onDisk(c.scriptContent), ws.read(c.script));
  EXPECT_FALSE(testsupport::fileExists(ws.path(sources[0][1]))) << sources[0][1];
}

INSTANTIATE_TEST_SUITE_P(Cases, HandOverTable, ::testing::ValuesIn(kHandOvers),
                         [](const ::testing::TestParamInfo<HandOver>& info) {
                           return std::string(info.param.name);
                         });

TEST(HandOver, Argv0IsPassedUnchanged) {
  Workspace ws;
  ws.kernel("top");
  RunResult r = ws.run(kDouble, {"top"}, RunOptions(), "some/where/my kvel");
  EXPECT_EQ(0, r.exitStatus);
  ASSERT_EQ(1u, ws.calls("main").size());
  EXPECT_EQ("some/where/my kvel", ws.calls("main")[0][3]);
}

TEST(HandOver, ShellStatusIsTheExitStatus) {
  for (const char* status : {"0", "3", "1", "200"}) {
    Workspace ws;
    ws.kernel("top");
    RunOptions options;
    options.setEnv["ZEKDOUBLE_STATUS"] = status;
    RunResult r = ws.run(kDouble, {"top"}, options);
    ASSERT_FALSE(r.signaled);
    EXPECT_EQ(std::stoi(status), r.exitStatus);
    EXPECT_EQ("", r.out);
  }
}

TEST(HandOver, ListenerSetsTheFlagOfEvent61) {
  Workspace ws;
  ws.kernel("top");
  RunOptions options;
  options.setEnv["ZEKDOUBLE_EVENT"] = "bool2";
  RunResult r = ws.run(kDouble, {"top"}, options);
  EXPECT_EQ(0, r.exitStatus);
  EXPECT_EQ((std::vector<zekdouble::Fields>{{"event61", "flag", "1"}, {"event61", "flag", "1"}}),
            ws.calls("event61"));
}

// kvel catches no exception: a wrong event payload or a throwing shell ends
// the process through the runtime's uncaught-exception handling.
TEST(HandOver, ExceptionsFromTheShellAreNotCaught) {
  for (const char* variable : {"ZEKDOUBLE_EVENT=wrong", "ZEKDOUBLE_THROW=std"}) {
    std::string setting(variable);
    std::string::size_type eq = setting.find('=');
    Workspace ws;
    ws.kernel("top");
    RunOptions options;
    options.setEnv[setting.substr(0, eq)] = setting.substr(eq + 1);
    RunResult r = ws.run(kDouble, {"top"}, options);
    if (testsupport::kWindows) {
      // abort() in the Windows C runtime ends the process with status 3.
      EXPECT_EQ(3, r.exitStatus) << variable;
    } else {
      EXPECT_TRUE(r.signaled) << variable << " status " << r.exitStatus;
      EXPECT_EQ(SIGABRT, r.signal) << variable;
    }
    EXPECT_EQ(std::string::npos, r.err.find("Unknown error")) << variable;
  }
  Workspace ws;
  ws.kernel("top");
  RunOptions options;
  options.setEnv["ZEKDOUBLE_EVENT"] = "wrong";
  ws.run(kDouble, {"top"}, options);
  EXPECT_EQ((std::vector<zekdouble::Fields>{
                {"event61", "threw", "failed type conversion of event data"}}),
            ws.calls("event61"));
}

// The run of the introduction, word for word, through the test double.
TEST(HandOver, TypicalRun) {
  Workspace ws;
  ws.kernel("work.top");
  ws.file("opts.txt", "-testplusarg SEED=$SEED\n");
  RunOptions options;
  options.setEnv["SEED"] = "7";
  RunResult r = ws.run(kDouble, {"top", "-tclbatch", "run.tcl", "-f", "opts.txt"}, options);
  EXPECT_EQ(0, r.exitStatus);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(testsupport::onDisk("kvel {work.top} -testplusarg SEED=7 -autoloadwcfg -tclbatch {run.tcl}\n"),
            ws.read("kvel.dir/work.top/kvel_script.tcl"));
  EXPECT_FALSE(testsupport::fileExists(ws.path("kvel.dir/top")));
  EXPECT_EQ((std::vector<zekdouble::Fields>{{"main", "kvel", "5", "kvel", "-mode", "tcl", "-source",
                                             "{<own>}", "null", "null",
                                             "1"}}),
            ws.shellCallsShown());
}

}  // namespace
