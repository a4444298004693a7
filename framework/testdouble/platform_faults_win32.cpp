#include "framework/testdouble/platform_faults.h"

#include <float.h>
#include <windows.h>

namespace zekdouble {

void enableFloatDivideTrap() {
  // Unmask the divide-by-zero trap (x87 and SSE).
  unsigned int control = 0;
  _controlfp_s(&control, ~static_cast<unsigned int>(_EM_ZERODIVIDE), _EM_ZERODIVIDE);
}

void busError() {}

void waitForever() {
  for (;;)
    ::Sleep(INFINITE);
}

}  // namespace zekdouble
