// Telling a stack overflow from other segmentation faults by the fault address.
#ifndef TARNLET_STACK_OVERFLOW_H
#define TARNLET_STACK_OVERFLOW_H

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

}  // namespace tarnlet

#endif
