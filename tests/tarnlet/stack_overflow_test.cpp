#include "tarnlet/stack_overflow.h"

#include <cstdint>

#include <gtest/gtest.h>

namespace tarnlet {
namespace {

TEST(IsStackOverflowFault, JudgesAddressAgainstStackEndAndStackPointer) {
  const std::uintptr_t low = 0x7f0000000000u;
  const StackBounds stack{low, low + 8 * 1024 * 1024};
  const std::uintptr_t farSp = stack.high - 4096;
  const StackBounds unknown;
  const std::uintptr_t sp = 0x7ffd00001000u;
  struct {
    std::uintptr_t address;
    std::uintptr_t stackPointer;
    const StackBounds* bounds;
    bool expected;
  } cases[] = {
      {low - 8, farSp, &stack, true},
      {low - kStackOverflowWindow, farSp, &stack, true},
      {low - kStackOverflowWindow - 1, farSp, &stack, false},
      {low - 8, 0, &stack, true},
      {0, farSp, &stack, false},
      {0x10, 0, &stack, false},
      {stack.high + 1024 * 1024, farSp, &stack, false},
      {low + 4096, farSp, &stack, false},
      {sp - 8, sp, &unknown, true},
      {sp + 128, sp, &unknown, true},
      {sp - kStackOverflowWindow, sp, &unknown, false},
      {sp - 8, 0, &unknown, false},
      {0, sp, &unknown, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, isStackOverflowFault(c.address, c.stackPointer, *c.bounds))
        << std::hex << "address 0x" << c.address << " sp 0x" << c.stackPointer;
  }
}

}  // namespace
}  // namespace tarnlet
