// The run script: directory rule, exact content, replacement and failures.
#include "kvel/run_script.h"
#include "support/fs/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/kvel/run_script_fixture.h"
#include "tests/support/platform_skips.h"

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
  EXPECT_EQ("<own>", launch("top", "{top} -autoloadwcfg"));
  EXPECT_EQ(onDisk("kvel {top} -autoloadwcfg\n"), readFile("kvel.dir/top/kvel_script.tcl"));
}

TEST_F(RunScript, WithGuiStartsWithTheTwoFixedLines) {
  options_.gui = true;
  launch("top", "{top} -view {{a.wcfg}}");
  EXPECT_EQ(onDisk("load_feature core\ncurrent_fileset\nkvel {top} -view {{a.wcfg}}\n"),
            readFile("kvel.dir/top/kvel_script.tcl"));
}

TEST_F(RunScript, CommandTextIsWrittenByteForByte) {
  const std::string text = "{top} -testplusarg %s%n -onfinish \\q -key \"k\"";
  launch("top", text);
  EXPECT_EQ(onDisk("kvel " + text + "\n"), readFile("kvel.dir/top/kvel_script.tcl"));
}

TEST_F(RunScript, SecondLaunchReplacesTheScriptAndKeepsTheDirectory) {
  writeFile("kvel.dir/top/kvelk.exe", "kernel");
  options_.gui = true;
  launch("top", "{top} -maxdeltaid 5 -testplusarg LONG=1 -autoloadwcfg");
  options_.gui = false;
  launch("top", "{top} -autoloadwcfg");
  EXPECT_EQ(onDisk("kvel {top} -autoloadwcfg\n"), readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ("kernel", readFile("kvel.dir/top/kvelk.exe"));
  // No temporary file left behind.
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), entries("kvel.dir/top"));
}

// Two replacements alive at once write their files and leave nothing else
// (the signal dispositions they touch: run_script_posix_test.cpp).
TEST_F(RunScript, ReplacementsLeaveNoProcessWideState) { replaceWithTwoAlive(); }

TEST_F(RunScript, NestedDatabasePathCreatesNestedDirectories) {
  EXPECT_EQ("<own>", launch("waves/run.wdb", "{waves/run.wdb} -autoloadwcfg"));
  EXPECT_TRUE(fs::is_directory("kvel.dir/waves/run.wdb"));
  EXPECT_EQ(onDisk("kvel {waves/run.wdb} -autoloadwcfg\n"),
            readFile("kvel.dir/waves/run.wdb/kvel_script.tcl"));
}

// A script with a second name (a hard link) is written in place, so that
// both names see the new script, as they do after a plain write.
TEST_F(RunScript, HardLinkedScriptIsWrittenInPlace) {
  launch("top", "{top} -autoloadwcfg");
  ASSERT_TRUE(testsupport::makeHardLink("kvel.dir/top/kvel_script.tcl", "second.tcl"));
  launch("top", "{top} -tp -autoloadwcfg");
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
  EXPECT_EQ(std::string("ERROR: Cannot write kvel.dir/top/kvel_script.tcl: it is a directory.\n") +
                kScriptError,
            failure("top", "{top}"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

// A script a plain write could not open (no write permission; on Windows the
// read-only attribute) is left as it is, attribute and all, in a writable folder.
TEST_F(RunScript, ReadOnlyScriptIsLeftAsItIs) {
  if (testsupport::runningAsRoot())
    GTEST_SKIP() << "permissions do not bind root";
  launch("top", "{top} -testplusarg OLD=\xc3\xa9 -autoloadwcfg");
  const std::string old = readFile("kvel.dir/top/kvel_script.tcl");
  ASSERT_EQ(0, ::chmod("kvel.dir/top/kvel_script.tcl", S_IREAD));
  EXPECT_EQ(std::string("ERROR: Cannot write kvel.dir/top/kvel_script.tcl: ") + kReadOnlyReason +
                ".\n" + kScriptError,
            failure("top", "{top} -tp -autoloadwcfg"));
  struct stat status;
  ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &status));
  EXPECT_EQ(0, status.st_mode & S_IWRITE);
  ::chmod("kvel.dir/top/kvel_script.tcl", S_IREAD | S_IWRITE);
  EXPECT_EQ(old, readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

}  // namespace

// The cleaning removes only what a killed launch left: names of exactly the
// temporaries' form that are plain files of this user with one name and that
// no running launch holds, in the folder where the launch makes its
// temporary (beside the file a link of the user's own leads to). Users'
// files named in the earlier form or like version numbers, other users'
// files, links and FIFOs named like temporaries all stay.
void RunScript::expectCleaning(const std::string& where) {
  const struct {
    const char* name;
    const char* kind;  // "" plain file of this user, "held", or see makeSpecial
    bool stays;
  } cases[] = {
      {".~kvel.4000000000.0.tmp", "", false},      {".~kvel.4000000001.17.tmp", "", false},
      {".~kvel.4000000002.3.tmp", "held", true},   {".~kvel.4000000003.0.tmp", "other user", true},
      {".~kvel.4000000004.0.tmp", "hard link", true}, {".~kvel.4000000005.0.tmp", "symlink", true},
      {".~kvel.4000000006.0.tmp", "fifo", true},   {".~kvel.04.0.tmp", "", true},
      {".~kvel.4.0.tmp.bak", "", true},            {".~kvel.4.0.txt", "", true},
      {".~KVEL.4.0.TMP", "", true},                {".~kvel..0.tmp", "", true},
      {"kvel_script.tcl.4000000000.0", "", true},  {"kvel_script.tcl.2017.2", "", true},
      {"kvel_script.tcl.1.0", "", true},           {"KVEL_SCRIPT.TCL.5.5", "", true},
      {"run.tcl.2017.2", "", true},                {"\xd0\x96.~kvel.1.0.tmp", "", true},
      {".~kvel.4000000007.2.tcl", "", false},      {".~kvel.4000000008.0.tcl", "held", true},
      {".~kvel.4000000009.0.tcl", "other user", true}, {".~kvel.4.0.tcl.orig", "", true},
  };
  fs::create_directories("kvel.dir/top");
  fs::create_directories("notes");
  if (where == "notes") {
    boost::system::error_code error;
    fs::create_symlink("../../notes/run.tcl", "kvel.dir/top/kvel_script.tcl", error);
    if (error || !fs::is_symlink("kvel.dir/top/kvel_script.tcl"))
      GTEST_SKIP() << testsupport::kNoSymbolicLink;
  }
  std::vector<std::function<void()>> releases;
  std::vector<std::string> expected{where == "notes" ? "run.tcl" : "kvel_script.tcl"};
  for (const auto& c : cases) {
    const std::string path = where + "/" + c.name;
    const std::string kind = c.kind;
    bool made = true;
    if (kind.empty() || kind == "held")
      writeFile(path, "left over\n");
    else
      made = makeSpecial(kind, path);
    if (!made)
      continue;  // this platform or user cannot make it
    if (kind == "held") {
      releases.push_back(hold(path));
      ASSERT_TRUE(releases.back()) << c.name;
    }
    if (c.stays)
      expected.push_back(c.name);
    if (kind == "hard link" || kind == "symlink")
      expected.push_back(std::string(c.name) + ".other");
  }
  std::sort(expected.begin(), expected.end());
  launch("top", "{top} -testplusarg \xd0\x96 -autoloadwcfg");
  for (auto& release : releases)
    release();
  EXPECT_EQ(expected, entries(where)) << where;
  EXPECT_EQ(onDisk("kvel {top} -testplusarg \xd0\x96 -autoloadwcfg\n"),
            readFile("kvel.dir/top/kvel_script.tcl"))
      << where;
}

namespace {

TEST_F(RunScript, CleaningRemovesOnlyWhatALaunchLeft) { expectCleaning("kvel.dir/top"); }

// The script is a link of the user's own to notes/run.tcl: the temporaries
// are made, and cleaned, beside run.tcl.
TEST_F(RunScript, CleaningBesideALinksTarget) { expectCleaning("notes"); }

// The temporaries' name form, exactly.
TEST(LaunchTemporary, NameForm) {
  const struct {
    const char* name;
    bool launches;
  } cases[] = {
      {".~kvel.1.0.tmp", true},       {".~kvel.4294967295.99.tmp", true}, {".~kvel.0.0.tmp", true},
      {".~kvel.01.0.tmp", false},     {".~kvel.1.00.tmp", false},         {".~kvel.1.0.tmp ", false},
      {".~kvel.1.0.TMP", false},      {".~kvel.1.0", false},              {".~kvel.1.tmp", false},
      {"~kvel.1.0.tmp", false},       {".~kvel.12345678901.0.tmp", false}, {".~kvel.-1.0.tmp", false},
      {"kvel_script.tcl.1.0", false}, {"", false},
      {".~kvel.1.0.tcl", true},       {".~kvel.7.12.tcl", true},          {".~kvel.1.0.TCL", false},
      {".~kvel.1.0.tcl~", false},     {".~kvel.1.0.tc", false},           {".~kvel.1.0.tcltmp", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.launches, KVEL::isLaunchTemporary(c.name)) << "\"" << c.name << "\"";
}

// What the user typed names the script's folder; ".." components, which
// would lead out of kvel.dir, are written "%2E%2E". Run from runs/own/alu_000
// (as a farm would), nothing is created outside kvel.dir.
TEST_F(RunScript, DotDotStaysBeneathKvelDir) {
  const struct {
    const char* snapshot;
    const char* directory;
  } cases[] = {
      {"../../own/dma_141/waves.wdb", "kvel.dir/%2E%2E/%2E%2E/own/dma_141/waves.wdb"},
      {"a/../b.wdb", "kvel.dir/a/%2E%2E/b.wdb"},
      {"..", "kvel.dir/%2E%2E"},
      {"../\xe4\xb8\xad..\xf0\x9f\x98\x80/..x/w.wdb", "kvel.dir/%2E%2E/\xe4\xb8\xad..\xf0\x9f\x98\x80/..x/w.wdb"},
      {"./a/./b", "kvel.dir/./a/./b"},
  };
  fs::create_directories("runs/own/alu_000");
  ASSERT_EQ(0, ::chdir("runs/own/alu_000"));
  for (const auto& c : cases) {
    EXPECT_EQ(c.directory, KVEL::scriptDirectory(c.snapshot)) << c.snapshot;
    EXPECT_EQ("<own>", launch(c.snapshot, "{x} -autoloadwcfg")) << c.snapshot;
    EXPECT_EQ(onDisk("kvel {x} -autoloadwcfg\n"),
              readFile(std::string(c.directory) + "/kvel_script.tcl"))
        << c.snapshot;
  }
  EXPECT_EQ(std::vector<std::string>{"kvel.dir"}, entries("."));
  ASSERT_EQ(0, ::chdir("../../.."));
  EXPECT_EQ(std::vector<std::string>{"runs"}, entries("."));
  EXPECT_EQ(std::vector<std::string>{"own"}, entries("runs"));
  EXPECT_EQ(std::vector<std::string>{"alu_000"}, entries("runs/own"));
}

}  // namespace
}  // namespace runscripttest
