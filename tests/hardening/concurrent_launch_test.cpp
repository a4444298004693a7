// Many launches of one snapshot at the same time, with the stand-in shell:
// in one working directory, and from folders of their own that share one
// kvel.dir through a symbolic link. Every shell must run its own launch's
// options, and afterwards only the record of one complete launch is left.
#include <algorithm>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <boost/filesystem.hpp>

#include "tests/support/test_process.h"

namespace {

using testsupport::readFile;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::writeFile;

const int kLaunches = 64;

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    if (text.compare(start, prefix.size(), prefix) == 0)
      lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The seed of launch n: beyond ASCII, so that a value that is cut or
// re-encoded on the way shows.
std::string seed(int n) { return "SEED=" + std::to_string(n) + "\xc3\xa9\xe4\xb8\xad"; }

struct Layout {
  const char* name;
  bool ownFolders;  // each launch in a folder of its own, kvel.dir a link
};

class ConcurrentLaunches : public ::testing::TestWithParam<Layout> {};

TEST_P(ConcurrentLaunches, EveryShellRunsItsOwnOptions) {
  const Layout& layout = GetParam();
  if (layout.ownFolders && testsupport::kWindows)
    GTEST_SKIP() << "Wine makes no symbolic links";
  TempDir dir;
  writeFile(dir.file("kvel.dir/top/kvelk.exe"), "");
  std::vector<std::string> folders(kLaunches, dir.path());
  if (layout.ownFolders) {
    for (int n = 0; n < kLaunches; ++n) {
      folders[n] = dir.file("run" + std::to_string(n));
      boost::filesystem::create_directory(folders[n]);
      boost::filesystem::create_symlink(dir.file("kvel.dir"), folders[n] + "/kvel.dir");
    }
  }

  // One thread per launch, so that all of them run at once.
  std::vector<RunResult> results(kLaunches);
  std::vector<std::thread> threads;
  for (int n = 0; n < kLaunches; ++n) {
    threads.emplace_back([&folders, &results, n] {
      testsupport::RunOptions options;
      options.cwd = folders[n];
      results[n] = testsupport::run(KVEL_BIN, {"top", "-testplusarg", seed(n), "-nolog"}, options);
    });
  }
  for (std::thread& thread : threads)
    thread.join();

  int others = 0;
  for (int n = 0; n < kLaunches; ++n) {
    const RunResult& r = results[n];
    ASSERT_FALSE(r.signaled) << "launch " << n << " signalled";
    EXPECT_EQ(0, r.exitStatus) << "launch " << n << ": " << r.out << r.err;
    const std::vector<std::string> calls = linesStartingWith(r.out, "kvel: ");
    ASSERT_EQ(1u, calls.size()) << "launch " << n << ": " << r.out << r.err;
    if (calls[0] != "kvel: top -testplusarg " + seed(n) + " -autoloadwcfg") {
      ++others;
      ADD_FAILURE() << "launch " << n << " ran " << calls[0];
    }
  }
  if (others)
    std::cout << others << " of " << kLaunches << " launches ran another's options\n";

  // The record is one launch's whole script; no launch's own script, no
  // temporary and no log is left.
  const std::string record = readFile(dir.file("kvel.dir/top/kvel_script.tcl"));
  bool whole = false;
  for (int n = 0; n < kLaunches; ++n)
    whole = whole || record == testsupport::onDisk("kvel {top} -testplusarg " + seed(n) +
                                                   " -autoloadwcfg\n");
  EXPECT_TRUE(whole) << record;
  std::vector<std::string> left;
  for (const auto& entry : boost::filesystem::directory_iterator(dir.file("kvel.dir/top")))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), left);
  for (const std::string& folder : folders)
    EXPECT_FALSE(testsupport::fileExists(folder + "/kvel.log")) << folder;
}

const Layout kLayouts[] = {
    {"OneFolder", false},
    {"OwnFoldersSharingKvelDirThroughALink", true},
};

INSTANTIATE_TEST_SUITE_P(Layouts, ConcurrentLaunches, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
