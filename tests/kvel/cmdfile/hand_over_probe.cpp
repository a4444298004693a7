// kvel's launch with a shell entry that reports where glibc puts a 4 MiB block
// (the threshold the launch left), one allocated after it was freed, and a
// 64 MiB block: "heap" or "mapped" each.
#include <malloc.h>

#include <cstdio>
#include <cstdlib>

#include "framework/zekmain.h"
#include "kvel/launcher.h"

static const char* placeOf(std::size_t bytes) {
  const std::size_t before = mallinfo2().hblkhd;
  volatile char* block = static_cast<char*>(std::malloc(bytes));
  block[0] = 1;
  const bool mapped = mallinfo2().hblkhd - before >= bytes;
  std::free(const_cast<char*>(block));
  return mapped ? "mapped" : "heap";
}

int zekmain::main(int, char**, const char*, TclInitProc) {
  // Freeing a mapped block raises glibc's threshold above it.
  const char* first = placeOf(4u << 20);
  const char* second = placeOf(4u << 20);
  std::printf("%s %s %s\n", first, second, placeOf(64u << 20));
  return 0;
}

int main(int argc, char** argv) { return KVEL::runSimulatorLauncher(argc, argv); }
