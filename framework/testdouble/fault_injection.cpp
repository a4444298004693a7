// Real hardware faults on request, so that crash reports can be tested.
#include "framework/testdouble/recorder.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cfenv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace zekdouble {
namespace {

volatile int gZero = 0;
int* volatile gNull = nullptr;
volatile double gZeroDouble = 0.0;

__attribute__((noinline)) int recurse(int depth) {
  volatile char pad[256];
  pad[0] = static_cast<char>(depth);
  if (depth == INT_MAX)
    return pad[0];
  return recurse(depth + 1) + pad[0];
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

}  // namespace

void faultIfAsked(const char* operation) {
  const char* spec = std::getenv("ZEKDOUBLE_FAULT");
  if (!spec || !*spec)
    return;
  std::string kind(spec);
  std::string where = "GetProxySettings";
  std::string::size_type at = kind.find('@');
  if (at != std::string::npos) {
    where = kind.substr(at + 1);
    kind.erase(at);
  }
  if (where != operation)
    return;
  if (kind == "segv") {
    *gNull = 1;
  } else if (kind == "intdiv") {
    volatile int x = 1 / gZero;
    (void)x;
  } else if (kind == "fltdiv") {
    feenableexcept(FE_DIVBYZERO);
    volatile double x = 1.0 / gZeroDouble;
    (void)x;
  } else if (kind == "ill") {
    __builtin_trap();
  } else if (kind == "bus") {
    busError();
  } else if (kind == "stack") {
    recurse(0);
  }
}

}  // namespace zekdouble
