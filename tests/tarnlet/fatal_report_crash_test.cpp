// Real faults in the double-linked probe: the report it makes and the death
// by the signal it received (on Windows: the exit code is the exception code).
#include <algorithm>
#include <csignal>
#include <cstdint>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/platform_skips.h"
#include "tests/tarnlet/probe_child.h"

namespace tarnlettest {
namespace {

using zekdouble::Fields;

const char* const kAccessViolation =
    "The thread tried to read from or write to a virtual address for which it does not have "
    "the appropriate access.\n";

// The process died of the fault: by `signal` on POSIX systems, with the
// exception code as exit status on Windows.
void expectDiedOf(const testsupport::RunResult& result, int signal, std::uint32_t code) {
  if (testsupport::kWindows) {
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(code, static_cast<std::uint32_t>(result.exitStatus)) << std::hex << result.exitStatus;
  } else {
    EXPECT_TRUE(result.signaled) << "exit status " << result.exitStatus;
    EXPECT_EQ(signal, result.signal);
  }
}

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
    std::uint32_t code;
    int line;
    const char* text;
  } cases[] = {
      {"segv", SIGSEGV, 0xC0000005u, 38, kAccessViolation},
      {"intdiv", SIGFPE, 0xC0000094u, 62,
       "The thread tried to divide an integer value by an integer divisor of zero.\n"},
      {"fltdiv", SIGFPE, 0xC000008Eu, 40, "floating pt divide by zero\n"},
      {"ill", SIGILL, 0xC000001Du, 58, "The thread tried to execute an invalid instruction.\n"},
      {"bus", testsupport::kBusErrorSignal, 0xC0000006u, 60,
       "The thread tried to access a page that was not present, and the system was unable to "
       "load the page. For example, this exception might occur if a network connection is "
       "lost while running a program over the network.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    // Windows has no bus error.
    if (testsupport::kWindows && std::string(c.kind) == "bus")
      continue;
    ProbeRun run = runProbe({"-v"}, {{"ZEKDOUBLE_FAULT", c.kind}, {"ZEKDOUBLE_PROXY", "p:1"}});
    ASSERT_EQ(8u, run.calls.size());
    EXPECT_EQ("GetProxySettings", run.calls[4][0]);
    expectReportAtEnd(run, c.line, c.text);
    expectDiedOf(run.result, c.signal, c.code);
    EXPECT_EQ("", run.result.out);
  }
}

TEST(FatalReportCrash, StackOverflowIsReportedThenKills) {
  if (testsupport::runningUnderWine())
    GTEST_SKIP() << "Wine's exception dispatcher runs out of stack itself before any filter "
                    "is called";
  ProbeRun run = runProbe({"-v"}, {{"ZEKDOUBLE_FAULT", "stack"}, {"ZEKDOUBLE_PROXY", "p:1"}});
  ASSERT_EQ(8u, run.calls.size());
  EXPECT_EQ("GetProxySettings", run.calls[4][0]);
  expectReportAtEnd(run, 72, "The thread used up its stack.\n");
  expectDiedOf(run.result, SIGSEGV, 0xC00000FDu);
  EXPECT_EQ("", run.result.out);
}

TEST(FatalReportCrash, FaultBeforeTheMessageManagerStartsIsStillReported) {
  ProbeRun run = runProbe({}, {{"ZEKDOUBLE_FAULT", "segv@init"}});
  ASSERT_EQ(4u, run.calls.size());
  EXPECT_EQ("init", run.calls[0][0]);
  expectReportAtEnd(run, 38, kAccessViolation);
  expectDiedOf(run.result, SIGSEGV, 0xC0000005u);
}

TEST(FatalReportCrash, FailingReportCallsDoNotChangeHowTheProcessDies) {
  ProbeRun run = runProbe({}, {{"ZEKDOUBLE_FAULT", "segv"},
                               {"ZEKDOUBLE_FAIL", "sendScopedMsg,setUserEnabled"}});
  expectReportAtEnd(run, 38, kAccessViolation);
  expectDiedOf(run.result, SIGSEGV, 0xC0000005u);
}

TEST(FatalReportCrash, FaultInsideTheReportKillsWithoutLooping) {
  ProbeRun run = runProbe({}, {{"ZEKDOUBLE_FAULT", "intdiv,segv@setUserEnabled"}});
  ASSERT_FALSE(run.calls.empty());
  EXPECT_EQ("setUserEnabled", run.calls.back()[0]);
  const std::vector<std::string> ops = operations(run);
  EXPECT_EQ(1, std::count(ops.begin(), ops.end(), "sendScopedMsg"));
  // A second fault inside the report ends the process at once with the
  // second fault's signal; Windows keeps the original exception's code.
  expectDiedOf(run.result, SIGSEGV, 0xC0000094u);
}

TEST(FatalReportCrash, HangingReportIsCutShortAndTheProcessStillDiesBySignal) {
  // A real hang would be killed after 60 s (timedOut).
  ProbeRun run = runProbe({}, {{"ZEKDOUBLE_FAULT", "fltdiv,hang@sendScopedMsg"}},
                          TARNLET_DOUBLE_BIN, {}, 60);
  ASSERT_FALSE(run.calls.empty());
  EXPECT_EQ("sendScopedMsg", run.calls.back()[0]);
  EXPECT_FALSE(run.result.timedOut);
  expectDiedOf(run.result, SIGFPE, 0xC000008Eu);
}

}  // namespace
}  // namespace tarnlettest
