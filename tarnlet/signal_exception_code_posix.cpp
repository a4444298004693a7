#include "tarnlet/signal_exception_code.h"

#include <csignal>

#include "tarnlet/fatal_exception_table.h"

namespace tarnlet {

std::uint32_t exceptionCodeForSignal(int signalNumber, int signalCode, bool stackOverflow) {
  switch (signalNumber) {
  case SIGSEGV:
    if (stackOverflow && (signalCode == SEGV_MAPERR || signalCode == SEGV_ACCERR))
      return kExceptionStackOverflow;
    return kExceptionAccessViolation;
  case SIGFPE:
    switch (signalCode) {
    case FPE_INTDIV: return kExceptionIntDivideByZero;
    case FPE_INTOVF: return kExceptionIntOverflow;
    case FPE_FLTDIV: return kExceptionFltDivideByZero;
    case FPE_FLTOVF: return kExceptionFltOverflow;
    case FPE_FLTUND: return kExceptionFltUnderflow;
    case FPE_FLTRES: return kExceptionFltInexactResult;
    case FPE_FLTINV: return kExceptionFltInvalidOperation;
    default: return kExceptionUnknown;
    }
  case SIGILL:
    if (signalCode == ILL_PRVOPC || signalCode == ILL_PRVREG)
      return kExceptionPrivInstruction;
    return kExceptionIllegalInstruction;
  case SIGBUS:
    switch (signalCode) {
    case BUS_ADRALN: return kExceptionDatatypeMisalignment;
    case BUS_ADRERR:
    case BUS_OBJERR: return kExceptionInPageError;
    default: return kExceptionUnknown;
    }
  default:
    return kExceptionUnknown;
  }
}

}  // namespace tarnlet
