#include "support/file_status.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>

namespace KVEL {

namespace {

FileIdentity identityOf(const struct stat& status) {
  FileIdentity identity;
  identity.device = static_cast<unsigned long long>(status.st_dev);
  identity.fileNumber = static_cast<unsigned long long>(status.st_ino);
  return identity;
}

}  // namespace

bool identifyOpenFile(std::FILE* file, FileIdentity& identity, unsigned long long& size) {
  size = 0;
  struct stat status;
  if (::fstat(::fileno(file), &status) != 0)
    return false;
  identity = identityOf(status);
  if (S_ISREG(status.st_mode) && status.st_size > 0)
    size = static_cast<unsigned long long>(status.st_size);
  return true;
}

bool namesOpenFile(const std::string& name, int fd) {
  struct stat held, named;
  return ::fstat(fd, &held) == 0 && ::lstat(name.c_str(), &named) == 0 &&
         identityOf(held) == identityOf(named);
}

bool isAccessible(const std::string& path) {
  errno = 0;
  struct stat status;
  if (::stat(path.c_str(), &status) == 0)
    return true;
  return errno == EOVERFLOW;
}

}  // namespace KVEL
