#include "support/file_status.h"

#include "support/fs/file_system.h"

namespace KVEL {

bool identifyOpenFile(std::FILE* file, FileIdentity& identity, unsigned long long& size) {
  size = 0;
  fs::Status status;
  if (!fs::statusOf(fs::handleOf(fileno(file)), &status))
    return false;
  identity = status.identity;
  if (status.regular)
    size = status.size;
  return true;
}

bool namesOpenFile(const std::string& name, int fd) {
  fs::Status held, named;
  return fs::statusOf(fs::handleOf(fd), &held) && fs::statusOfPath(name, false, &named) &&
         held.identity == named.identity;
}

bool isAccessible(const std::string& path) { return fs::accessible(path); }

}  // namespace KVEL
