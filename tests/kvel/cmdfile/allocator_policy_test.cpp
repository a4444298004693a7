// A launch that reads a large command file hands the shell the allocator as
// the process started with: glibc still raises its mmap threshold when a
// mapped block is freed, and the user's MALLOC_* settings still hold.
#include <cstdio>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

TEST(AllocatorAtHandOver, IsAsTheProcessStartedWith) {
#if !defined(__linux__) || !defined(__GLIBC__) || defined(KVEL_SANITIZED_BUILD)
  GTEST_SKIP() << "the mmap threshold and mallinfo2 are glibc's, and sanitizers replace malloc";
#else
  const struct {
    std::map<std::string, std::string> environment;
    bool secondMapped;  // a 4 MiB block allocated after a freed one
    bool largeMapped;   // a 64 MiB block
  } cases[] = {
      {{}, false, true},                                           // glibc's defaults
      {{{"MALLOC_MMAP_MAX_", "0"}}, false, false},                 // mapping off
      {{{"MALLOC_MMAP_THRESHOLD_", "1048576"}}, true, true}};     // threshold fixed
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  std::string content;
  for (int i = 0; content.size() < (5u << 20); ++i) content += "-testplusarg V" + std::to_string(i) + "=1\n";
  ws.file("large.txt", content);
  for (const auto& c : cases) {
    testsupport::RunOptions options;
    options.setEnv = c.environment;
    const testsupport::RunResult r = ws.run(HAND_OVER_PROBE_BIN, {"top", "-f", "large.txt"}, options);
    ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
    std::size_t first = 0, second = 0, large = 0;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "%zu %zu %zu", &first, &second, &large), 3) << r.out;
    EXPECT_EQ(second >= (4u << 20), c.secondMapped) << r.out;
    EXPECT_EQ(large >= (64u << 20), c.largeMapped) << r.out;
  }
#endif
}

}  // namespace
