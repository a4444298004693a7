#include "kvel/cmdfile/page_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

namespace KVEL {
namespace pages {

std::size_t granularity() {
  static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

char* map(std::size_t size) {
  void* const memory =
      mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return memory == MAP_FAILED ? nullptr : static_cast<char*>(memory);
}

char* grow(char* base, std::size_t oldSize, std::size_t newSize) {
#ifdef MREMAP_MAYMOVE
  // The pages move without being copied or touched.
  void* const memory = mremap(base, oldSize, newSize, MREMAP_MAYMOVE);
  return memory == MAP_FAILED ? nullptr : static_cast<char*>(memory);
#else
  (void)base, (void)oldSize, (void)newSize;
  return nullptr;
#endif
}

void unmap(char* base, std::size_t size) { munmap(base, size); }

void adviseHuge(char* base, std::size_t size) {
#ifdef MADV_HUGEPAGE
  madvise(base, size, MADV_HUGEPAGE);
#else
  (void)base;
  (void)size;
#endif
}

}  // namespace pages
}  // namespace KVEL
