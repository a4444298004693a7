#include "framework/standin/file_size_limit.h"

#include <signal.h>

namespace zekshell {
namespace {

void setDisposition(void (*handler)(int), struct sigaction* previous) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGXFSZ, &action, previous);
}

}  // namespace

// Only the default disposition (end the process) is replaced; a handler the
// program set stays in place, and an ignored signal stays ignored.
FileSizeLimitScope::FileSizeLimitScope() {
  struct sigaction previous = {};
  setDisposition(SIG_IGN, &previous);
  if ((previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler == SIG_DFL)
    changed_ = true;
  else if ((previous.sa_flags & SA_SIGINFO) != 0 || previous.sa_handler != SIG_IGN)
    sigaction(SIGXFSZ, &previous, nullptr);
}

FileSizeLimitScope::~FileSizeLimitScope() {
  if (changed_)
    setDisposition(SIG_DFL, nullptr);
}

}  // namespace zekshell
