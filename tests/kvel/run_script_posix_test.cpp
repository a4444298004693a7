// Run script cases that only make sense on POSIX: permission bits, owners,
// umask, fork, symbolic links, file-size limits and name length limits.
#include "kvel/run_script.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "tests/kvel/run_script_fixture.h"

namespace runscripttest {

std::function<void()> hold(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  return fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ? nullptr : std::function<void()>([=] { ::close(fd); });
}

const char kReadOnlyReason[] = "Permission denied";

bool makeSpecial(const std::string& kind, const std::string& path) {
  if (kind == "fifo")
    return ::mkfifo(path.c_str(), 0600) == 0;
  if (kind == "other user") {
    testsupport::writeFile(path, "someone else's\n");
    if (::geteuid() == 0 && ::chown(path.c_str(), 65534, 65534) == 0)
      return true;
    ::unlink(path.c_str());
    return false;
  }
  testsupport::writeFile(path + ".other", "a file of the user's\n");
  if (kind == "hard link")
    return ::link((path + ".other").c_str(), path.c_str()) == 0;
  const std::string::size_type slash = path.rfind('/');
  return kind == "symlink" &&
         ::symlink(path.substr(slash + 1).append(".other").c_str(), path.c_str()) == 0;
}

namespace {

using testsupport::onDisk;
using testsupport::readFile;
using testsupport::writeFile;

// Replacements, two alive at once, leave the signal dispositions as they
// found them for the shell run afterwards: SIGINT ignored stays ignored and a
// handler for SIGXFSZ stays in place.
TEST_F(RunScript, ReplacementsLeaveTheSignalDispositionsAsFound) {
  const int signals[] = {SIGINT, SIGXFSZ};
  struct sigaction set = {}, saved[2], before[2], after[2];
  for (int i = 0; i < 2; ++i) {
    set.sa_handler = i == 0 ? SIG_IGN : [](int) {};
    ::sigaction(signals[i], &set, &saved[i]);
    ::sigaction(signals[i], nullptr, &before[i]);
  }
  replaceWithTwoAlive();
  for (int i = 0; i < 2; ++i) {
    ::sigaction(signals[i], &saved[i], &after[i]);
    EXPECT_EQ(before[i].sa_handler, after[i].sa_handler) << signals[i];
    EXPECT_EQ(before[i].sa_flags, after[i].sa_flags) << signals[i];
  }
}

TEST_F(RunScript, FileHasTheModeOfAnOrdinaryNewFile) {
  struct stat status;
  mode_t previous = ::umask(027);
  launch("top", "{top} -autoloadwcfg");
  ::umask(previous);
  ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &status));
  EXPECT_EQ(0640u, status.st_mode & 0777u);
}

// A replaced script keeps the permission bits of the one it replaces, as a
// plain write into the existing file does, whatever the mask says.
TEST_F(RunScript, ReplacedScriptKeepsItsMode) {
  struct stat status;
  mode_t previous = ::umask(022);
  for (mode_t mode : {0600u, 0640u, 0755u}) {
    launch("top", "{top} -autoloadwcfg");
    ASSERT_EQ(0, ::chmod("kvel.dir/top/kvel_script.tcl", mode));
    launch("top", "{top} -tp -autoloadwcfg");
    ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &status));
    EXPECT_EQ(mode, status.st_mode & 07777u) << std::oct << mode;
    EXPECT_EQ(onDisk("kvel {top} -tp -autoloadwcfg\n"), readFile("kvel.dir/top/kvel_script.tcl"));
  }
  ::umask(previous);
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

// Run by root (as in CI), the replaced script keeps its owner and group too.
TEST_F(RunScript, ReplacedScriptKeepsItsOwner) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "only root can give a file another owner";
  launch("top", "{top} -autoloadwcfg");
  ASSERT_EQ(0, ::chown("kvel.dir/top/kvel_script.tcl", 65534, 65534));
  launch("top", "{top} -tp -autoloadwcfg");
  struct stat status;
  ASSERT_EQ(0, ::stat("kvel.dir/top/kvel_script.tcl", &status));
  EXPECT_EQ(65534u, status.st_uid);
  EXPECT_EQ(65534u, status.st_gid);
  EXPECT_EQ(onDisk("kvel {top} -tp -autoloadwcfg\n"), readFile("kvel.dir/top/kvel_script.tcl"));
}

// A reader never sees a partly written script while another process keeps
// replacing it with contents of different lengths.
TEST_F(RunScript, ReaderSeesOnlyWholeScripts) {
  const std::string shortText = "{top} -autoloadwcfg";
  const std::string longText = "{top} -testplusarg " + std::string(20000, 'x') + " -autoloadwcfg";
  launch("top", shortText);
  pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    for (int i = 0; i < 300; ++i)
      launch("top", i % 2 ? shortText : longText);
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
}

// A script that is a symbolic link: the file it points to receives the new
// script and the link stays, as a plain write through the link gives.
TEST_F(RunScript, SymbolicLinkIsFollowed) {
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
    launch("top", "{top} -autoloadwcfg");
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
      EXPECT_FALSE(KVEL::isLaunchTemporary(e.path().filename().string()))
          << c.what << ": temporary file left: " << e.path();
  }
}

// A link to a file that does not exist yet creates that file.
TEST_F(RunScript, DanglingSymbolicLinkCreatesItsFile) {
  fs::create_directories("kvel.dir/top");
  ASSERT_EQ(0, ::symlink("../new.tcl", "kvel.dir/top/kvel_script.tcl"));
  launch("top", "{top} -autoloadwcfg");
  EXPECT_TRUE(fs::is_symlink("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ(onDisk("kvel {top} -autoloadwcfg\n"), readFile("kvel.dir/new.tcl"));
}

// A link that leads to itself cannot be written, as with a plain write.
TEST_F(RunScript, SymbolicLinkLoopGivesTheScriptMessage) {
  fs::create_directories("kvel.dir/top");
  ASSERT_EQ(0, ::symlink("kvel_script.tcl", "kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ(std::string("ERROR: Cannot write kvel.dir/top/kvel_script.tcl: Too many levels of "
                        "symbolic links.\n") +
                kScriptError,
            failure("top", "{top}"));
  EXPECT_TRUE(fs::is_symlink("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

// What is not a regular file at the script's place, or where a link of the
// user's own leads, is refused with the reason and the script message, and
// never opened for writing: a FIFO nobody reads would block the launch (or
// swallow the script), a device would take it. It stays what it was.
TEST_F(RunScript, SpecialFilesAreRefused) {
  const std::string script = "kvel.dir/top/kvel_script.tcl";
  const struct {
    const char* what;
    std::function<bool()> make;
    std::string shown;  // the path in the reason
    mode_t type;        // of what stays at `shown`
  } cases[] = {
      {"FIFO", [&] { return ::mkfifo(script.c_str(), 0666) == 0; }, script, S_IFIFO},
      {"socket",
       [&] {
         const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         struct sockaddr_un address = {};
         address.sun_family = AF_UNIX;
         std::snprintf(address.sun_path, sizeof address.sun_path, "%s", script.c_str());
         const bool bound = ::bind(fd, reinterpret_cast<struct sockaddr*>(&address), sizeof address) == 0;
         ::close(fd);
         return bound;
       },
       script, S_IFSOCK},
      {"device node", [&] { return ::mknod(script.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
       script, S_IFCHR},
      {"link to /dev/null", [&] { return ::symlink("/dev/null", script.c_str()) == 0; }, "/dev/null",
       S_IFCHR},
      {"link to a FIFO", [&] { return ::mkfifo("kvel.dir/pipe", 0666) == 0 &&
                                      ::symlink("../pipe", script.c_str()) == 0; },
       "kvel.dir/top/../pipe", S_IFIFO},
  };
  for (const auto& c : cases) {
    fs::remove_all("kvel.dir");
    fs::create_directories("kvel.dir/top");
    if (!c.make()) {
      ASSERT_EQ(std::string("device node"), c.what) << std::strerror(errno);
      continue;  // only root may make a device node
    }
    EXPECT_EQ("ERROR: Cannot write " + c.shown + ": not a regular file.\n" + kScriptError,
              failure("top", "{top} -autoloadwcfg"))
        << c.what;
    struct stat status;
    ASSERT_EQ(0, ::stat(c.shown.c_str(), &status)) << c.what;
    EXPECT_EQ(c.type, status.st_mode & S_IFMT) << c.what;
    EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top")) << c.what;
  }
}

TEST_F(RunScript, UnwritableDirectoryGivesTheScriptMessage) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "permissions do not bind root";
  fs::create_directories("kvel.dir/top");
  ::chmod("kvel.dir/top", 0555);
  EXPECT_EQ(kScriptError, failure("top", "{top}"));
  ::chmod("kvel.dir/top", 0755);
  EXPECT_TRUE(entries("kvel.dir/top").empty());
}

// A write that fails part way (file size limit) is reported, the previous
// script stays whole and the temporary file is removed. Only the soft limit
// is lowered, for the one call, so that it can be restored; the replacement
// itself keeps SIGXFSZ from ending the process.
TEST_F(RunScript, FailedWriteKeepsThePreviousScript) {
  launch("top", "{top} -autoloadwcfg");
  const std::string longText = "{top} -testplusarg " + std::string(5000, 'x');
  struct rlimit saved, lowered;
  ASSERT_EQ(0, ::getrlimit(RLIMIT_FSIZE, &saved));
  lowered = saved;
  lowered.rlim_cur = 1024;
  ASSERT_EQ(0, ::setrlimit(RLIMIT_FSIZE, &lowered));
  const std::string err = failure("top", longText);
  ASSERT_EQ(0, ::setrlimit(RLIMIT_FSIZE, &saved));
  EXPECT_EQ(std::string("ERROR: Cannot write kvel.dir/top/kvel_script.tcl: File too large.\n") +
                kScriptError,
            err);
  EXPECT_EQ(onDisk("kvel {top} -autoloadwcfg\n"), readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

// A script of the longest name a file may have (through a symbolic link):
// the temporary's name does not grow with it, and nothing is left beside it.
TEST_F(RunScript, LongestScriptNameIsWrittenWhole) {
  const std::string snapshot = "top", script(255, 't'), listed = ".";
  const std::vector<std::string> left{"kvel.dir", script};
  fs::create_directories("kvel.dir/top");
  ASSERT_EQ(0, ::symlink(("../../" + script).c_str(), "kvel.dir/top/kvel_script.tcl"));
  expectWrittenWhole(snapshot, script, listed, left);
}

}  // namespace
}  // namespace runscripttest
