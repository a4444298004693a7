#include "tarnlet/stack_overflow.h"

namespace tarnlet {

bool isStackOverflowFault(std::uintptr_t faultAddress, std::uintptr_t stackPointer,
                          const StackBounds& mainStack) {
  if (mainStack.high != 0 && faultAddress < mainStack.low &&
      mainStack.low - faultAddress <= kStackOverflowWindow)
    return true;
  if (stackPointer == 0)
    return false;
  std::uintptr_t distance =
      faultAddress >= stackPointer ? faultAddress - stackPointer : stackPointer - faultAddress;
  return distance < kStackOverflowWindow;
}

}  // namespace tarnlet
