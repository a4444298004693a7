// Replacing the run script keeps what a plain write of it gives: where no
// temporary file can be made beside the script it is written in place, and a
// launch killed while the script is written or swapped in leaves the complete
// old script or the complete new one, and no temporary file.
#include <fcntl.h>
#include <stdio.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

using testsupport::ownScriptShown;
using testsupport::LaunchWorkspace;
using testsupport::RunResult;
using testsupport::readFile;
using testsupport::writeFile;

const std::string kScript = "kvel.dir/top/kvel_script.tcl";
const std::string kScriptError = "ERROR: Unable to create script file kvel.dir/top/kvel_script.tcl.\n";
const std::string kReadOnly =
    "ERROR: Cannot write kvel.dir/top/kvel_script.tcl: Permission denied.\n" + kScriptError;

std::string findProgram(const std::string& name) {
  for (const char* dir : {"/usr/bin", "/bin", "/usr/sbin", "/sbin"}) {
    std::string path = std::string(dir) + "/" + name;
    if (::access(path.c_str(), X_OK) == 0)
      return path;
  }
  return "";
}

// Runs kvel_double in the workspace as a user whom file permissions bind:
// this process's user when it is not root, otherwise "nobody" through
// setpriv. An empty `skip` means it could be set up; otherwise it says why not.
class UnprivilegedLaunch {
public:
  explicit UnprivilegedLaunch(const LaunchWorkspace& ws) : ws_(ws) {
    if (::geteuid() != 0)
      return;
    const struct passwd* nobody = ::getpwnam("nobody");
    setpriv_ = findProgram("setpriv");
    if (!nobody) {
      skip = "no unprivileged account \"nobody\" to run as";
    } else if (setpriv_.empty()) {
      skip = "setpriv (util-linux) is not installed";
    } else {
      uid_ = std::to_string(nobody->pw_uid);
      gid_ = std::to_string(nobody->pw_gid);
      // The account must reach the program and the workspace.
      ::chmod(ws.path("").c_str(), 0755);
      const RunResult probe =
          ws.run(setpriv_, prefix({"/bin/sh", "-c", "test -x \"$0\" && cd \"$1\"", KVEL_DOUBLE_BIN,
                                   ws.path("")}));
      if (probe.exitStatus != 0)
        skip = "user nobody cannot run " + std::string(KVEL_DOUBLE_BIN) +
               " or enter the workspace: " + probe.err;
    }
  }

  // The directory is made unwritable for the launching user: owned by root
  // with mode 0755 when dropping to nobody, mode 0555 otherwise.
  void lockDirectory(const std::string& relative) const {
    ::chmod(ws_.path(relative).c_str(), ::geteuid() == 0 ? 0755 : 0555);
  }
  void unlockDirectory(const std::string& relative) const {
    ::chmod(ws_.path(relative).c_str(), 0755);
  }
  // The file belongs to the launching user.
  void own(const std::string& relative) const {
    if (!setpriv_.empty())
      ::chown(ws_.path(relative).c_str(), std::stoul(uid_), std::stoul(gid_));
  }
  // A file the launching user may write (or not).
  void fileWritable(const std::string& relative, bool writable) const {
    ::chmod(ws_.path(relative).c_str(), writable ? 0666 : 0444);
  }

  RunResult run(const std::vector<std::string>& args) const {
    // The double's call record must be writable for the user too.
    if (!testsupport::fileExists(ws_.record()))
      writeFile(ws_.record(), "");
    ::chmod(ws_.record().c_str(), 0666);
    if (setpriv_.empty())
      return ws_.run(KVEL_DOUBLE_BIN, args);
    std::vector<std::string> command{KVEL_DOUBLE_BIN};
    command.insert(command.end(), args.begin(), args.end());
    return ws_.run(setpriv_, prefix(command));
  }

  std::string skip;

private:
  std::vector<std::string> prefix(std::vector<std::string> command) const {
    std::vector<std::string> full{"--reuid=" + uid_, "--regid=" + gid_, "--clear-groups"};
    full.insert(full.end(), command.begin(), command.end());
    return full;
  }

  const LaunchWorkspace& ws_;
  std::string setpriv_;
  std::string uid_, gid_;
};

ino_t inodeOf(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

// The snapshot directory is not writable but the script is: the script is
// written in place (same file, same inode), the shell sources the launch's
// own script in the private folder, and no temporary file is left. Where the script cannot be
// written either, or does not exist yet, the launch fails as before, with the script as it was; so
// it does for a read-only script even in a directory open to all.
TEST(ScriptInPlace, UnwritableSnapshotDirectory) {
  const std::string old = "kvel {top} -testplusarg OLD=1 -autoloadwcfg\n";
  const struct {
    const char* what;
    bool scriptExists, scriptWritable, directoryLocked;
    int status;
    std::string out, script;
  } cases[] = {
      {"writable script", true, true, true, 0, "", "kvel {top} -testplusarg NEW=2 -autoloadwcfg\n"},
      {"read-only script", true, false, true, 1, kReadOnly, old},
      {"no script", false, false, true, 1,
       "ERROR: Cannot write kvel.dir/top/kvel_script.tcl: Permission denied.\n" + kScriptError, ""},
      {"read-only script, writable directory", true, false, false, 1, kReadOnly, old},
  };
  for (const auto& c : cases) {
    LaunchWorkspace ws;
    ws.kernel("top");
    if (c.scriptExists)
      ws.file(kScript, old);
    UnprivilegedLaunch user(ws);
    if (!user.skip.empty())
      GTEST_SKIP() << user.skip;
    if (c.scriptExists)
      user.fileWritable(kScript, c.scriptWritable);
    if (c.directoryLocked) {
      user.lockDirectory("kvel.dir/top");
    } else {  // the user's own script in a folder open to all
      ::chmod(ws.path("kvel.dir/top").c_str(), 0777);
      user.own(kScript);
    }
    const ino_t before = inodeOf(ws.path(kScript));

    const RunResult r = user.run({"top", "-testplusarg", "NEW=2"});
    user.unlockDirectory("kvel.dir/top");
    ASSERT_FALSE(r.signaled) << c.what << ": signal " << r.signal;
    EXPECT_EQ(c.status, r.exitStatus) << c.what << ": " << r.err;
    EXPECT_EQ(c.out, r.out) << c.what;
    if (c.scriptExists) {
      EXPECT_EQ(c.script, ws.read(kScript)) << c.what;
      EXPECT_EQ(before, inodeOf(ws.path(kScript))) << c.what;
      EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), ws.list("kvel.dir/top"))
          << c.what;
    } else {
      EXPECT_EQ(std::vector<std::string>{"kvelk.exe"}, ws.list("kvel.dir/top")) << c.what;
    }
    EXPECT_EQ(c.status == 0 ? 1u : 0u, ws.shellCalls().size()) << c.what;
    // The shell sources the launch's own script, in the private folder,
    // never the record.
    if (c.status == 0 && ws.shellCalls().size() == 1) {
      EXPECT_EQ("{<own>}", ownScriptShown(ws.shellCalls()[0].at(7))) << c.what;
    }
  }
}

// No free inodes: on a file system that has no inode left for a temporary
// file (a tmpfs made for the test in a private mount namespace), an existing
// script is written in place; without one the launch fails with the script
// message.
TEST(ScriptInPlace, NoFreeInodes) {
  const std::string unshare = findProgram("unshare");
  if (unshare.empty())
    GTEST_SKIP() << "unshare (util-linux) is not installed";
  LaunchWorkspace ws;
  ws.file("mnt/keep");
  // Inside the namespace: mount, fill every inode (root, kvel.dir, top,
  // kernel and, with an old script, the script), launch, then print the
  // status, the script and the directory, since the mount goes with the
  // namespace. Status 42: mounting is not allowed here.
  const std::string script =
      "mount -t tmpfs -o size=8m,nr_inodes=$2 tmpfs \"$1\" 2>/dev/null || exit 42; cd \"$1\" &&"
      " mkdir -p kvel.dir/top && : >kvel.dir/top/kvelk.exe &&"
      " if [ \"$2\" = 5 ]; then echo old >kvel.dir/top/kvel_script.tcl; fi &&"
      " df -i . | tail -n 1 | awk '{print \"free=\" $4}' &&"
      " \"$0\" top -testplusarg NEW=2; echo \"status=$?\"; cat kvel.dir/top/kvel_script.tcl 2>/dev/null;"
      " ls kvel.dir/top";
  const struct {
    const char* inodes;
    std::string out;
  } cases[] = {
      {"5",
       "free=0\nstatus=0\nkvel {top} -testplusarg NEW=2 -autoloadwcfg\n"
       "kvel_script.tcl\nkvelk.exe\n"},
      {"4", "free=0\nERROR: Cannot write kvel.dir/top/kvel_script.tcl: No space left on device.\n" +
                kScriptError + "status=1\nkvelk.exe\n"},
  };
  for (const auto& c : cases) {
    const RunResult r = ws.run(unshare, {"-m", "/bin/sh", "-c", script, KVEL_DOUBLE_BIN,
                                         ws.path("mnt"), c.inodes});
    if (r.exitStatus == 42)
      GTEST_SKIP() << "no private mount namespace with a tmpfs here: " << r.err;
    EXPECT_EQ(0, r.exitStatus) << r.err;
    EXPECT_EQ(c.out, r.out) << c.inodes << " inodes";
  }
}

// Starts kvel_double in `dir` with its output discarded and without core
// files (SIGQUIT would leave one); returns its process id.
pid_t startLaunch(const std::string& dir, const std::vector<std::string>& args) {
  std::vector<std::string> words{KVEL_DOUBLE_BIN};
  words.insert(words.end(), args.begin(), args.end());
  pid_t pid = ::fork();
  if (pid != 0)
    return pid;
  std::vector<char*> argv;
  for (std::string& w : words)
    argv.push_back(&w[0]);
  argv.push_back(nullptr);
  struct rlimit none = {0, 0};
  ::setrlimit(RLIMIT_CORE, &none);
  int null = ::open("/dev/null", O_RDWR);
  ::dup2(null, 1);
  ::dup2(null, 2);
  for (const char* control : {"ZEKDOUBLE_RECORD", "ZEKDOUBLE_STATUS", "ZEKDOUBLE_THROW",
                              "ZEKDOUBLE_EVENT", "ZEKDOUBLE_FAIL", "ZEKDOUBLE_FAULT"})
    ::unsetenv(control);
  sigset_t none_blocked;
  ::sigemptyset(&none_blocked);
  ::sigprocmask(SIG_SETMASK, &none_blocked, nullptr);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
    ::signal(s, SIG_DFL);
  if (::chdir(dir.c_str()) == 0)
    ::execv(argv[0], argv.data());
  ::_exit(127);
}

// Waits until a temporary script appears in the watched directory (or the
// launch ends); true when one appeared.
bool waitForTemporary(int watch, pid_t pid) {
  char buffer[4096] __attribute__((aligned(__alignof__(struct inotify_event))));
  for (int rounds = 0; rounds < 500; ++rounds) {
    struct pollfd p = {watch, POLLIN, 0};
    if (::poll(&p, 1, 10) > 0) {
      ssize_t length = ::read(watch, buffer, sizeof buffer);
      for (ssize_t at = 0; at < length;) {
        const struct inotify_event* e = reinterpret_cast<const struct inotify_event*>(buffer + at);
        if (e->len > 0 && std::strncmp(e->name, ".~kvel.", 7) == 0)
          return true;
        at += static_cast<ssize_t>(sizeof(struct inotify_event) + e->len);
      }
    }
    siginfo_t info;
    info.si_pid = 0;
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid)
      return false;
  }
  return false;
}

// Launches writing a 2 MB script are killed with SIGINT, SIGTERM, SIGHUP and
// SIGQUIT in turn, from the moment their temporary file appears to 1.6
// milliseconds later. Every time the script is the complete old one or the
// complete new one, no temporary file remains, and a launch killed before it
// finished dies of the signal it got.
TEST(ScriptReplacementInterrupted, KilledLaunchesLeaveOneWholeScript) {
  LaunchWorkspace ws;
  ws.kernel("top");
  const std::string value(500000, 'v');
  std::string contents[2];
  for (int k = 0; k < 2; ++k) {
    std::string file, command = "{top}";
    for (int i = 0; i < 4; ++i) {
      std::string arg = "K" + std::to_string(k) + "_" + std::to_string(i) + "=" + value;
      file += "-testplusarg " + arg + "\n";
      command += " -testplusarg " + arg;
    }
    ws.file("opts" + std::to_string(k) + ".f", file);
    contents[k] = "kvel " + command + " -autoloadwcfg\n";
  }
  const RunResult first = ws.run(KVEL_DOUBLE_BIN, {"top", "-f", "opts0.f"});
  ASSERT_EQ(0, first.exitStatus) << first.out << first.err;
  ASSERT_EQ(contents[0], ws.read(kScript));

  int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, ws.path("kvel.dir/top").c_str(), IN_CREATE), 0);

  const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  const int kTries = 100;
  int current = 0, killedBeforeDone = 0, sawTemporary = 0;
  for (int i = 0; i < kTries; ++i) {
    const int next = 1 - current;
    const int signal = kSignals[i % 4];
    pid_t pid = startLaunch(ws.path(""), {"top", "-f", "opts" + std::to_string(next) + ".f"});
    ASSERT_GT(pid, 0);
    if (waitForTemporary(watch, pid))
      ++sawTemporary;
    // From at once to 1.6 ms into the write or the swap.
    std::this_thread::sleep_for(std::chrono::microseconds((i / 4 % 5) * 400));
    ::kill(pid, signal);
    int status = 0;
    ASSERT_EQ(pid, ::waitpid(pid, &status, 0));

    const std::string script = ws.read(kScript);
    const bool old = script == contents[current];
    const bool fresh = script == contents[next];
    ASSERT_TRUE(old || fresh) << "try " << i << ": a torn script of " << script.size() << " bytes";
    // A launch killed after its own script was made leaves it for the next
    // launch's cleaning; a temporary is never left.
    std::vector<std::string> listed = ws.list("kvel.dir/top");
    listed.erase(std::remove_if(listed.begin(), listed.end(),
                                [](const std::string& name) {
                                  return ownScriptShown("/" + name) == "/<own>";
                                }),
                 listed.end());
    ASSERT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), listed)
        << "try " << i << " (signal " << signal << ")";
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(signal, WTERMSIG(status)) << "try " << i;
    } else {
      // The launch ended before the signal came: the new script is in place.
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "try " << i;
      EXPECT_TRUE(fresh) << "try " << i;
    }
    if (WIFSIGNALED(status) && old)
      ++killedBeforeDone;
    if (fresh)
      current = next;
    char drain[4096];
    while (::read(watch, drain, sizeof drain) > 0) {
    }
  }
  ::close(watch);
  const RunResult last = ws.run(KVEL_DOUBLE_BIN, {"top", "-f", "opts0.f"});
  EXPECT_EQ(0, last.exitStatus) << last.out << last.err;
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), ws.list("kvel.dir/top"));
  // The interesting case must really happen: kills that landed while the
  // temporary file existed and before the new script was in place.
  EXPECT_GE(sawTemporary, kTries * 9 / 10);
  EXPECT_GE(killedBeforeDone, kTries / 20) << "of " << kTries << " tries";
  std::cout << killedBeforeDone << " of " << kTries << " launches killed before their script was in place\n";
}

// The old script outlives a new one that does not fit, under a file-size limit
// (ulimit -f in 512-byte blocks, SIGXFSZ at its default) or on a full tmpfs
// with no free inode: the launch ends with the script message and status 1,
// not of a signal, leaving the old script whole in the same file and no
// temporary; written in place, the old content stays until the new fits.
TEST(ScriptLimits, OldScriptOutlivesFileSizeLimitAndFullDisk) {
  const std::string script = R"sh(S=kvel.dir/top/kvel_script.tcl
    [ "$5" = tmpfs ] && { mount -t tmpfs -o size=512k,nr_inodes=6 tmpfs "$1" 2>/dev/null || exit 42; }
    { cd "$1" && mkdir -p kvel.dir/top && : >kvel.dir/top/kvelk.exe && cp "$2" $S || exit
      case $5 in tmpfs) cat /dev/zero >filler 2>/dev/null; df -i . | awk 'END { print "inodes=" $4 }';;
                 link) ln $S second;; esac
      i=$(stat -c %i $S); (ulimit -f $4 && exec "$0" top -f "$3" -nolog); echo "status=$?"
      [ "$(stat -c %i $S)" = "$i" ] && echo "same file"; cat $S; ls kvel.dir/top; } 2>&1 | cat)sh";
  const std::string old = "kvel {top} -testplusarg OLD=\xc3\xa9\xd0\x96\xe4\xb8\xad\xf0\x9f\x98\x80 -autoloadwcfg\n";
  const std::string bigOld = "kvel {top} -testplusarg OLD=" + std::string(8000, 'o') + " -autoloadwcfg\n";
  const std::string big = "BIG=" + std::string(20000, 'b'), small = "NEW=\xd0\x96";
  const struct {
    std::string mode;   // "link": a second name; "tmpfs": a full disk
    const char* limit;  // ulimit -f
    std::string old, plusarg;
    int status;
  } cases[] = {
      {"", "0", old, small, 1},          {"", "8", old, big, 1},
      {"link", "8", old, big, 1},        {"link", "0", old, small, 1},
      {"", "8", old, small, 0},          {"link", "8", old, small, 0},
      {"tmpfs", "unlimited", old, big, 1}, {"tmpfs", "unlimited", bigOld, "NEW=\xe4\xb8\xad", 0},
  };
  const std::string unshare = findProgram("unshare");
  for (const auto& c : cases) {
    if (c.mode == "tmpfs" && unshare.empty())
      GTEST_SKIP() << "unshare (util-linux) is not installed";
    LaunchWorkspace ws;
    ws.file("mnt/keep");
    ws.file("old.tcl", c.old);
    ws.file("opts.f", "-testplusarg " + c.plusarg + "\n");
    std::vector<std::string> args{"-c", script, KVEL_DOUBLE_BIN, ws.path("mnt"), ws.path("old.tcl"),
                                  ws.path("opts.f"), c.limit, c.mode};
    if (c.mode == "tmpfs")
      args.insert(args.begin(), {"-m", "/bin/sh"});
    const RunResult r = ws.run(c.mode == "tmpfs" ? unshare : "/bin/sh", args);
    if (r.exitStatus == 42)
      GTEST_SKIP() << "no private mount namespace with a tmpfs here: " << r.err;
    const std::string reason =
        "ERROR: Cannot write kvel.dir/top/kvel_script.tcl: " +
        std::string(c.mode == "tmpfs" ? "No space left on device" : "File too large") + ".\n";
    EXPECT_EQ(std::string(c.mode == "tmpfs" ? "inodes=0\n" : "") +
                  (c.status ? reason + kScriptError : "") + "status=" + std::to_string(c.status) +
                  "\n" + (c.status || !c.mode.empty() ? "same file\n" : "") +
                  (c.status ? c.old : "kvel {top} -testplusarg " + c.plusarg + " -autoloadwcfg\n") +
                  "kvel_script.tcl\nkvelk.exe\n",
              r.out)
        << c.mode << " ulimit -f " << c.limit << ": " << r.err;
  }
}

// A launch killed with SIGKILL while it writes its temporary file leaves the
// file behind; the next launch removes it.
TEST(ScriptLimits, KilledLaunchTemporaryIsRemovedByTheNext) {
  LaunchWorkspace ws;
  ws.kernel("top");
  ws.file("big.f", "-testplusarg BIG=" + std::string(4000000, 'b') + "\n");
  ASSERT_EQ(0, ws.run(KVEL_DOUBLE_BIN, {"top"}).exitStatus);
  int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, ws.path("kvel.dir/top").c_str(), IN_CREATE), 0);
  for (int i = 0; i < 10 && ws.list("kvel.dir/top").size() < 3; ++i) {
    pid_t pid = startLaunch(ws.path(""), {"top", "-f", "big.f"});
    ASSERT_GT(pid, 0);
    waitForTemporary(watch, pid);
    ::kill(pid, SIGKILL);
    ASSERT_EQ(pid, ::waitpid(pid, nullptr, 0));
  }
  ::close(watch);
  if (ws.list("kvel.dir/top").size() < 3)
    GTEST_SKIP() << "no launch was killed while its temporary file existed in 10 tries";
  const RunResult next = ws.run(KVEL_DOUBLE_BIN, {"top", "-testplusarg", "NEXT=1"});
  EXPECT_EQ(0, next.exitStatus) << next.out << next.err;
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), ws.list("kvel.dir/top"));
  EXPECT_EQ("kvel {top} -testplusarg NEXT=1 -autoloadwcfg\n", ws.read(kScript));
}

// Symbolic links on the way to the script owned by another user ("nobody")
// are not followed, dangling or not: the launch ends with the layer's message
// and status 1 and writes nothing where they point. Root's own are followed.
TEST(ScriptLimits, OtherUsersSymbolicLinks) {
  const struct passwd* nobody = ::getpwnam("nobody");
  if (::geteuid() != 0 || !nobody)
    GTEST_SKIP() << "only root can give a symbolic link to another user (\"nobody\")";
  const auto refused = [](const std::string& path) {
    return "ERROR: A symbolic link on the way to " + path +
           " belongs to another user and is not followed.\n";
  };
  const std::string directoryError =
      refused("kvel.dir/top") + "ERROR: Unable to create kvel working directory kvel.dir/top.\n";
  const struct {
    std::string link;
    const char* points;
    bool nobodyOwns;
    std::string out;
  } cases[] = {
      {"kvel.dir", "real", true, directoryError},
      {"kvel.dir/top", "../real/top", true, directoryError},
      {kScript, "../../victim.txt", true, refused(kScript) + kScriptError},
      {kScript, "../../created.txt", true, refused(kScript) + kScriptError},
      {kScript, "../../victim.txt", false, ""},
  };
  for (const auto& c : cases) {
    LaunchWorkspace ws;
    ws.file("real/top/kvelk.exe");
    ws.file("victim.txt", "precious\n");
    if (c.link == "kvel.dir/top")
      ASSERT_EQ(0, testsupport::makeDirectory(ws.path("kvel.dir")));
    else if (c.link != "kvel.dir")
      ws.kernel("top");
    const std::string what = c.link + " -> " + c.points;
    ASSERT_EQ(0, ::symlink(c.points, ws.path(c.link).c_str())) << what;
    if (c.nobodyOwns) {
      ASSERT_EQ(0, ::lchown(ws.path(c.link).c_str(), nobody->pw_uid, nobody->pw_gid)) << what;
    }
    const RunResult r = ws.run(KVEL_DOUBLE_BIN, {"top", "-testplusarg", "X=1"});
    EXPECT_EQ(c.out.empty() ? 0 : 1, r.exitStatus) << what << ": " << r.err;
    EXPECT_EQ(c.out, r.out) << what;
    EXPECT_EQ(c.out.empty() ? "kvel {top} -testplusarg X=1 -autoloadwcfg\n" : "precious\n",
              ws.read("victim.txt"))
        << what;
    EXPECT_FALSE(testsupport::fileExists(ws.path("created.txt"))) << what;
    EXPECT_FALSE(testsupport::fileExists(ws.path("real/top/kvel_script.tcl"))) << what;
    EXPECT_EQ(c.out.empty() ? 1u : 0u, ws.shellCalls().size()) << what;
  }
}

// A throw-away system account for the length of a test; `skip` says why
// there is none.
class ThrowAwayUser {
public:
  ThrowAwayUser() {
    const std::string useradd = findProgram("useradd");
    if (::geteuid() != 0) {
      skip = "only root can make another user's links race a launch";
      return;
    }
    if (useradd.empty()) {
      skip = "useradd (passwd) is not installed";
      return;
    }
    name_ = "kvelrace" + std::to_string(::getpid());
    const RunResult made = testsupport::run(
        useradd, {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", name_});
    const struct passwd* account = ::getpwnam(name_.c_str());
    if (made.exitStatus != 0 || !account) {
      skip = "cannot add a system user: " + made.err;
      name_.clear();
      return;
    }
    uid = account->pw_uid;
    gid = account->pw_gid;
  }
  ~ThrowAwayUser() {
    if (!name_.empty())
      testsupport::run(findProgram("userdel"), {name_});
  }
  ThrowAwayUser(const ThrowAwayUser&) = delete;
  ThrowAwayUser& operator=(const ThrowAwayUser&) = delete;

  std::string skip;
  uid_t uid = 0;
  gid_t gid = 0;

private:
  std::string name_;
};

// The link race: another user who may write into a folder on the way keeps
// putting a symbolic link of theirs, to a file of the launching user (root)
// or the folder holding it, in place of the script (in turn with a plain
// file) or of a folder on the way (swapped with it), while root launches
// `kvel top -nolog` again and again: at least 1,000 launches or 30 seconds.
// Root's file is never overwritten; a launch that meets the link fails with
// status 1, one that does not runs. Once with the link at the script, at
// the snapshot folder and at kvel.dir.
TEST(LinkRace, OtherUsersSwappedLinkNeverRedirectsALaunch) {
  ThrowAwayUser racer;
  if (!racer.skip.empty())
    GTEST_SKIP() << racer.skip;
  const struct {
    const char* place;   // what the racer swaps, in the folder it may write
    const char* folder;  // that folder, opened to the racer
    const char* victim;  // root's file that a followed link would overwrite
  } cases[] = {
      {"kvel_script.tcl", "kvel.dir/top", "victim/top/kvel_script.tcl"},
      {"top", "kvel.dir", "victim/top/kvel_script.tcl"},
      {"kvel.dir", "", "victim/top/kvel_script.tcl"},
  };
  for (const auto& c : cases) {
    LaunchWorkspace ws;
    ws.kernel("top");
    ws.file("kvel.dir/top/kvel_script.tcl", "kvel {top} -autoloadwcfg\n");
    ws.file("victim/top/kvelk.exe");
    ws.file(c.victim, "precious\n");
    ::chmod(ws.path("victim").c_str(), 0700);
    ::chmod(ws.path("").c_str(), 0755);
    ::chmod(ws.path(c.folder).c_str(), 0777);
    // The link's target: root's file, or the folder holding it.
    const std::string target = ws.path(std::string(c.place) == "kvel_script.tcl" ? c.victim
                                       : std::string(c.place) == "top"        ? "victim/top"
                                                                              : "victim");
    const pid_t swapper = ::fork();
    ASSERT_GE(swapper, 0);
    if (swapper == 0) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(racer.gid) != 0 || ::setuid(racer.uid) != 0 ||
          ::chdir(ws.path(c.folder).c_str()) != 0 || ::symlink(target.c_str(), ".alt") != 0)
        ::_exit(2);
      // The script: a link and a plain file of the racer's renamed onto it in
      // turn. A folder: swapped with the link in one step.
      for (;;) {
        if (std::string(c.place) != "kvel_script.tcl") {
          ::renameat2(AT_FDCWD, c.place, AT_FDCWD, ".alt", RENAME_EXCHANGE);
          continue;
        }
        ::symlink(target.c_str(), ".l");
        ::rename(".l", c.place);
        ::close(::open(".f", O_WRONLY | O_CREAT | O_TRUNC, 0644));
        ::rename(".f", c.place);
      }
    }
    int launches = 0, ran = 0, refused = 0, overwritten = 0;
    const auto start = std::chrono::steady_clock::now();
    while (launches < 1000 && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
      const pid_t pid =
          startLaunch(ws.path(""), {"top", "-nolog", "-testplusarg", "N=" + std::to_string(launches)});
      int status = 0;
      ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
      ++launches;
      ran += WIFEXITED(status) && WEXITSTATUS(status) == 0;
      refused += WIFEXITED(status) && WEXITSTATUS(status) == 1;
      if (ws.read(c.victim) != "precious\n") {
        ++overwritten;
        ws.file(c.victim, "precious\n");
      }
    }
    int swapperStatus = 0;
    ::kill(swapper, SIGKILL);
    ::waitpid(swapper, &swapperStatus, 0);
    ASSERT_TRUE(WIFSIGNALED(swapperStatus)) << c.place << ": the racer could not start";
    EXPECT_EQ(0, overwritten) << c.place << ": of " << launches << " launches";
    EXPECT_EQ(launches, ran + refused) << c.place;
    // The race really ran: both what the racer swaps in and what it swaps out
    // were met.
    EXPECT_GT(ran, 0) << c.place;
    EXPECT_GT(refused, 0) << c.place;
    std::cout << c.place << ": " << launches << " launches, " << ran << " ran, " << refused
              << " met the link, " << overwritten << " overwrote root's file\n";
  }
}

}  // namespace
