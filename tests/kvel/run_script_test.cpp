// The run script: directory rule, exact content, replacement and failures.
#include "kvel/run_script.h"
#include "kvel/file_replacement.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#endif
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
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

// Replacements, two instances alive at once, leave the signal dispositions
// as they found them for the shell run afterwards: SIGINT ignored stays
// ignored and a handler for SIGXFSZ stays in place.
TEST_F(RunScript, ReplacementsLeaveNoProcessWideState) {
#ifndef _WIN32
  const int signals[] = {SIGINT, SIGXFSZ};
  struct sigaction set = {}, saved[2], before[2], after[2];
  for (int i = 0; i < 2; ++i) {
    set.sa_handler = i == 0 ? SIG_IGN : [](int) {};
    ::sigaction(signals[i], &set, &saved[i]);
    ::sigaction(signals[i], nullptr, &before[i]);
  }
#endif
  KVEL::FileReplacement first("a.tcl"), second("b.tcl");
  for (KVEL::FileReplacement* replacement : {&first, &second, &first}) {
    std::string err = "stale";
    EXPECT_TRUE(replacement->replace({"kvel {", "\xc3\xa9\xd0\x96\xe4\xb8\xad", "}\n"}, &err));
    EXPECT_EQ("", err);
  }
  EXPECT_EQ(onDisk("kvel {\xc3\xa9\xd0\x96\xe4\xb8\xad}\n"), readFile("b.tcl"));
  EXPECT_EQ((std::vector<std::string>{"a.tcl", "b.tcl"}), entries("."));
#ifndef _WIN32
  for (int i = 0; i < 2; ++i) {
    ::sigaction(signals[i], &saved[i], &after[i]);
    EXPECT_EQ(before[i].sa_handler, after[i].sa_handler) << signals[i];
    EXPECT_EQ(before[i].sa_flags, after[i].sa_flags) << signals[i];
  }
#endif
}

TEST_F(RunScript, NestedDatabasePathCreatesNestedDirectories) {
  EXPECT_EQ("kvel.dir/waves/run.wdb/kvel_script.tcl",
            KVEL::writeRunScript(options_, "waves/run.wdb", "{waves/run.wdb} -autoloadwcfg"));
  EXPECT_TRUE(fs::is_directory("kvel.dir/waves/run.wdb"));
  EXPECT_EQ(onDisk("kvel {waves/run.wdb} -autoloadwcfg\n"),
            readFile("kvel.dir/waves/run.wdb/kvel_script.tcl"));
}

TEST_F(RunScript, FileHasTheModeOfAnOrdinaryNewFile) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no POSIX permission bits or umask";
#else
  struct stat status;
  mode_t previous = ::umask(027);
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  ::umask(previous);
  ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &status));
  EXPECT_EQ(0640u, status.st_mode & 0777u);
#endif
}

// A replaced script keeps the permission bits of the one it replaces, as a
// plain write into the existing file does, whatever the mask says.
TEST_F(RunScript, ReplacedScriptKeepsItsMode) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no POSIX permission bits or umask";
#else
  struct stat status;
  mode_t previous = ::umask(022);
  for (mode_t mode : {0600u, 0640u, 0755u}) {
    KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
    ASSERT_EQ(0, ::chmod("kvel.dir/top/kvel_script.tcl", mode));
    KVEL::writeRunScript(options_, "top", "{top} -tp -autoloadwcfg");
    ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &status));
    EXPECT_EQ(mode, status.st_mode & 07777u) << std::oct << mode;
    EXPECT_EQ(onDisk("kvel {top} -tp -autoloadwcfg\n"), readFile("kvel.dir/top/kvel_script.tcl"));
  }
  ::umask(previous);
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
#endif
}

// Run by root (as in CI), the replaced script keeps its owner and group too.
TEST_F(RunScript, ReplacedScriptKeepsItsOwner) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no POSIX owner to keep";
#else
  if (::geteuid() != 0)
    GTEST_SKIP() << "only root can give a file another owner";
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  ASSERT_EQ(0, ::chown("kvel.dir/top/kvel_script.tcl", 65534, 65534));
  KVEL::writeRunScript(options_, "top", "{top} -tp -autoloadwcfg");
  struct stat status;
  ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &status));
  EXPECT_EQ(65534u, status.st_uid);
  EXPECT_EQ(65534u, status.st_gid);
  EXPECT_EQ(onDisk("kvel {top} -tp -autoloadwcfg\n"), readFile("kvel.dir/top/kvel_script.tcl"));
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

// A script that is a symbolic link: the file it points to receives the new
// script and the link stays, as a plain write through the link gives.
TEST_F(RunScript, SymbolicLinkIsFollowed) {
#ifdef _WIN32
  GTEST_SKIP() << testsupport::kNoSymbolicLink;
#else
  struct Link {
    const char* what;
    std::vector<std::pair<std::string, std::string>> links;  // name, points to
    std::string file;                                          // the file written
  };
  const std::string absolute = dir_.file("abs/real.tcl");
  const Link cases[] = {
      {"relative", {{"kvel.dir/top/kvel_script.tcl", "../../elsewhere.tcl"}}, "elsewhere.tcl"},
      {"absolute", {{"kvel.dir/top/kvel_script.tcl", absolute}}, absolute},
      {"chain", {{"kvel.dir/top/kvel_script.tcl", "../hop.tcl"}, {"kvel.dir/hop.tcl", "sub/end.tcl"}},
       "kvel.dir/sub/end.tcl"},
  };
  for (const Link& c : cases) {
    fs::remove_all("kvel.dir");
    fs::remove_all("abs");
    writeFile(c.file, "keep me\n");
    ASSERT_EQ(0, ::chmod(c.file.c_str(), 0600));
    fs::create_directories("kvel.dir/top");
    for (const auto& link : c.links)
      ASSERT_EQ(0, ::symlink(link.second.c_str(), link.first.c_str())) << c.what;
    KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
    for (const auto& link : c.links) {
      EXPECT_TRUE(fs::is_symlink(link.first)) << c.what;
      EXPECT_EQ(link.second, fs::read_symlink(link.first).string()) << c.what;
    }
    EXPECT_EQ(onDisk("kvel {top} -autoloadwcfg\n"), readFile(c.file)) << c.what;
    struct stat status;
    ASSERT_EQ(0, ::stat(c.file.c_str(), &status));
    EXPECT_EQ(0600u, status.st_mode & 0777u) << c.what;
    fs::path directory = fs::path(c.file).parent_path();
    if (directory.empty())
      directory = ".";
    for (const fs::directory_entry& e : fs::directory_iterator(directory))
      EXPECT_EQ(std::string::npos, e.path().filename().string().find(".tcl."))
          << c.what << ": temporary file left: " << e.path();
  }
#endif
}

// A link to a file that does not exist yet creates that file.
TEST_F(RunScript, DanglingSymbolicLinkCreatesItsFile) {
#ifdef _WIN32
  GTEST_SKIP() << testsupport::kNoSymbolicLink;
#else
  fs::create_directories("kvel.dir/top");
  ASSERT_EQ(0, ::symlink("../new.tcl", "kvel.dir/top/kvel_script.tcl"));
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  EXPECT_TRUE(fs::is_symlink("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ(onDisk("kvel {top} -autoloadwcfg\n"), readFile("kvel.dir/new.tcl"));
#endif
}

// A link that leads to itself cannot be written, as with a plain write.
TEST_F(RunScript, SymbolicLinkLoopGivesTheScriptMessage) {
#ifdef _WIN32
  GTEST_SKIP() << testsupport::kNoSymbolicLink;
#else
  fs::create_directories("kvel.dir/top");
  ASSERT_EQ(0, ::symlink("kvel_script.tcl", "kvel.dir/top/kvel_script.tcl"));
  EXPECT_EXIT_1_WITH(KVEL::writeRunScript(options_, "top", "{top}"), kScriptError);
  EXPECT_TRUE(fs::is_symlink("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
#endif
}

// A link to something that is not a regular file is written through, as a
// plain write does: /dev/null stays a device and swallows the script.
TEST_F(RunScript, SymbolicLinkToADeviceIsWrittenThrough) {
#ifdef _WIN32
  GTEST_SKIP() << testsupport::kNoSymbolicLink;
#else
  fs::create_directories("kvel.dir/top");
  ASSERT_EQ(0, ::symlink("/dev/null", "kvel.dir/top/kvel_script.tcl"));
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  EXPECT_TRUE(fs::is_symlink("kvel.dir/top/kvel_script.tcl"));
  struct stat status;
  ASSERT_EQ(0, ::stat("/dev/null", &status));
  EXPECT_TRUE(S_ISCHR(status.st_mode));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
#endif
}

// A script with a second name (a hard link) is written in place, so that
// both names see the new script, as they do after a plain write.
TEST_F(RunScript, HardLinkedScriptIsWrittenInPlace) {
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  ASSERT_TRUE(testsupport::makeHardLink("kvel.dir/top/kvel_script.tcl", "second.tcl"));
#ifdef _WIN32
  KVEL::writeRunScript(options_, "top", "{top} -tp -autoloadwcfg");
#else
  struct stat before, after;
  ASSERT_EQ(0, ::stat("second.tcl", &before));
  KVEL::writeRunScript(options_, "top", "{top} -tp -autoloadwcfg");
  ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &after));
  EXPECT_EQ(before.st_ino, after.st_ino);
#endif
  EXPECT_EQ(onDisk("kvel {top} -tp -autoloadwcfg\n"), readFile("second.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
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

// A script a plain write could not open (no write permission; on Windows the
// read-only attribute) is left as it is, attribute and all, in a writable folder.
TEST_F(RunScript, ReadOnlyScriptIsLeftAsItIs) {
#ifndef _WIN32
  if (::geteuid() == 0)
    GTEST_SKIP() << "permissions do not bind root";
#endif
  KVEL::writeRunScript(options_, "top", "{top} -testplusarg OLD=\xc3\xa9 -autoloadwcfg");
  const std::string old = readFile("kvel.dir/top/kvel_script.tcl");
  ASSERT_EQ(0, ::chmod("kvel.dir/top/kvel_script.tcl", S_IREAD));
  EXPECT_EXIT_1_WITH(KVEL::writeRunScript(options_, "top", "{top} -tp -autoloadwcfg"), kScriptError);
  struct stat status;
  ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &status));
  EXPECT_EQ(0, status.st_mode & S_IWRITE);
  ::chmod("kvel.dir/top/kvel_script.tcl", S_IREAD | S_IWRITE);
  EXPECT_EQ(old, readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

// Windows: a script another process holds open with read and write sharing,
// which blocks its replacement but not a plain write, is written in place.
TEST_F(RunScript, ScriptHeldOpenForWritingIsWrittenInPlace) {
#ifndef _WIN32
  GTEST_SKIP() << "an open file never blocks its replacement on POSIX systems";
#else
  KVEL::writeRunScript(options_, "top", "{top} -autoloadwcfg");
  HANDLE held = CreateFileA("kvel.dir/top/kvel_script.tcl", GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  KVEL::writeRunScript(options_, "top", "{top} -testplusarg \xe4\xb8\xad -autoloadwcfg");
  CloseHandle(held);
  EXPECT_EQ(onDisk("kvel {top} -testplusarg \xe4\xb8\xad -autoloadwcfg\n"),
            readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
#endif
}

// Where only the temporary's longer name passes a limit (POSIX: 255 bytes a
// name, through a symbolic link; Windows: MAX_PATH), the script is written in place.
TEST_F(RunScript, TemporaryNamePastTheLimitWritesInPlace) {
#ifdef _WIN32
  char buffer[MAX_PATH];
  const DWORD here = GetCurrentDirectoryA(MAX_PATH, buffer);
  ASSERT_GT(here, 0u);
  // <here>\kvel.dir/<snapshot>/kvel_script.tcl: 255 characters in all.
  const std::size_t length = 255 - here - std::string("\\kvel.dir//kvel_script.tcl").size();
  ASSERT_LT(length, 200u) << "the test folder's path is too long";
  const std::string snapshot(length, 's'), script = "kvel.dir/" + snapshot + "/kvel_script.tcl";
  const std::string listed = "kvel.dir/" + snapshot;
  const std::vector<std::string> left{"kvel_script.tcl"};
#else
  const std::string snapshot = "top", script(250, 't'), listed = ".";
  const std::vector<std::string> left{"kvel.dir", script};
  fs::create_directories("kvel.dir/top");
  ASSERT_EQ(0, ::symlink(("../../" + script).c_str(), "kvel.dir/top/kvel_script.tcl"));
#endif
  for (const char* text : {"{s} -autoloadwcfg", "{s} -testplusarg \xf0\x9f\x98\x80 -autoloadwcfg"}) {
    KVEL::writeRunScript(options_, snapshot, text);
    EXPECT_EQ(onDisk("kvel " + std::string(text) + "\n"), readFile(script)) << text;
  }
  EXPECT_EQ(left, entries(listed));
}

// Holds a file as a running launch holds its temporary: locked on POSIX, open
// without delete sharing on Windows. Returns what lets it go; empty on failure.
std::function<void()> hold(const std::string& path) {
#ifdef _WIN32
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  return handle == INVALID_HANDLE_VALUE ? nullptr : std::function<void()>([=] { CloseHandle(handle); });
#else
  int fd = ::open(path.c_str(), O_RDONLY);
  return fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ? nullptr : std::function<void()>([=] { ::close(fd); });
#endif
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
