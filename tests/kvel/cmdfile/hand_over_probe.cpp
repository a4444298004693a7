// kvel's launch with a shell entry that reports, instead of running a shell,
// how many bytes glibc mapped apart for a 4 MiB block, for a second one
// after the first was freed, and for a 64 MiB block: "N N N".
#include <malloc.h>

#include <cstdio>
#include <cstdlib>

#include "framework/zekmain.h"
#include "kvel/launcher.h"

static std::size_t mappedFor(std::size_t bytes) {
  const std::size_t before = mallinfo2().hblkhd;
  volatile char* block = static_cast<char*>(std::malloc(bytes));
  block[0] = 1;
  const std::size_t mapped = mallinfo2().hblkhd - before;
  std::free(const_cast<char*>(block));
  return mapped;
}

int zekmain::main(int, char**, const char*, TclInitProc) {
  const std::size_t first = mappedFor(4u << 20);
  const std::size_t second = mappedFor(4u << 20);
  std::printf("%zu %zu %zu\n", first, second, mappedFor(64u << 20));
  return 0;
}

int main(int argc, char** argv) { return KVEL::runSimulatorLauncher(argc, argv); }
