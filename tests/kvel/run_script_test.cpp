// The run script: directory rule, exact content, replacement and failures.
#include "kvel/run_script.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace {

namespace fs = boost::filesystem;
using testsupport::onDisk;
using testsupport::readFile;
using testsupport::writeFile;

const char kDirectoryError[] = "ERROR: Unable to create kvel working directory kvel\\.dir/top\\.\n";
const char kScriptError[] = "ERROR: Unable to create script file kvel\\.dir/top/kvel_script\\.tcl\\.\n";

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
  void TearDown() override { ASSERT_EQ(0, ::chdir(previous_.c_str())); }

  // Names of the entries of a directory, sorted.
  static std::vector<std::string> entries(const std::string& directory) {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(directory))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  testsupport::TempDir dir_;
  std::string previous_;
  KVEL::CommandLineOptions options_;
};

// stdout goes to stderr in the dying child, so the message can be matched.
#define EXPECT_EXIT_1_WITH(statement, message)                                     \
  EXPECT_EXIT(                                                                     \
      {                                                                            \
        ::dup2(2, 1);                                                              \
        statement;                                                                 \
      },                                                                           \
      ::testing::ExitedWithCode(1), message)

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
  EXPECT_EQ(onDisk("load_feature core\ncurrent_fileset\nkvel {top} -view {{a.wcfg}}\n"), readFile("kvel.dir/top/kvel_script.tcl"));
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

TEST_F(RunScript, NestedDatabasePathCreatesNestedDirectories) {
  EXPECT_EQ("kvel.dir/waves/run.wdb/kvel_script.tcl",
            KVEL::writeRunScript(options_, "waves/run.wdb", "{waves/run.wdb} -autoloadwcfg"));
  EXPECT_TRUE(fs::is_directory("kvel.dir/waves/run.wdb"));
  EXPECT_EQ(onDisk("kvel {waves/run.wdb} -autoloadwcfg\n"), readFile("kvel.dir/waves/run.wdb/kvel_script.tcl"));
}

TEST_F(RunScript, FileHasTheModeOfAnOrdinaryNewFile) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no POSIX permission bits or umask";
#else
  struct stat status;
  mode_t previous = ::umask(027);
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &status));
  EXPECT_EQ(0640u, status.st_mode & 0777u);
  // Replacing an existing script gives the new file the current mask's mode.
  ::umask(002);
  KVEL::writeRunScript(options_, "top", "{top} -tp -autoloadwcfg");
  ::umask(previous);
  ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &status));
  EXPECT_EQ(0664u, status.st_mode & 0777u);
#endif
}

// A reader never sees a partly written script while another process keeps
// replacing it with contents of different lengths.
TEST_F(RunScript, ReaderSeesOnlyWholeScripts) {
#ifdef _WIN32
  GTEST_SKIP() << "the writer is a forked copy of this process; Windows has no fork";
#else
  const std::string shortText = "{top} -autoloadwcfg";
  const std::string longText = "{top} -testplusarg " + std::string(20000, 'x') + " -autoloadwcfg";
  KVEL::writeRunScript(options_, "top", shortText);
  pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    for (int i = 0; i < 300; ++i)
      KVEL::writeRunScript(options_, "top", i % 2 ? shortText : longText);
    ::_exit(0);
  }
  int reads = 0, torn = 0, status = 0;
  while (::waitpid(writer, &status, WNOHANG) == 0) {
    std::string content = readFile("kvel.dir/top/kvel_script.tcl");
    ++reads;
    if (content != "kvel " + shortText + "\n" && content != "kvel " + longText + "\n")
      ++torn;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(0, torn) << "of " << reads << " reads";
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
#endif
}

// The script replaces a symbolic link in its place instead of writing
// through it.
TEST_F(RunScript, SymbolicLinkIsReplacedNotFollowed) {
  writeFile("elsewhere.tcl", "keep me\n");
  fs::create_directories("kvel.dir/top");
  if (!testsupport::makeSymbolicLink("../../elsewhere.tcl", "kvel.dir/top/kvel_script.tcl")) {
#ifdef _WIN32
    GTEST_SKIP() << "no symbolic link can be made here (Wine makes none; Windows needs the "
                    "privilege)";
#else
    FAIL() << "symlink failed";
#endif
  }
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  EXPECT_FALSE(fs::is_symlink("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ(onDisk("kvel {top} -autoloadwcfg\n"), readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ("keep me\n", readFile("elsewhere.tcl"));
}

TEST_F(RunScript, PlainFileNamedKvelDirGivesTheDirectoryMessage) {
  writeFile("kvel.dir", "in the way");
  EXPECT_EXIT_1_WITH(KVEL::writeRunScript(options_, "top", "{top}"), kDirectoryError);
  EXPECT_EQ("in the way", readFile("kvel.dir"));
}

TEST_F(RunScript, DirectoryInPlaceOfTheScriptGivesTheScriptMessage) {
  fs::create_directories("kvel.dir/top/kvel_script.tcl");
  EXPECT_EXIT_1_WITH(KVEL::writeRunScript(options_, "top", "{top}"), kScriptError);
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

TEST_F(RunScript, UnwritableDirectoryGivesTheScriptMessage) {
#ifdef _WIN32
  GTEST_SKIP() << "chmod cannot make a Windows directory unwritable";
#else
  if (::geteuid() == 0)
    GTEST_SKIP() << "permissions do not bind root";
  fs::create_directories("kvel.dir/top");
  ::chmod("kvel.dir/top", 0555);
  EXPECT_EXIT_1_WITH(KVEL::writeRunScript(options_, "top", "{top}"), kScriptError);
  ::chmod("kvel.dir/top", 0755);
  EXPECT_TRUE(entries("kvel.dir/top").empty());
#endif
}

#ifndef _WIN32
// Writes beyond `bytes` fail with EFBIG instead of raising SIGXFSZ.
void limitFileSize(rlim_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit;
  limit.rlim_cur = limit.rlim_max = bytes;
  ::setrlimit(RLIMIT_FSIZE, &limit);
}
#endif

// A write that fails part way (file size limit) is reported, the previous
// script stays whole and the temporary file is removed.
TEST_F(RunScript, FailedWriteKeepsThePreviousScript) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no file-size limit to make a write fail part way";
#else
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  const std::string longText = "{top} -testplusarg " + std::string(5000, 'x');
  EXPECT_EXIT_1_WITH(limitFileSize(1024); KVEL::writeRunScript(options_, "top", longText),
                     kScriptError);
  EXPECT_EQ(onDisk("kvel {top} -autoloadwcfg\n"), readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
#endif
}

}  // namespace
