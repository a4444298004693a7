// Many launches of one snapshot in one working directory at the same time,
// with the stand-in shell: each must run a complete script, and the script
// left behind is one complete script.
#include <algorithm>
#include <iostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace {

using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::readFile;
using testsupport::writeFile;

const int kLaunches = 64;

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

  // One thread per launch, so that all of them run at once.
  std::vector<RunResult> results(kLaunches);
  std::vector<std::thread> threads;
  for (int n = 0; n < kLaunches; ++n) {
    threads.emplace_back([&dir, &results, n] {
      testsupport::RunOptions options;
      options.cwd = dir.path();
      results[n] = testsupport::run(
          KVEL_BIN, {"top", "-testplusarg", "SEED=" + std::to_string(n), "-nolog"}, options);
    });
  }
  for (std::thread& thread : threads)
    thread.join();

  // The requests the launches wrote: what the shell prints for each script.
  std::set<std::string> requests;
  std::set<std::string> scripts;
  for (int n = 0; n < kLaunches; ++n) {
    requests.insert("kvel: top -testplusarg SEED=" + std::to_string(n) + " -autoloadwcfg");
    scripts.insert("kvel {top} -testplusarg SEED=" + std::to_string(n) + " -autoloadwcfg\n");
  }
  int collided = 0;
  for (int n = 0; n < kLaunches; ++n) {
    const std::string& out = results[n].out;
    const std::string& err = results[n].err;
    ASSERT_FALSE(results[n].signaled) << "launch " << n << " signalled";
    // Windows cannot open a file while it is being replaced. kvel waits for a
    // script that another launch's shell holds open, but a shell that opens
    // the script at the moment another launch replaces it fails to read it.
    if (testsupport::kWindows && results[n].exitStatus == 1 &&
        out + err ==
            "ERROR: [shell] couldn't read file \"kvel.dir/top/kvel_script.tcl\": "
            "permission denied\n") {
      ++collided;
      continue;
    }
    EXPECT_EQ(0, results[n].exitStatus) << "launch " << n << ": " << out << err;
    // Each shell sourced exactly one complete script, written by some launch
    // (not necessarily its own: the script file is shared).
    const std::vector<std::string> calls = linesStartingWith(out, "kvel: ");
    ASSERT_EQ(1u, calls.size()) << "launch " << n << ": " << out;
    EXPECT_EQ(1u, requests.count(calls[0])) << "launch " << n << ": " << calls[0];
  }
  EXPECT_LT(collided, kLaunches) << "no launch ran";
  if (collided)
    std::cout << collided << " of " << kLaunches << " launches met another's replacement\n";
  std::set<std::string> onDisk;
  for (const std::string& script : scripts)
    onDisk.insert(testsupport::onDisk(script));
  EXPECT_EQ(1u, onDisk.count(readFile(dir.file("kvel.dir/top/kvel_script.tcl"))));
  // No temporary script is left behind, and no log was written.
  std::vector<std::string> left;
  for (const auto& entry : boost::filesystem::directory_iterator(dir.file("kvel.dir/top")))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), left);
  EXPECT_FALSE(testsupport::fileExists(dir.file("kvel.log")));
}

}  // namespace
