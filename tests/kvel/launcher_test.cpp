// Pieces of the main flow that need no process: kernel path, database test,
// target check, shell argument list.
#include "kvel/launcher.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace {

TEST(KernelPath, IsTheSnapshotDirectoryPlusKernelName) {
  EXPECT_EQ("kvel.dir/top/kvelk.exe", KVEL::kernelPath("top"));
  EXPECT_EQ("kvel.dir/work.top/kvelk.exe", KVEL::kernelPath("work.top"));
  EXPECT_EQ("kvel.dir/lib/top/kvelk.exe", KVEL::kernelPath("lib/top"));
}

TEST(WaveformDatabase, SuffixTestIsExactAndCaseSensitive) {
  const struct {
    const char* target;
    bool database;
  } cases[] = {
      {"design.wdb", true}, {".wdb", true},       {"waves/run.wdb", true},
      {"design.WDB", false}, {"design.wdbx", false}, {"wdb", false},
      {"design.wdb/", false}, {"", false},          {"design_wdb", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.database, KVEL::isWaveformDatabase(c.target)) << c.target;
}

std::string missingKernel(const std::string& snapshot) {
  return "ERROR: Please check the snapshot name which is created during 'plenk',the current "
         "snapshot name \"kvel.dir/" + snapshot + "/kvelk.exe\" does not exist ";
}

// In a fresh working directory holding the files `present`: the outcome, the
// returned message and the snapshot afterwards. Names beyond ASCII and printf
// directives reach the message as typed.
TEST(CheckTarget, OutcomeMessageAndSnapshot) {
  const std::string s = "\xC3\xA9\xD0\x96\xE6\x97\xA5\xF0\x9F\x98\x80%s%n", db = s + ".wdb";
  const struct {
    std::string target;
    std::vector<std::string> present;
    std::string after, err;  // err "": accepted
  } cases[] = {
      {db, {}, db,
       "ERROR: Can't access WDB file \"" + db +
           "\". Please check that the file exists and you have read permission."},
      {db, {db}, db, ""},
      {s, {}, s, missingKernel(s)},
      {s, {"kvel.dir/work." + s + "/kvelk.exe"}, "work." + s, ""},
      {"work." + s, {"kvel.dir/work.work." + s + "/kvelk.exe", "kvel.dir/" + s + "/kvelk.exe"},
       "work." + s, missingKernel("work." + s)},
      {"WORK." + s, {"kvel.dir/work.WORK." + s + "/kvelk.exe"}, "work.WORK." + s, ""},
  };
  char previous[4096];
  ASSERT_NE(nullptr, ::getcwd(previous, sizeof previous));
  for (const auto& c : cases) {
    testsupport::TempDir dir;
    for (const std::string& p : c.present)
      testsupport::writeFile(dir.file(p), "");
    ASSERT_EQ(0, ::chdir(dir.path().c_str()));
    std::string snapshot = c.target, err = "stale";
    const bool accepted = KVEL::checkTarget(snapshot, &err);
    ASSERT_EQ(0, ::chdir(previous));
    EXPECT_EQ(c.err.empty(), accepted) << c.target;
    EXPECT_EQ(c.err, accepted ? std::string() : err) << c.target;
    EXPECT_EQ(c.after, snapshot) << c.target;
  }
}

TEST(ShellArguments, OrderAndCombinations) {
  const struct {
    const char* log;
    bool nolog;
    bool gui;
    std::vector<std::string> expected;
  } cases[] = {
      {"", false, false, {"./kvel", "-mode", "tcl", "-source", "{kvel.dir/top/kvel_script.tcl}"}},
      {"", false, true, {"./kvel", "-source", "{kvel.dir/top/kvel_script.tcl}"}},
      {"run.log", false, false,
       {"./kvel", "-log", "run.log", "-mode", "tcl", "-source", "{kvel.dir/top/kvel_script.tcl}"}},
      {"", true, false,
       {"./kvel", "-nolog", "-mode", "tcl", "-source", "{kvel.dir/top/kvel_script.tcl}"}},
      {"run.log", true, false,
       {"./kvel", "-log", "run.log", "-nolog", "-mode", "tcl", "-source",
        "{kvel.dir/top/kvel_script.tcl}"}},
      {"my run.log", true, true,
       {"./kvel", "-log", "my run.log", "-nolog", "-source", "{kvel.dir/top/kvel_script.tcl}"}},
  };
  for (const auto& c : cases) {
    KVEL::CommandLineOptions options;
    options.log = c.log;
    options.nolog = c.nolog;
    options.gui = c.gui;
    EXPECT_EQ(c.expected, KVEL::shellArguments(options, "./kvel", "kvel.dir/top/kvel_script.tcl"))
        << "log=" << c.log << " nolog=" << c.nolog << " gui=" << c.gui;
  }
}

TEST(ShellArguments, ScriptPathIsWrappedOnceEvenWithFormatCharacters) {
  KVEL::CommandLineOptions options;
  options.nolog = false;
  options.gui = true;
  EXPECT_EQ("{kvel.dir/a%sb/kvel_script.tcl}",
            KVEL::shellArguments(options, "k", "kvel.dir/a%sb/kvel_script.tcl").back());
}

// Braced when braces can hold the path, bare (and so taken literally) when not.
TEST(ShellArguments, ScriptPathBracedOnlyWhereBracesHoldIt) {
  KVEL::CommandLineOptions options;
  options.nolog = false;
  options.gui = true;
  const std::pair<const char*, const char*> cases[] = {
      {"kvel.dir/a{b}/kvel_script.tcl", "{kvel.dir/a{b}/kvel_script.tcl}"},
      {"kvel.dir/\xC3\xA9 x/kvel_script.tcl", "{kvel.dir/\xC3\xA9 x/kvel_script.tcl}"},
      {"kvel.dir/a{b/kvel_script.tcl", "kvel.dir/a{b/kvel_script.tcl"},
      {"kvel.dir/a}b{/kvel_script.tcl", "kvel.dir/a}b{/kvel_script.tcl"},
      {"kvel.dir/C:\\w\\/kvel_script.tcl", "{kvel.dir/C:\\w\\/kvel_script.tcl}"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.second, KVEL::shellArguments(options, "k", c.first).back()) << c.first;
}

TEST(ReleaseScriptValues, ListsAndCommandLineGoWhatTheShellReadsStays) {
  KVEL::CommandLineOptions options;
  options.testplusarg.assign(1000, "SEED=7");
  options.tclbatch = {"run.tcl"};
  options.view = {"a.wcfg"};
  options.commandLine = "kvel top -testplusarg SEED=7";
  options.log = "run.log";
  options.nolog = true;
  options.gui = true;
  options.snapshot = "top";
  const std::vector<std::string> before = KVEL::shellArguments(options, "k", "script.tcl");
  KVEL::releaseScriptValues(options);
  EXPECT_EQ(0u, options.testplusarg.capacity());
  EXPECT_EQ(0u, options.tclbatch.capacity());
  EXPECT_EQ(0u, options.view.capacity());
  EXPECT_TRUE(options.commandLine.empty());
  EXPECT_EQ(before, KVEL::shellArguments(options, "k", "script.tcl"));
  EXPECT_EQ("top", options.snapshot);
}

}  // namespace
