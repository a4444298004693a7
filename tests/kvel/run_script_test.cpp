// The run script: directory rule, exact content, replacement and failures.
#include "kvel/run_script.h"
#include "kvel/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/kvel/run_script_fixture.h"

namespace runscripttest {
namespace {

using testsupport::onDisk;
using testsupport::readFile;
using testsupport::writeFile;

TEST(SnapshotDirectory, IsKvelDirPlusSnapshotUnchanged) {
  EXPECT_EQ("kvel.dir/top", KVEL::snapshotDirectory("top"));
  EXPECT_EQ("kvel.dir/work.top", KVEL::snapshotDirectory("work.top"));
  EXPECT_EQ("kvel.dir/waves/run.wdb", KVEL::snapshotDirectory("waves/run.wdb"));
  EXPECT_EQ("kvel.dir/./a/../b", KVEL::snapshotDirectory("./a/../b"));
}

TEST_F(RunScript, WithoutGuiHoldsOnlyTheCommandLine) {
  EXPECT_EQ("kvel.dir/top/kvel_script.tcl",
            KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg"));
  EXPECT_EQ(onDisk("kvel {top} -autoloadwcfg\n"), readFile("kvel.dir/top/kvel_script.tcl"));
}

TEST_F(RunScript, WithGuiStartsWithTheTwoFixedLines) {
  options_.gui = true;
  KVEL::writeRunScript(options_, "top", "{top} -view {{a.wcfg}}");
  EXPECT_EQ(onDisk("load_feature core\ncurrent_fileset\nkvel {top} -view {{a.wcfg}}\n"),
            readFile("kvel.dir/top/kvel_script.tcl"));
}

TEST_F(RunScript, CommandTextIsWrittenByteForByte) {
  const std::string text = "{top} -testplusarg %s%n -onfinish \\q -key \"k\"";
  KVEL::writeRunScript(options_, "top", text);
  EXPECT_EQ(onDisk("kvel " + text + "\n"), readFile("kvel.dir/top/kvel_script.tcl"));
}

TEST_F(RunScript, SecondLaunchReplacesTheScriptAndKeepsTheDirectory) {
  writeFile("kvel.dir/top/kvelk.exe", "kernel");
  options_.gui = true;
  KVEL::writeRunScript(options_, "top", "{top} -maxdeltaid 5 -testplusarg LONG=1 -autoloadwcfg");
  options_.gui = false;
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  EXPECT_EQ(onDisk("kvel {top} -autoloadwcfg\n"), readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ("kernel", readFile("kvel.dir/top/kvelk.exe"));
  // No temporary file left behind.
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), entries("kvel.dir/top"));
}

// Two replacements alive at once write their files and leave nothing else
// (the signal dispositions they touch: run_script_posix_test.cpp).
TEST_F(RunScript, ReplacementsLeaveNoProcessWideState) { replaceWithTwoAlive(); }

TEST_F(RunScript, NestedDatabasePathCreatesNestedDirectories) {
  EXPECT_EQ("kvel.dir/waves/run.wdb/kvel_script.tcl",
            KVEL::writeRunScript(options_, "waves/run.wdb", "{waves/run.wdb} -autoloadwcfg"));
  EXPECT_TRUE(fs::is_directory("kvel.dir/waves/run.wdb"));
  EXPECT_EQ(onDisk("kvel {waves/run.wdb} -autoloadwcfg\n"),
            readFile("kvel.dir/waves/run.wdb/kvel_script.tcl"));
}

// A script with a second name (a hard link) is written in place, so that
// both names see the new script, as they do after a plain write.
TEST_F(RunScript, HardLinkedScriptIsWrittenInPlace) {
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  ASSERT_TRUE(testsupport::makeHardLink("kvel.dir/top/kvel_script.tcl", "second.tcl"));
  KVEL::writeRunScript(options_, "top", "{top} -tp -autoloadwcfg");
  const KVEL::FileIdentity second = identity("second.tcl");
  EXPECT_NE(0u, second.fileNumber);
  EXPECT_TRUE(second == identity("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ(onDisk("kvel {top} -tp -autoloadwcfg\n"), readFile("second.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

TEST_F(RunScript, PlainFileNamedKvelDirGivesTheDirectoryMessage) {
  writeFile("kvel.dir", "in the way");
  EXPECT_EQ(kDirectoryError, failure("top", "{top}"));
  const std::string typed = "\xC3\xA9 \xD0\x96\xE6\x97\xA5\xF0\x9F\x98\x80 %s%n";
  EXPECT_EQ("ERROR: Unable to create kvel working directory kvel.dir/" + typed + ".",
            failure(typed, "{x}"));
  EXPECT_EQ("in the way", readFile("kvel.dir"));
}

TEST_F(RunScript, DirectoryInPlaceOfTheScriptGivesTheScriptMessage) {
  fs::create_directories("kvel.dir/top/kvel_script.tcl");
  EXPECT_EQ(kScriptError, failure("top", "{top}"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

// A script a plain write could not open (no write permission; on Windows the
// read-only attribute) is left as it is, attribute and all, in a writable folder.
TEST_F(RunScript, ReadOnlyScriptIsLeftAsItIs) {
  if (testsupport::runningAsRoot())
    GTEST_SKIP() << "permissions do not bind root";
  KVEL::writeRunScript(options_, "top", "{top} -testplusarg OLD=\xc3\xa9 -autoloadwcfg");
  const std::string old = readFile("kvel.dir/top/kvel_script.tcl");
  ASSERT_EQ(0, ::chmod("kvel.dir/top/kvel_script.tcl", S_IREAD));
  EXPECT_EQ(kScriptError, failure("top", "{top} -tp -autoloadwcfg"));
  struct stat status;
  ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &status));
  EXPECT_EQ(0, status.st_mode & S_IWRITE);
  ::chmod("kvel.dir/top/kvel_script.tcl", S_IREAD | S_IWRITE);
  EXPECT_EQ(old, readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

// Temporaries beside the script that no running launch holds (here of a dead
// process id) are removed by the next launch; a held one and other names stay.
TEST_F(RunScript, StaleTemporariesAreRemoved) {
  const struct {
    const char* name;
    bool held, stays;
  } cases[] = {
      {"kvel_script.tcl.4000000000.0", false, false}, {"kvel_script.tcl.4000000001.17", false, false},
      {"kvel_script.tcl.4000000002.3", true, true},   {"kvel_script.tcl.abc", false, true},
      {"kvel_script.tcl.1.2.bak", false, true},       {"kvel_script.tcl.12", false, true},
      {"other.tcl.1.0", false, true},
  };
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  std::function<void()> release;
  std::vector<std::string> expected{"kvel_script.tcl"};
  for (const auto& c : cases) {
    writeFile("kvel.dir/top/" + std::string(c.name), "left over\n");
    if (c.held) {
      release = hold("kvel.dir/top/" + std::string(c.name));
      ASSERT_TRUE(release) << c.name;
    }
    if (c.stays)
      expected.push_back(c.name);
  }
  std::sort(expected.begin(), expected.end());
  KVEL::writeRunScript(options_, "top", "{top} -testplusarg \xd0\x96 -autoloadwcfg");
  release();
  EXPECT_EQ(expected, entries("kvel.dir/top"));
  EXPECT_EQ(onDisk("kvel {top} -testplusarg \xd0\x96 -autoloadwcfg\n"),
            readFile("kvel.dir/top/kvel_script.tcl"));
}

}  // namespace
}  // namespace runscripttest
