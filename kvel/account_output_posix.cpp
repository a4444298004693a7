#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kvel/account_output.h"

namespace KVEL {

std::FILE* openAccountFile(const std::string& path, std::string* err) {
  // Non-blocking, so that a FIFO without a reader cannot hold the launch;
  // never emptied here (cutAccountFile).
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    *err = std::strerror(errno);
    return nullptr;
  }
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    *err = "not a regular file";
    ::close(fd);
    return nullptr;
  }
  if (::fcntl(fd, F_SETFL, 0) != 0) {
    *err = std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) {
    *err = std::strerror(errno);
    ::close(fd);
  }
  return file;
}

bool cutAccountFile(std::FILE* file) {
  if (std::fflush(file) != 0)
    return false;
  const off_t at = ::ftello(file);
  return at >= 0 && ::ftruncate(::fileno(file), at) == 0;
}

}  // namespace KVEL
