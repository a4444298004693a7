// Dying by a signal: whatever the signal's disposition and mask were, the
// parent sees the process end of that signal; a signal whose default action
// does not end the process gives exit status 128 + its number.
#include "support/signal_death.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

extern "C" void dieInHandler(int signalNumber) { frontend::dieBySignal(signalNumber); }

enum class Before { Default, Ignored, Handled };

TEST(DieBySignal, EndsOfTheSignalWhateverItsDispositionAndMask) {
  // clang-format off
  const struct {
    int signalNumber;
    Before disposition;
    bool blocked;       // blocked before the call (a handler blocks its own signal)
    bool endsBySignal;  // else exit status 128 + signalNumber
  } cases[] = {
      {SIGTERM, Before::Handled, false, true},
      {SIGINT, Before::Handled, false, true},
      {SIGSEGV, Before::Handled, true, true},
      {SIGTERM, Before::Ignored, true, true},
      {SIGHUP, Before::Ignored, false, true},
      {SIGQUIT, Before::Default, true, true},
      {SIGURG, Before::Handled, false, false},
      {SIGCHLD, Before::Ignored, true, false},
  };
  // clang-format on
  for (const auto& c : cases) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      struct sigaction action {};
      ::sigemptyset(&action.sa_mask);
      action.sa_handler = c.disposition == Before::Handled   ? dieInHandler
                          : c.disposition == Before::Ignored ? SIG_IGN
                                                             : SIG_DFL;
      ::sigaction(c.signalNumber, &action, nullptr);
      sigset_t set;
      ::sigemptyset(&set);
      ::sigaddset(&set, c.signalNumber);
      ::sigprocmask(c.blocked ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
      if (c.disposition == Before::Handled && !c.blocked)
        ::raise(c.signalNumber);
      else
        frontend::dieBySignal(c.signalNumber);
      ::_exit(1);  // the handler did not run
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    if (c.endsBySignal) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signalNumber)
          << "signal " << c.signalNumber << " status " << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + c.signalNumber)
          << "signal " << c.signalNumber << " status " << status;
    }
  }
}

}  // namespace
