#include "framework/testdouble/platform_faults.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cfenv>
#include <cstdlib>

namespace zekdouble {

void enableFloatDivideTrap() {
  feenableexcept(FE_DIVBYZERO);
}

void busError() {
  // A mapping past the end of its file: touching it gives SIGBUS.
  char path[] = "/tmp/zekdouble-busXXXXXX";
  int fd = ::mkstemp(path);
  if (fd < 0)
    std::abort();
  ::unlink(path);
  if (::ftruncate(fd, 1) != 0)
    std::abort();
  long page = ::sysconf(_SC_PAGESIZE);
  void* map = ::mmap(nullptr, static_cast<std::size_t>(page) * 2, PROT_READ, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED)
    std::abort();
  volatile char* p = static_cast<volatile char*>(map) + page;
  char c = *p;
  (void)c;
}

void waitForever() {
  for (;;)
    ::pause();
}

}  // namespace zekdouble
