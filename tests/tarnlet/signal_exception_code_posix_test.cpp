// The fatal signals, with their codes, mapped to the report's exception codes.
#include "tarnlet/signal_exception_code.h"

#include <csignal>
#include <cstdint>

#include <gtest/gtest.h>

#include "tarnlet/fatal_exception_table.h"

namespace tarnlet {
namespace {

struct SignalCase {
  int signalNumber;
  int signalCode;
  bool stackOverflow;
  std::uint32_t expected;
};

TEST(ExceptionCodeForSignal, MapsSignalAndCodeToTableCode) {
  const SignalCase cases[] = {
      {SIGSEGV, SEGV_MAPERR, false, 0xC0000005u},
      {SIGSEGV, SEGV_ACCERR, false, 0xC0000005u},
      {SIGSEGV, SEGV_MAPERR, true, 0xC00000FDu},
      {SIGSEGV, SEGV_ACCERR, true, 0xC00000FDu},
      // Sent by another process: no fault address to judge, never an overflow.
      {SIGSEGV, SI_USER, true, 0xC0000005u},
      {SIGSEGV, SI_TKILL, false, 0xC0000005u},
      {SIGFPE, FPE_INTDIV, false, 0xC0000094u},
      {SIGFPE, FPE_INTOVF, false, 0xC0000095u},
      {SIGFPE, FPE_FLTDIV, false, 0xC000008Eu},
      {SIGFPE, FPE_FLTOVF, false, 0xC0000091u},
      {SIGFPE, FPE_FLTUND, false, 0xC0000093u},
      {SIGFPE, FPE_FLTRES, false, 0xC000008Fu},
      {SIGFPE, FPE_FLTINV, false, 0xC0000090u},
      {SIGFPE, FPE_FLTSUB, false, kExceptionUnknown},
      {SIGFPE, SI_USER, true, kExceptionUnknown},
      {SIGILL, ILL_PRVOPC, false, 0xC0000096u},
      {SIGILL, ILL_PRVREG, false, 0xC0000096u},
      {SIGILL, ILL_ILLOPC, false, 0xC000001Du},
      {SIGILL, ILL_ILLOPN, false, 0xC000001Du},
      {SIGILL, ILL_BADSTK, true, 0xC000001Du},
      {SIGILL, SI_USER, false, 0xC000001Du},
      {SIGBUS, BUS_ADRALN, false, 0x80000002u},
      {SIGBUS, BUS_ADRERR, false, 0xC0000006u},
      {SIGBUS, BUS_OBJERR, false, 0xC0000006u},
      {SIGBUS, SI_USER, true, kExceptionUnknown},
      {SIGABRT, SI_USER, false, kExceptionUnknown},
      {SIGTERM, SI_USER, true, kExceptionUnknown},
  };
  for (const SignalCase& c : cases) {
    EXPECT_EQ(c.expected, exceptionCodeForSignal(c.signalNumber, c.signalCode, c.stackOverflow))
        << "signal " << c.signalNumber << " code " << c.signalCode << " overflow "
        << c.stackOverflow;
  }
}

}  // namespace
}  // namespace tarnlet
