// The probe's run with an output that fails every write (/dev/full).
#include <gtest/gtest.h>

#include "tests/tarnlet/probe_child.h"

namespace tarnlettest {
namespace {

const std::vector<std::string> kQuiet{"init", "openHandle", "GetProxySettings", "uninit"};

TEST(ProxyProbeRun, UnwritableOutputIsNotReportedAsSuccess) {
  ProbeRun run = runProbe({}, {{"ZEKDOUBLE_PROXY", "p:1"}}, TARNLET_DOUBLE_BIN,
                          {"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full"});
  EXPECT_EQ(kQuiet, operations(run));
  EXPECT_FALSE(run.result.signaled);
  EXPECT_EQ(1, run.result.exitStatus);
}

}  // namespace
}  // namespace tarnlettest
