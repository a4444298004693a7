#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kvel/account_output.h"

namespace KVEL {

std::FILE* openAccountFile(const std::string& path, std::string* err) {
  // Non-blocking, so that a FIFO without a reader cannot hold the launch;
  // emptied only once it is known to be a regular file.
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
  if (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, 0) != 0) {
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

}  // namespace KVEL
