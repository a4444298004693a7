// What a shell sources, no other user can change, and launches that share a
// record never fail because of each other: 200 launches, 16 at a time, of a
// throw-away user, in folders laid out as teams and farms lay them out, some
// while another throw-away user of the same group rewrites every script it
// can reach. Runs as root only (users are made and removed for it).
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace {

using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::writeFile;

const int kLaunches = 200, kAtOnce = 16;
const char kAttack[] = "puts ATTACK\nexit 0\n";

std::string program(const std::string& name) {
  for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"})
    if (::access((std::string(dir) + "/" + name).c_str(), X_OK) == 0)
      return std::string(dir) + "/" + name;
  return "";
}

// A group with two throw-away users in it, removed at the end; `skip` says
// why there are none.
class Team {
public:
  Team() {
    if (::geteuid() != 0) {
      skip = "only root can make the users another user's attack needs";
      return;
    }
    if (program("useradd").empty() || program("groupadd").empty() || program("setpriv").empty()) {
      skip = "useradd, groupadd or setpriv is not installed";
      return;
    }
    group_ = "kvelteam" + std::to_string(::getpid());
    if (testsupport::run(program("groupadd"), {"--system", group_}).exitStatus != 0) {
      skip = "cannot add a group";
      group_.clear();
      return;
    }
    for (const char* role : {"a", "b"}) {
      const std::string name = "kvel" + std::string(role) + std::to_string(::getpid());
      const RunResult made = testsupport::run(
          program("useradd"),
          {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", "-g", group_, name});
      const struct passwd* account = ::getpwnam(name.c_str());
      if (made.exitStatus != 0 || !account) {
        skip = "cannot add a system user: " + made.err;
        return;
      }
      users_.push_back(name);
      uids.push_back(account->pw_uid);
    }
    gid = ::getgrnam(group_.c_str())->gr_gid;
  }
  ~Team() {
    for (const std::string& user : users_)
      testsupport::run(program("userdel"), {user});
    if (!group_.empty())
      testsupport::run(program("groupdel"), {group_});
  }
  Team(const Team&) = delete;
  Team& operator=(const Team&) = delete;

  std::string skip;
  std::vector<uid_t> uids;  // the launching user, then the attacker
  gid_t gid = 0;

private:
  std::string group_;
  std::vector<std::string> users_;
};

// The attacker: until killed, every ".tcl" file in the folders that it can
// open for writing gets its code.
pid_t startAttacker(const Team& team, const std::vector<std::string>& folders) {
  const pid_t pid = ::fork();
  if (pid != 0)
    return pid;
  if (::setgroups(0, nullptr) != 0 || ::setgid(team.gid) != 0 || ::setuid(team.uids[1]) != 0)
    ::_exit(2);
  for (;;) {
    for (const std::string& folder : folders) {
      DIR* listing = ::opendir(folder.c_str());
      while (const struct dirent* entry = listing ? ::readdir(listing) : nullptr) {
        const std::string name = entry->d_name;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".tcl") != 0)
          continue;
        const int fd = ::open((folder + "/" + name).c_str(),
                              O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
          (void)!::write(fd, kAttack, sizeof kAttack - 1);
          ::close(fd);
        }
      }
      if (listing)
        ::closedir(listing);
    }
  }
}

struct Layout {
  const char* name;
  // The snapshot folder: mode and owner (the launching user, or root).
  mode_t folderMode;
  bool userOwnsFolder;
  // The record beforehand: none, the launching user's, or the attacker's
  // (mode 0666); with a second name.
  enum { none, users, attackers } record;
  bool hardLink;
  bool attacker;        // rewrites every script it can reach
  bool namesTaken;      // the private folder's name, taken by the attacker
  bool differentSizes;  // option texts of different lengths
};

std::string seed(int n) { return "SEED=" + std::to_string(n) + "\xc3\xa9\xd0\x96\xe4\xb8\xad"; }

class OtherUsers : public ::testing::TestWithParam<Layout> {};

TEST_P(OtherUsers, NoLaunchRunsAnotherUsersCodeOrOptionsOrFailsSpuriously) {
  const Layout& layout = GetParam();
  Team team;
  if (!team.skip.empty())
    GTEST_SKIP() << team.skip;
  const uid_t user = team.uids[0], attacker = team.uids[1];
  TempDir dir;
  ::chmod(dir.path().c_str(), 0755);
  // The places for private folders: a shared, sticky, root-owned one.
  const std::string tmp = dir.file("tmp"), top = dir.file("work/kvel.dir/top");
  ASSERT_EQ(0, testsupport::makeDirectory(tmp));
  ::chmod(tmp.c_str(), 01777);
  writeFile(top + "/kvelk.exe", "");
  for (const std::string& folder : {dir.file("work"), dir.file("work/kvel.dir"), top}) {
    ::chown(folder.c_str(), layout.userOwnsFolder ? user : 0, team.gid);
    ::chmod(folder.c_str(), folder == top ? layout.folderMode : 02775);
  }
  const std::string record = top + "/kvel_script.tcl";
  if (layout.record != Layout::none) {
    writeFile(record, "kvel {top} -autoloadwcfg\n");
    ::chown(record.c_str(), layout.record == Layout::users ? user : attacker, team.gid);
    ::chmod(record.c_str(), 0666);
  }
  if (layout.hardLink) {
    ASSERT_EQ(0, ::link(record.c_str(), dir.file("work/second.tcl").c_str()));
  }
  const std::string fixed = tmp + "/kvel-" + std::to_string(user);
  if (layout.namesTaken) {
    ASSERT_EQ(0, testsupport::makeDirectory(fixed));
    ::chown(fixed.c_str(), attacker, team.gid);
    ::chmod(fixed.c_str(), 0777);
  }
  const RunResult probe = testsupport::run(
      program("setpriv"), {"--reuid=" + std::to_string(user), "--regid=" + std::to_string(team.gid),
                           "--clear-groups", "/bin/sh", "-c", "test -x \"$0\"", KVEL_BIN});
  if (probe.exitStatus != 0)
    GTEST_SKIP() << "the throw-away user cannot run " << KVEL_BIN;
  const pid_t attack = layout.attacker ? startAttacker(team, {top, tmp, fixed}) : 0;

  std::vector<RunResult> results(kLaunches);
  std::atomic<int> next(0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kAtOnce; ++t)
    threads.emplace_back([&] {
      for (int n = next++; n < kLaunches; n = next++) {
        testsupport::RunOptions options;
        options.cwd = dir.file("work");
        options.setEnv["TMPDIR"] = tmp;
        std::vector<std::string> args{"--reuid=" + std::to_string(user),
                                      "--regid=" + std::to_string(team.gid),
                                      "--clear-groups",
                                      "/bin/sh",
                                      "-c",
                                      "umask 002; exec \"$0\" \"$@\"",
                                      KVEL_BIN,
                                      "top",
                                      "-nolog",
                                      "-testplusarg",
                                      seed(n)};
        if (layout.differentSizes)
          args.insert(args.end(), {"-testplusarg", "PAD=" + std::string(n % 13 * 97, 'p')});
        results[n] = testsupport::run(program("setpriv"), args, options);
      }
    });
  for (std::thread& thread : threads)
    thread.join();
  if (attack > 0) {
    int status = 0;
    ::kill(attack, SIGKILL);
    ::waitpid(attack, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the attacker could not start";
  }

  int foreign = 0, failed = 0;
  for (int n = 0; n < kLaunches; ++n) {
    const RunResult& r = results[n];
    if (r.signaled || r.exitStatus != 0) {
      ++failed;
      ADD_FAILURE() << "launch " << n << ": status " << r.exitStatus << ": " << r.out << r.err;
    } else if (r.out.find("ATTACK") != std::string::npos ||
               r.out.find("kvel: top -testplusarg " + seed(n) + " ") == std::string::npos) {
      ++foreign;
      ADD_FAILURE() << "launch " << n << " ran: " << r.out;
    }
  }
  std::cout << layout.name << ": " << foreign << " of " << kLaunches
            << " ran another's code or options, " << failed << " failed\n";
  // No fresh private folder and no own script is left.
  std::vector<std::string> left;
  if (DIR* listing = ::opendir(tmp.c_str())) {
    while (const struct dirent* entry = ::readdir(listing))
      if (entry->d_name[0] != '.' && tmp + "/" + entry->d_name != fixed)
        left.push_back(entry->d_name);
    ::closedir(listing);
  }
  EXPECT_EQ(std::vector<std::string>{}, left);
  if (!layout.namesTaken) {
    struct stat status;
    ASSERT_EQ(0, ::stat(fixed.c_str(), &status));
    EXPECT_EQ(user, status.st_uid);
    EXPECT_EQ(040700u, status.st_mode & 047777);
    EXPECT_EQ(2u, status.st_nlink);  // empty: "." and its name
  }
}

// clang-format off
const Layout kLayouts[] = {
    // A team folder: setgid, sticky, group-writable; the attacker is in the group.
    {"TeamFolder", 03775, true, Layout::users, false, true, false, false},
    // A shared sticky folder of root's: the record is the attacker's, who
    // also took the private folder's name in the shared temporary folder.
    {"StickyFolderNamesTaken", 01777, false, Layout::attackers, false, true, true, false},
    // A snapshot folder the user cannot create files in, whose record they
    // may write: every launch writes the record in place.
    {"SnapshotFolderClosedToNewFiles", 0755, false, Layout::users, false, false, false, false},
    // A record with a second name (a work area cloned with cp -al), option
    // texts of different lengths: every launch writes it in place.
    {"HardLinkedRecord", 02775, true, Layout::users, true, false, false, true},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Layouts, OtherUsers, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
