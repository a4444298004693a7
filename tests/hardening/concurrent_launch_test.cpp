// Many launches of one snapshot in one working directory at the same time,
// with the stand-in shell: each must run a complete script, and the script
// left behind is one complete script.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace {

using testsupport::TempDir;
using testsupport::readFile;
using testsupport::writeFile;

const int kLaunches = 64;

// Starts kvel in dir with stdout and stderr to out_<n>/err_<n>; returns its pid.
pid_t startLaunch(const TempDir& dir, int n) {
  const std::string seed = "SEED=" + std::to_string(n);
  const std::string out = dir.file("out_" + std::to_string(n));
  const std::string err = dir.file("err_" + std::to_string(n));
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // Child: only async-signal-safe calls until exec.
  if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
  const int in = ::open("/dev/null", O_RDONLY);
  const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0)
    ::_exit(126);
  ::execl(KVEL_BIN, KVEL_BIN, "top", "-testplusarg", seed.c_str(), "-nolog",
          static_cast<char*>(nullptr));
  ::_exit(127);
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (text.compare(start, prefix.size(), prefix) == 0)
      lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

TEST(ConcurrentLaunches, OneSnapshotOneDirectory) {
  TempDir dir;
  writeFile(dir.file("kvel.dir/top/kvelk.exe"), "");

  std::vector<pid_t> pids;
  for (int n = 0; n < kLaunches; ++n) {
    const pid_t pid = startLaunch(dir, n);
    ASSERT_GT(pid, 0) << "fork failed";
    pids.push_back(pid);
  }
  std::vector<int> statuses;
  for (pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
    statuses.push_back(status);
  }

  // The requests the launches wrote: what the shell prints for each script.
  std::set<std::string> requests;
  std::set<std::string> scripts;
  for (int n = 0; n < kLaunches; ++n) {
    requests.insert("kvel: top -testplusarg SEED=" + std::to_string(n) + " -autoloadwcfg");
    scripts.insert("kvel {top} -testplusarg SEED=" + std::to_string(n) + " -autoloadwcfg\n");
  }
  for (int n = 0; n < kLaunches; ++n) {
    const std::string out = readFile(dir.file("out_" + std::to_string(n)));
    const std::string err = readFile(dir.file("err_" + std::to_string(n)));
    ASSERT_TRUE(WIFEXITED(statuses[n])) << "launch " << n << " signalled";
    EXPECT_EQ(0, WEXITSTATUS(statuses[n])) << "launch " << n << ": " << out << err;
    // Each shell sourced exactly one complete script, written by some launch
    // (not necessarily its own: the script file is shared).
    const std::vector<std::string> calls = linesStartingWith(out, "kvel: ");
    ASSERT_EQ(1u, calls.size()) << "launch " << n << ": " << out;
    EXPECT_EQ(1u, requests.count(calls[0])) << "launch " << n << ": " << calls[0];
  }
  EXPECT_EQ(1u, scripts.count(readFile(dir.file("kvel.dir/top/kvel_script.tcl"))));
  // No temporary script is left behind, and no log was written.
  std::vector<std::string> left;
  for (const auto& entry : boost::filesystem::directory_iterator(dir.file("kvel.dir/top")))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), left);
  EXPECT_FALSE(testsupport::fileExists(dir.file("kvel.log")));
}

}  // namespace
