#include "support/signal_death.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace frontend {

void dieBySignal(int signalNumber) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(signalNumber, &action, nullptr);
  sigset_t unblock;
  ::sigemptyset(&unblock);
  ::sigaddset(&unblock, signalNumber);
  ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  ::raise(signalNumber);
  ::_exit(128 + signalNumber);
}

}  // namespace frontend
