// Maps a fatal POSIX signal to the exception code the report is made with.
#ifndef TARNLET_SIGNAL_EXCEPTION_CODE_H
#define TARNLET_SIGNAL_EXCEPTION_CODE_H

#include <cstdint>

namespace tarnlet {

// Address range of the main thread's stack, [low, high); high 0 when unknown.
struct StackBounds {
  std::uintptr_t low = 0;
  std::uintptr_t high = 0;
};

// How close to the stack's low end or to the stack pointer a fault address
// must lie to count as a stack overflow.
const std::uintptr_t kStackOverflowWindow = 64 * 1024;

// True when a segmentation fault at faultAddress is the stack running out:
// the address lies just below the main stack's low end, or close to the
// interrupted stack pointer (0 when unknown).
bool isStackOverflowFault(std::uintptr_t faultAddress, std::uintptr_t stackPointer,
                          const StackBounds& mainStack);

#ifndef _WIN32
// The exception code for signal signalNumber with si_code signalCode.
// stackOverflow is honoured only for a kernel-detected SIGSEGV.
std::uint32_t exceptionCodeForSignal(int signalNumber, int signalCode, bool stackOverflow);
#endif

}  // namespace tarnlet

#endif
