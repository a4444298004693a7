// kvel's whole launch with a shell entry that looks at the allocator instead
// of running a shell: it prints how many bytes glibc mapped apart for
//   first:  a 4 MiB block,
//   second: a 4 MiB block allocated after the first was freed,
//   large:  a 64 MiB block,
// as "first=N second=N large=N", and returns 0.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>

#include "framework/zekmain.h"
#include "kvel/launcher.h"

namespace {

std::size_t mappedFor(std::size_t bytes, bool keep, void** block) {
  const std::size_t before = mallinfo2().hblkhd;
  *block = std::malloc(bytes);
  if (*block == nullptr) std::exit(3);
  static_cast<volatile char*>(*block)[0] = 1;
  const std::size_t mapped = mallinfo2().hblkhd - before;
  if (!keep) std::free(*block);
  return mapped;
}

}  // namespace

int zekmain::main(int, char**, const char*, TclInitProc) {
  void* block = nullptr;
  const std::size_t first = mappedFor(4u << 20, false, &block);
  const std::size_t second = mappedFor(4u << 20, true, &block);
  void* large = nullptr;
  const std::size_t largeMapped = mappedFor(64u << 20, false, &large);
  std::free(block);
  std::printf("first=%zu second=%zu large=%zu\n", first, second, largeMapped);
  return 0;
}

int main(int argc, char** argv) { return KVEL::runSimulatorLauncher(argc, argv); }
