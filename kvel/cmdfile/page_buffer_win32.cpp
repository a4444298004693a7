#include <windows.h>

#include "kvel/cmdfile/page_buffer.h"

namespace KVEL {
namespace pages {

std::size_t granularity() {
  static const std::size_t size = [] {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return static_cast<std::size_t>(info.dwPageSize);
  }();
  return size;
}

char* map(std::size_t size) {
  return static_cast<char*>(VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

// A reserved mapping cannot be extended in place here.
char* grow(char*, std::size_t, std::size_t) { return nullptr; }

void unmap(char* base, std::size_t) { VirtualFree(base, 0, MEM_RELEASE); }

// Large pages need a privilege that ordinary users lack.
void adviseHuge(char*, std::size_t) {}

}  // namespace pages
}  // namespace KVEL
