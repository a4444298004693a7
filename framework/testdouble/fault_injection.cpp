// Real hardware faults (and a hang) on request, so that crash reports can be
// tested. Each fault is raised by the instruction that really faults, so the
// signal carries the kernel's si_code and fault address.
#include "framework/testdouble/controls.h"

#include <climits>
#include <cstdlib>
#include <string>

#include "framework/testdouble/platform_faults.h"

namespace zekdouble {
namespace {

volatile int gZero = 0;
volatile int gOne = 1;
int* volatile gNull = nullptr;
volatile double gZeroDouble = 0.0;
volatile long gNeverDepth = -1;

// The sanitizers would report these faults themselves instead of letting them
// happen; the point is to let them happen.
#define ZEKDOUBLE_REAL_FAULT __attribute__((noinline, no_sanitize("undefined")))

ZEKDOUBLE_REAL_FAULT void writeThroughNull() {
  *gNull = 1;
}

ZEKDOUBLE_REAL_FAULT void divideIntByZero() {
  int divisor = gZero;
#if defined(__x86_64__) || defined(__i386__)
  // The compiler may fold a division whose divisor it can prove is zero or
  // one (division by zero being undefined); the instruction itself may not.
  int quotient = gOne;
  int high = 0;
  __asm__ volatile("idivl %2" : "+a"(quotient), "+d"(high) : "r"(divisor) : "cc");
  gOne = quotient;
#else
  // Traps only where the hardware traps on integer division by zero.
  gOne = gOne / divisor;
#endif
}

ZEKDOUBLE_REAL_FAULT void divideDoubleByZero() {
  enableFloatDivideTrap();
  volatile double x = 1.0 / gZeroDouble;
  (void)x;
}

// Every frame passes its own address down, so each stays live until the
// stack runs out: the recursion cannot be turned into a loop.
ZEKDOUBLE_REAL_FAULT int exhaustStack(long depth, volatile char* previous) {
  volatile char frame[1024];
  frame[0] = previous ? previous[0] : 0;
  frame[1] = static_cast<char>(depth);
  if (depth == gNeverDepth)
    return frame[0];
  return exhaustStack(depth + 1, frame) + frame[1];
}

void raiseFault(const std::string& kind) {
  if (kind == "segv") {
    writeThroughNull();
  } else if (kind == "intdiv") {
    divideIntByZero();
  } else if (kind == "fltdiv") {
    divideDoubleByZero();
  } else if (kind == "ill") {
    __builtin_trap();
  } else if (kind == "bus") {
    busError();
  } else if (kind == "stack") {
    exhaustStack(0, nullptr);
  } else if (kind == "hang") {
    waitForever();
  }
}

}  // namespace

void faultIfAsked(const char* operation) {
  const char* request = std::getenv("ZEKDOUBLE_FAULT");
  if (!request || !*request)
    return;
  std::string list(request);
  std::string::size_type begin = 0;
  while (begin <= list.size()) {
    std::string::size_type end = list.find(',', begin);
    if (end == std::string::npos)
      end = list.size();
    std::string kind = list.substr(begin, end - begin);
    std::string where = "GetProxySettings";
    std::string::size_type at = kind.find('@');
    if (at != std::string::npos) {
      where = kind.substr(at + 1);
      kind.erase(at);
    }
    if (where == operation)
      raiseFault(kind);
    begin = end + 1;
  }
}

}  // namespace zekdouble
