// Fatal exceptions on POSIX: handlers for the fault signals on an alternate stack.
#include "tarnlet/fatal_exception_install.h"

#include "tarnlet/fatal_exception_report.h"

#include <pthread.h>
#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "support/signal_death.h"
#include "tarnlet/signal_exception_code.h"
#include "tarnlet/stack_overflow.h"

namespace tarnlet {
namespace {

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

// The report runs through the message manager on this stack, so it must hold
// more than a bare handler needs; it is what makes a stack overflow reportable.
const std::size_t kAltStackSize = 256 * 1024;
alignas(16) char gAltStack[kAltStackSize];

// A report still running after this long is abandoned and the process dies.
const unsigned int kReportTimeoutSeconds = 5;

StackBounds gMainStack;
volatile sig_atomic_t gFatalSignal = 0;

StackBounds callingThreadStack() {
  StackBounds bounds;
  pthread_attr_t attr;
  if (::pthread_getattr_np(::pthread_self(), &attr) != 0)
    return bounds;
  void* address = nullptr;
  std::size_t size = 0;
  if (::pthread_attr_getstack(&attr, &address, &size) == 0 && address) {
    bounds.low = reinterpret_cast<std::uintptr_t>(address);
    bounds.high = bounds.low + size;
  }
  ::pthread_attr_destroy(&attr);
  return bounds;
}

std::uintptr_t interruptedStackPointer(void* context) {
  const ucontext_t* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
#elif defined(__i386__)
  return static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_ESP]);
#elif defined(__aarch64__)
  return static_cast<std::uintptr_t>(uc->uc_mcontext.sp);
#else
  (void)uc;
  return 0;
#endif
}

void reportTimedOut(int) { frontend::dieBySignal(gFatalSignal); }

// Not async-signal-safe beyond this point: the report goes through the
// message manager (heap, streams). The process is dying of a synchronous
// fault on its only thread, so nothing else can be disturbed; a report that
// deadlocks is cut short by the alarm.
void fatalSignalHandler(int signalNumber, siginfo_t* info, void* context) {
  gFatalSignal = signalNumber;
  struct sigaction watchdog;
  std::memset(&watchdog, 0, sizeof watchdog);
  watchdog.sa_handler = &reportTimedOut;
  watchdog.sa_flags = SA_ONSTACK;
  sigemptyset(&watchdog.sa_mask);
  ::sigaction(SIGALRM, &watchdog, nullptr);
  ::alarm(kReportTimeoutSeconds);

  bool overflow = signalNumber == SIGSEGV &&
                  isStackOverflowFault(reinterpret_cast<std::uintptr_t>(info->si_addr),
                                       interruptedStackPointer(context), gMainStack);
  fatalExceptionFilter(exceptionCodeForSignal(signalNumber, info->si_code, overflow));
  frontend::dieBySignal(signalNumber);
}

}  // namespace

void installFatalExceptionReport() {
  gMainStack = callingThreadStack();

  stack_t altStack;
  std::memset(&altStack, 0, sizeof altStack);
  altStack.ss_sp = gAltStack;
  altStack.ss_size = kAltStackSize;
  ::sigaltstack(&altStack, nullptr);

  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = &fatalSignalHandler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  // A second fault during the report kills the process outright.
  sigemptyset(&action.sa_mask);
  for (int signalNumber : kFatalSignals)
    sigaddset(&action.sa_mask, signalNumber);
  for (int signalNumber : kFatalSignals)
    ::sigaction(signalNumber, &action, nullptr);
}

}  // namespace tarnlet
