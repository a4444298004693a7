#include "support/fs/interrupt_guard.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

#include "support/signal_death.h"

namespace KVEL {
namespace fs {

namespace {

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const int kInterruptCount = sizeof kInterrupts / sizeof kInterrupts[0];

// Read by the signal handler: the file to remove, or none.
volatile int guardedFolder = -1;
const char* volatile guardedName = nullptr;

// Removes the guarded file and ends the process of the same signal, with
// async-signal-safe calls only.
extern "C" void removeGuardedAndDie(int signal) {
  const char* name = guardedName;
  if (name)
    ::unlinkat(guardedFolder, name, 0);
  frontend::dieBySignal(signal);
}

struct sigaction previousAction[kInterruptCount], previousFileSize;
bool installed[kInterruptCount], fileSizeChanged = false;
sigset_t previousMask;
int holds = 0;

}  // namespace

void catchInterrupts() {
  holdInterrupts();
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = removeGuardedAndDie;
  ::sigemptyset(&action.sa_mask);
  for (int signal : kInterrupts)
    ::sigaddset(&action.sa_mask, signal);
  for (int i = 0; i < kInterruptCount; ++i) {
    installed[i] = false;
    if (::sigaction(kInterrupts[i], nullptr, &previousAction[i]) != 0)
      continue;
    // An interrupt that is ignored stays so.
    if (!(previousAction[i].sa_flags & SA_SIGINFO) && previousAction[i].sa_handler == SIG_IGN)
      continue;
    installed[i] = ::sigaction(kInterrupts[i], &action, nullptr) == 0;
  }
  struct sigaction ignore;
  std::memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  ::sigemptyset(&ignore.sa_mask);
  fileSizeChanged = ::sigaction(SIGXFSZ, &ignore, &previousFileSize) == 0;
  resumeInterrupts();
}

void releaseInterrupts() {
  holdInterrupts();
  guard(nullptr, nullptr);
  for (int i = 0; i < kInterruptCount; ++i)
    if (installed[i])
      ::sigaction(kInterrupts[i], &previousAction[i], nullptr);
  if (fileSizeChanged)
    ::sigaction(SIGXFSZ, &previousFileSize, nullptr);
  resumeInterrupts();
}

bool interruptWaiting() { return false; }

void guard(const CheckedFolder* folder, const char* name) {
  guardedFolder = folder ? static_cast<int>(folder->handle()) : -1;
  guardedName = name;
}

void holdInterrupts() {
  if (holds++ > 0)
    return;
  sigset_t set;
  ::sigemptyset(&set);
  for (int signal : kInterrupts)
    ::sigaddset(&set, signal);
  ::sigprocmask(SIG_BLOCK, &set, &previousMask);
}

void resumeInterrupts() {
  if (--holds == 0)
    ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
}

}  // namespace fs
}  // namespace KVEL
