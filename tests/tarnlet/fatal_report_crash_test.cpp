// Real faults in the double-linked probe: the report it makes and the death
// by the signal it received.
#include <algorithm>
#include <csignal>

#include <gtest/gtest.h>

#include "tests/tarnlet/probe_child.h"

namespace tarnlettest {
namespace {

using zekdouble::Fields;

const char* const kAccessViolation =
    "The thread tried to read from or write to a virtual address for which it does not have "
    "the appropriate access.\n";

// The last three calls are the report for `line`/`text`.
void expectReportAtEnd(const ProbeRun& run, int line, const std::string& text) {
  ASSERT_GE(run.calls.size(), 3u);
  const std::size_t n = run.calls.size();
  EXPECT_EQ((Fields{"sendScopedMsg", "0", "tarnlet/main.cpp", std::to_string(line), "common",
                    "quindle", "0x1000001", text}),
            run.calls[n - 3]);
  EXPECT_EQ((Fields{"setUserEnabled", "0"}), run.calls[n - 2]);
  EXPECT_EQ((Fields{"sendMsg", "0", "tarnlet/main.cpp", "77", "common", "0x20000000",
                    "@17-238@\n"}),
            run.calls[n - 1]);
}

TEST(FatalReportCrash, EachFaultIsReportedThenKillsBySignal) {
  const struct {
    const char* kind;
    int signal;
    int line;
    const char* text;
  } cases[] = {
      {"segv", SIGSEGV, 38, kAccessViolation},
      {"intdiv", SIGFPE, 62,
       "The thread tried to divide an integer value by an integer divisor of zero.\n"},
      {"fltdiv", SIGFPE, 40, "floating pt divide by zero\n"},
      {"ill", SIGILL, 58, "The thread tried to execute an invalid instruction.\n"},
      {"bus", SIGBUS, 60,
       "The thread tried to access a page that was not present, and the system was unable to "
       "load the page. For example, this exception might occur if a network connection is "
       "lost while running a program over the network.\n"},
      {"stack", SIGSEGV, 72, "The thread used up its stack.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    ProbeRun run = runProbe({"-v"}, {{"ZEKDOUBLE_FAULT", c.kind}, {"ZEKDOUBLE_PROXY", "p:1"}});
    ASSERT_EQ(8u, run.calls.size());
    EXPECT_EQ("GetProxySettings", run.calls[4][0]);
    expectReportAtEnd(run, c.line, c.text);
    EXPECT_TRUE(run.result.signaled);
    EXPECT_EQ(c.signal, run.result.signal);
    EXPECT_EQ("", run.result.out);
  }
}

TEST(FatalReportCrash, FaultBeforeTheMessageManagerStartsIsStillReported) {
  ProbeRun run = runProbe({}, {{"ZEKDOUBLE_FAULT", "segv@init"}});
  ASSERT_EQ(4u, run.calls.size());
  EXPECT_EQ("init", run.calls[0][0]);
  expectReportAtEnd(run, 38, kAccessViolation);
  EXPECT_TRUE(run.result.signaled);
  EXPECT_EQ(SIGSEGV, run.result.signal);
}

TEST(FatalReportCrash, FailingReportCallsDoNotChangeHowTheProcessDies) {
  ProbeRun run = runProbe({}, {{"ZEKDOUBLE_FAULT", "segv"},
                               {"ZEKDOUBLE_FAIL", "sendScopedMsg,setUserEnabled"}});
  expectReportAtEnd(run, 38, kAccessViolation);
  EXPECT_TRUE(run.result.signaled);
  EXPECT_EQ(SIGSEGV, run.result.signal);
}

TEST(FatalReportCrash, FaultInsideTheReportKillsWithoutLooping) {
  ProbeRun run = runProbe({}, {{"ZEKDOUBLE_FAULT", "intdiv,segv@setUserEnabled"}});
  ASSERT_FALSE(run.calls.empty());
  EXPECT_EQ("setUserEnabled", run.calls.back()[0]);
  const std::vector<std::string> ops = operations(run);
  EXPECT_EQ(1, std::count(ops.begin(), ops.end(), "sendScopedMsg"));
  EXPECT_TRUE(run.result.signaled);
  EXPECT_EQ(SIGSEGV, run.result.signal);
}

TEST(FatalReportCrash, HangingReportIsCutShortAndTheProcessStillDiesBySignal) {
  // timeout(1) passes the child's death signal on and ends a real hang with 124.
  ProbeRun run = runProbe({}, {{"ZEKDOUBLE_FAULT", "fltdiv,hang@sendScopedMsg"}},
                          TARNLET_DOUBLE_BIN, {"/usr/bin/timeout", "-s", "KILL", "60"});
  ASSERT_FALSE(run.calls.empty());
  EXPECT_EQ("sendScopedMsg", run.calls.back()[0]);
  EXPECT_TRUE(run.result.signaled) << "exit status " << run.result.exitStatus;
  EXPECT_EQ(SIGFPE, run.result.signal);
}

}  // namespace
}  // namespace tarnlettest
