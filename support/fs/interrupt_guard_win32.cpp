#include "support/fs/interrupt_guard.h"

#include <windows.h>

namespace KVEL {
namespace fs {

namespace {

// The console's control handler runs on a thread of its own while the main
// thread may be writing the guarded file, which cannot be removed while it
// is open. So the handler only notes the event; the main thread ends the
// process once the file is in place or removed.
volatile LONG consoleEvent = 0;  // the control event that arrived, plus one
HANDLE guardedGone = nullptr;    // set while no file is guarded

BOOL WINAPI deferConsoleEvent(DWORD type) {
  InterlockedExchange(&consoleEvent, static_cast<LONG>(type) + 1);
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT)
    return TRUE;
  // Close, log-off and shut-down end the process when this returns.
  if (guardedGone)
    WaitForSingleObject(guardedGone, 4000);
  return FALSE;
}

}  // namespace

void catchInterrupts() {
  if (!guardedGone)
    guardedGone = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  SetConsoleCtrlHandler(deferConsoleEvent, TRUE);
}

void releaseInterrupts() {
  SetConsoleCtrlHandler(deferConsoleEvent, FALSE);
  guard(nullptr, nullptr);
  if (interruptWaiting())
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

bool interruptWaiting() { return InterlockedCompareExchange(&consoleEvent, 0, 0) != 0; }

void guard(const CheckedFolder*, const char* name) {
  if (!guardedGone)
    return;
  if (name)
    ResetEvent(guardedGone);
  else
    SetEvent(guardedGone);
}

void holdInterrupts() {}
void resumeInterrupts() {}

}  // namespace fs
}  // namespace KVEL
