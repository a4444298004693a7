// The probe's run as the framework sees it, through the test double.
#include <gtest/gtest.h>

#include "tests/tarnlet/probe_child.h"

namespace tarnlettest {
namespace {

using Ops = std::vector<std::string>;
using zekdouble::Fields;

const Ops kQuiet{"init", "openHandle", "GetProxySettings", "uninit"};
const Ops kVerbose{"init", "openHandle", "addScope", "setVisibility", "GetProxySettings",
                   "uninit"};

TEST(ProxyProbeRun, VerboseOnlyForAWholeCaseSensitiveMinusV) {
  const struct {
    std::vector<std::string> args;
    const Ops* expected;
  } cases[] = {
      {{}, &kQuiet},
      {{"-v"}, &kVerbose},
      {{"-v", "x", "y"}, &kVerbose},
      {{"x", "-v", "y"}, &kVerbose},
      {{"x", "y", "-v"}, &kVerbose},
      {{"-v", "-v"}, &kVerbose},
      {{"-V"}, &kQuiet},
      {{"--v"}, &kQuiet},
      {{"-vv"}, &kQuiet},
      {{"-v "}, &kQuiet},
      {{" -v"}, &kQuiet},
      {{"v"}, &kQuiet},
      {{""}, &kQuiet},
      {{"-V", "--v", "-vv", "-verbose"}, &kQuiet},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const std::string& a : c.args)
      shown += "[" + a + "]";
    SCOPED_TRACE(shown);
    ProbeRun run = runProbe(c.args, {{"ZEKDOUBLE_PROXY", "http://proxy:3128"}});
    EXPECT_EQ(*c.expected, operations(run));
    EXPECT_EQ("Proxy=http://proxy:3128\n", run.result.out);
    EXPECT_EQ(0, run.result.exitStatus);
  }
}

TEST(ProxyProbeRun, PassesTheFixedValues) {
  ProbeRun run = runProbe({"-v"});
  ASSERT_EQ(kVerbose, operations(run));
  EXPECT_EQ((Fields{"init", "0", ""}), run.calls[0]);
  EXPECT_EQ((Fields{"openHandle", "0xff7f7ff0", "stdout"}), run.calls[1]);
  EXPECT_EQ((Fields{"addScope", "quindle", "5"}), run.calls[2]);
  EXPECT_EQ((Fields{"setVisibility", "5"}), run.calls[3]);
}

TEST(ProxyProbeRun, InitFailureGivesTwoAndDoesNothingElse) {
  ProbeRun run = runProbe({"-v"}, {{"ZEKDOUBLE_FAIL", "init"}, {"ZEKDOUBLE_PROXY", "p"}});
  EXPECT_EQ(Ops{"init"}, operations(run));
  EXPECT_FALSE(run.result.signaled);
  EXPECT_EQ(2, run.result.exitStatus);
  EXPECT_EQ("", run.result.out);
}

TEST(ProxyProbeRun, FailuresAroundTheQueryAreIgnored) {
  const struct {
    const char* fail;
    Ops expected;
  } cases[] = {
      // A throwing addScope skips setVisibility.
      {"addScope", {"init", "openHandle", "addScope", "GetProxySettings", "uninit"}},
      {"setVisibility", kVerbose},
      {"uninit", kVerbose},
      {"addScope,uninit", {"init", "openHandle", "addScope", "GetProxySettings", "uninit"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fail);
    ProbeRun run = runProbe({"-v"}, {{"ZEKDOUBLE_FAIL", c.fail}, {"ZEKDOUBLE_PROXY", "p:1"}});
    EXPECT_EQ(c.expected, operations(run));
    EXPECT_EQ("Proxy=p:1\n", run.result.out);
    EXPECT_EQ(0, run.result.exitStatus);
  }
}

TEST(ProxyProbeRun, EmptySettingsPrintNothingAndGiveOne) {
  for (bool set : {false, true}) {
    ProbeRun run = set ? runProbe({}, {{"ZEKDOUBLE_PROXY", ""}}) : runProbe({});
    EXPECT_EQ(kQuiet, operations(run));
    EXPECT_EQ("", run.result.out);
    EXPECT_EQ("", run.result.err);
    EXPECT_EQ(1, run.result.exitStatus);
  }
}

TEST(ProxyProbeRun, SettingsArePrintedExactlyOnOneLine) {
  const std::string settings = "http=proxy.example.com:3128; https=10.0.0.1:8443 %s %d";
  ProbeRun run = runProbe({}, {{"ZEKDOUBLE_PROXY", settings}});
  EXPECT_EQ("Proxy=" + settings + "\n", run.result.out);
  EXPECT_EQ("", run.result.err);
  EXPECT_EQ(0, run.result.exitStatus);
}

}  // namespace
}  // namespace tarnlettest
