// A launch that reads a large command file hands the shell the allocator as
// the process started with: glibc still raises its mmap threshold when a
// mapped block is freed (so the shell reuses freed large blocks instead of
// mapping them anew each time), and the user's MALLOC_* settings still hold.
#include <cstdio>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

#if defined(__linux__) && defined(__GLIBC__) && !defined(KVEL_SANITIZED_BUILD)

struct PolicyCase {
  const char* title;
  std::map<std::string, std::string> environment;
  bool secondMapped;  // the 4 MiB block after a freed one is mapped apart
  bool largeMapped;   // the 64 MiB block is mapped apart
};

void PrintTo(const PolicyCase& c, std::ostream* os) { *os << c.title; }

class AllocatorAtHandOver : public testing::TestWithParam<PolicyCase> {};

TEST_P(AllocatorAtHandOver, IsAsTheProcessStartedWith) {
  const PolicyCase& c = GetParam();
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  std::string content;
  for (int i = 0; content.size() < (5u << 20); ++i) {
    content += "-testplusarg V" + std::to_string(i) + "=1\n";
  }
  ws.file("large.txt", content);
  testsupport::RunOptions options;
  options.setEnv = c.environment;
  const testsupport::RunResult r = ws.run(HAND_OVER_PROBE_BIN, {"top", "-f", "large.txt"}, options);
  ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
  std::size_t first = 0;
  std::size_t second = 0;
  std::size_t large = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "first=%zu second=%zu large=%zu", &first, &second, &large), 3)
      << r.out;
  EXPECT_EQ(second >= (4u << 20), c.secondMapped) << r.out;
  EXPECT_EQ(large >= (64u << 20), c.largeMapped) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AllocatorAtHandOver,
    testing::Values(
        // The first freed mapped block raises the threshold above 4 MiB.
        PolicyCase{"glibc's defaults", {}, false, true},
        // The user turned mapping off: nothing is mapped apart.
        PolicyCase{"MALLOC_MMAP_MAX_=0", {{"MALLOC_MMAP_MAX_", "0"}}, false, false},
        // The user fixed the threshold: the dynamic raise is off.
        PolicyCase{"MALLOC_MMAP_THRESHOLD_", {{"MALLOC_MMAP_THRESHOLD_", "1048576"}}, true, true}));

#else

TEST(AllocatorAtHandOver, IsAsTheProcessStartedWith) {
  GTEST_SKIP() << "the mmap threshold and mallinfo2 are glibc's, and sanitizers replace malloc";
}

#endif

}  // namespace
