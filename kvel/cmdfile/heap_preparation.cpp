#include "kvel/cmdfile/heap_preparation.h"

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#endif

namespace KVEL {

#if defined(__linux__) && defined(__GLIBC__)

namespace {

const std::size_t kHugePage = 2 * 1024 * 1024;
bool prepared = false;

}  // namespace

void restoreHeap() {
  if (!prepared) return;
  prepared = false;
  mallopt(M_MMAP_MAX, 65536);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
  malloc_trim(0);
}

void prepareHeap(std::size_t bytes) {
  if (prepared || bytes < 8 * kHugePage) return;
  if (bytes > 0x3fffffff) bytes = 0x3fffffff;
  // Large blocks come from the heap too, and freed memory stays in it for
  // the next allocations instead of going back to the system at once.
  if (mallopt(M_MMAP_MAX, 0) == 0) return;
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * bytes));
  prepared = true;
  void* block = std::malloc(bytes);
  if (block == nullptr) {
    restoreHeap();
    return;
  }
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  std::free(block);
}

#else

void prepareHeap(std::size_t) {}
void restoreHeap() {}

#endif

}  // namespace KVEL
