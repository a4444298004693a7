// Memory the launch takes for itself in large pieces, straight from the
// system's page mappings instead of the C library's allocator. Giving such a
// piece back leaves the allocator as the process started with it (glibc
// raises its mmap threshold for the rest of the process when a large malloc
// block is freed), so the shell that runs in this process after the
// hand-over gets the allocator it would have had without the launch. The
// pages come zeroed, are counted in the resident set only once touched, and
// large pieces are advised for huge pages where the system offers them.
#ifndef KVEL_CMDFILE_PAGE_BUFFER_H
#define KVEL_CMDFILE_PAGE_BUFFER_H

#include <cstddef>

namespace KVEL {

class PageBuffer {
public:
  PageBuffer() = default;
  ~PageBuffer() { release(); }
  PageBuffer(PageBuffer&& other) noexcept;
  PageBuffer& operator=(PageBuffer&& other) noexcept;
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;

  char* data() const { return data_; }
  std::size_t capacity() const { return capacity_; }

  // Room for at least `size` bytes, the content kept: at least doubles, so
  // that growing byte by byte stays cheap. False when the system gives no
  // more memory; the buffer is then as it was.
  bool reserve(std::size_t size);
  // Gives the pages back to the system.
  void release();

private:
  char* data_ = nullptr;
  std::size_t capacity_ = 0;
};

// The primitives, one implementation per platform.
namespace pages {

// The unit that mappings are made in.
std::size_t granularity();
// Fresh zeroed pages, readable and writable; null when none can be had.
char* map(std::size_t size);
// The mapping at base, of oldSize bytes, grown to newSize with its content
// in place or moved without a copy; null when the system cannot, and base
// stays mapped (PageBuffer then copies into a new mapping).
char* grow(char* base, std::size_t oldSize, std::size_t newSize);
void unmap(char* base, std::size_t size);
// A hint that the range is worth huge pages; nothing where there are none.
void adviseHuge(char* base, std::size_t size);

}  // namespace pages

}  // namespace KVEL

#endif
