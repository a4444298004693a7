// Fatal exceptions on Windows: a top-level unhandled-exception filter.
#include "tarnlet/fatal_exception_install.h"

#include "tarnlet/fatal_exception_report.h"

#include <windows.h>

namespace tarnlet {
namespace {

// A report still running after this long is abandoned and the process dies.
const DWORD kReportTimeoutMilliseconds = 5000;

// Stack kept back on the main thread for the report of a stack overflow
// (the filter runs on the stack of the thread that faulted).
const ULONG kStackGuaranteeBytes = 128 * 1024;

volatile LONG gReporting = 0;
volatile DWORD gExceptionCode = 0;

[[noreturn]] void dieWith(DWORD exceptionCode) {
  ::TerminateProcess(::GetCurrentProcess(), exceptionCode);
  // TerminateProcess does not return for the calling process.
  for (;;)
    ::Sleep(INFINITE);
}

DWORD WINAPI reportWatchdog(void*) {
  ::Sleep(kReportTimeoutMilliseconds);
  dieWith(gExceptionCode);
}

LONG WINAPI topLevelExceptionFilter(EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  // A fault inside the report comes back here: end the process at once with
  // the code of the exception being reported.
  if (::InterlockedCompareExchange(&gReporting, 1, 0) != 0)
    dieWith(gExceptionCode);
  gExceptionCode = code;
  // Started only now: the probe runs on one thread until it faults.
  HANDLE watchdog = ::CreateThread(nullptr, 64 * 1024, &reportWatchdog, nullptr,
                                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (watchdog)
    ::CloseHandle(watchdog);
  return fatalExceptionFilter(code);
}

}  // namespace

void installFatalExceptionReport() {
  ULONG guarantee = kStackGuaranteeBytes;
  ::SetThreadStackGuarantee(&guarantee);
  SetUnhandledExceptionFilter(&topLevelExceptionFilter);
}

}  // namespace tarnlet
