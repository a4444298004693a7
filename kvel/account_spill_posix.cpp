#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "kvel/account_spill.h"

namespace KVEL {

bool AccountSpill::open(std::intptr_t* handle) {
#ifdef O_TMPFILE
  // Made without a name, in TMPDIR or /tmp: nothing else can open it.
  const char* folder = std::getenv("TMPDIR");
  for (const char* dir : {folder, "/tmp"}) {
    if (dir == nullptr || *dir == '\0')
      continue;
    const int fd = ::open(dir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
      *handle = fd;
      return true;
    }
  }
#endif
  (void)handle;
  return false;
}

std::size_t AccountSpill::write(std::intptr_t handle, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(static_cast<int>(handle), data + done, size - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool AccountSpill::rewind(std::intptr_t handle) {
  return ::lseek(static_cast<int>(handle), 0, SEEK_SET) == 0;
}

std::size_t AccountSpill::read(std::intptr_t handle, char* data, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(static_cast<int>(handle), data, size);
    if (n < 0 && errno == EINTR)
      continue;
    return n > 0 ? static_cast<std::size_t>(n) : 0;
  }
}

void AccountSpill::close(std::intptr_t handle) { ::close(static_cast<int>(handle)); }

}  // namespace KVEL
