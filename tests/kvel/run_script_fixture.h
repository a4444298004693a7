// The run script tests' working-directory fixture, shared by the tests every
// platform runs and those that only make sense on one.
#ifndef TESTS_KVEL_RUN_SCRIPT_FIXTURE_H
#define TESTS_KVEL_RUN_SCRIPT_FIXTURE_H

#include "kvel/run_script.h"

#include <cstdio>

#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "support/file_status.h"
#include "support/fs/file_replacement.h"
#include "tests/support/launch_workspace.h"
#include "tests/support/test_process.h"

namespace runscripttest {

namespace fs = boost::filesystem;

const char kDirectoryError[] = "ERROR: Unable to create kvel working directory kvel.dir/top.";
const char kScriptError[] = "ERROR: Unable to create script file kvel.dir/top/kvel_script.tcl.";

// Runs each test inside a fresh working directory.
class RunScript : public ::testing::Test {
protected:
  void SetUp() override {
    char buffer[4096];
    ASSERT_NE(nullptr, ::getcwd(buffer, sizeof buffer));
    previous_ = buffer;
    ASSERT_EQ(0, ::chdir(dir_.path().c_str()));
    options_.gui = false;
  }
  void TearDown() override {
    endLaunch();
    ASSERT_EQ(0, ::chdir(previous_.c_str()));
  }

  // The error text of a script that cannot be written; "" when it was.
  std::string failure(const std::string& snapshot, const std::string& commandText) {
    KVEL::RunScript script;
    std::string err;
    if (script.write(options_, snapshot, commandText, &err))
      return "";
    EXPECT_EQ("", script.path());
    return err;
  }

  // A launch's scripts through writeRunScript, ended before this returns:
  // the script for the shell held what the record holds, is not the record,
  // and is gone. Returns the shell's script as ownScriptShown writes it.
  std::string launch(const std::string& snapshot, const std::string& commandText) {
    const std::string path = KVEL::writeRunScript(options_, snapshot, commandText);
    const std::string record = KVEL::launchRunScript().recordPath();
    EXPECT_EQ(testsupport::readFile(record), testsupport::readFile(path)) << path;
    endLaunch();
    EXPECT_NE(record, path);
    EXPECT_FALSE(testsupport::fileExists(path)) << path;
    return testsupport::ownScriptShown(path);
  }

  // Ends what writeRunScript made for the shell: its own script is removed.
  static void endLaunch() {
    std::string err;
    EXPECT_TRUE(KVEL::launchRunScript().end(&err)) << err;
  }

  // Names of the entries of a directory, sorted.
  static std::vector<std::string> entries(const std::string& directory) {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(directory))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Writes the script of snapshot twice (ASCII, then an emoji) where the
  // path is near a length limit: the script file gets each content and
  // `listed` holds only `left` afterwards (no temporary).
  void expectWrittenWhole(const std::string& snapshot, const std::string& script,
                            const std::string& listed, const std::vector<std::string>& left) {
    for (const char* text : {"{s} -autoloadwcfg", "{s} -testplusarg \xf0\x9f\x98\x80 -autoloadwcfg"}) {
      launch(snapshot, text);
      EXPECT_EQ(testsupport::onDisk("kvel " + std::string(text) + "\n"), testsupport::readFile(script))
          << text;
    }
    EXPECT_EQ(left, entries(listed));
  }

  // Two replacements alive at once, used in turn: each writes its file (text
  // beyond ASCII included) and leaves no temporary.
  void replaceWithTwoAlive() {
    KVEL::CheckedFolder here;
    std::string detail;
    ASSERT_TRUE(here.open("", false, &detail)) << detail;
    KVEL::FileReplacement first(here, "a.tcl"), second(here, "b.tcl");
    for (KVEL::FileReplacement* replacement : {&first, &second, &first}) {
      std::string err = "stale";
      EXPECT_TRUE(replacement->replace({"kvel {", "\xc3\xa9\xd0\x96\xe4\xb8\xad", "}\n"}, &err));
      EXPECT_EQ("", err);
    }
    EXPECT_EQ(testsupport::onDisk("kvel {\xc3\xa9\xd0\x96\xe4\xb8\xad}\n"),
              testsupport::readFile("b.tcl"));
    EXPECT_EQ((std::vector<std::string>{"a.tcl", "b.tcl"}), entries("."));
  }

  // A launch's cleaning in `where` ("kvel.dir/top", or "notes" when the
  // script is a link to notes/run.tcl): run_script_test.cpp.
  void expectCleaning(const std::string& where);

  // The identity of the file a name leads to (empty when it cannot be opened).
  static KVEL::FileIdentity identity(const std::string& name) {
    KVEL::FileIdentity identity;
    unsigned long long size = 0;
    if (std::FILE* file = std::fopen(name.c_str(), "rb")) {
      KVEL::identifyOpenFile(file, identity, size);
      std::fclose(file);
    }
    return identity;
  }

  testsupport::TempDir dir_;
  std::string previous_;
  KVEL::CommandLineOptions options_;
};

// Holds a file as a running launch holds its temporary: locked on POSIX, open
// without delete sharing on Windows. Returns what lets it go; empty on failure.
std::function<void()> hold(const std::string& path);

// Puts something other than a plain file of this user at path: "fifo",
// "symlink" (to a plain file beside it), "other user" (a plain file of
// another user), "hard link" (a plain file with a second name beside it).
// False when the platform or the user cannot make it.
bool makeSpecial(const std::string& kind, const std::string& path);

// The reason given for a script a plain write would refuse.
extern const char kReadOnlyReason[];

}  // namespace runscripttest

#endif
