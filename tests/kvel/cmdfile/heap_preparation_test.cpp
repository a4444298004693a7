// The heap prepared for a large command file keeps its room until restored,
// and gives it back afterwards.
#include "kvel/cmdfile/heap_preparation.h"

#include <gtest/gtest.h>

#if defined(__linux__) && defined(__GLIBC__) && !defined(KVEL_SANITIZED_BUILD)
#include <malloc.h>

#include <cstdlib>
#include <vector>

namespace {

TEST(HeapPreparation, RoomStaysInTheHeapUntilRestored) {
  const std::size_t room = 64u << 20;
  KVEL::prepareHeap(room);
  const std::size_t arenaPrepared = mallinfo2().arena;
  EXPECT_GE(mallinfo2().keepcost, room);
  // A large block is served from the prepared heap, not mapped apart.
  void* block = std::malloc(room / 2);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(mallinfo2().hblkhd, 0u);
  std::free(block);
  EXPECT_EQ(mallinfo2().arena, arenaPrepared);
  KVEL::restoreHeap();
  EXPECT_LT(mallinfo2().arena, arenaPrepared);
  // Usual behaviour again: a large block is mapped apart.
  block = std::malloc(room / 2);
  ASSERT_NE(block, nullptr);
  EXPECT_GE(mallinfo2().hblkhd, room / 2);
  std::free(block);
}

TEST(HeapPreparation, SmallFilesLeaveTheHeapAlone) {
  KVEL::prepareHeap(1u << 20);
  // Not prepared: a large block is still mapped apart.
  void* block = std::malloc(32u << 20);
  ASSERT_NE(block, nullptr);
  EXPECT_GE(mallinfo2().hblkhd, 32u << 20);
  std::free(block);
  KVEL::restoreHeap();
}

}  // namespace

#else

TEST(HeapPreparation, RoomStaysInTheHeapUntilRestored) {
  GTEST_SKIP() << "the heap is prepared only with glibc on Linux, and not under sanitizers";
}

#endif
