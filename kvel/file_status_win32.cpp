#include "kvel/file_status.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>

namespace KVEL {

bool isAccessible(const std::string& path) {
  errno = 0;
  struct _stat64i32 status;
  if (_stat64i32(path.c_str(), &status) == 0)
    return true;
  return errno == EOVERFLOW;
}

// Symbolic links on Windows need a privilege (or developer mode) to make, so
// another user cannot plant one in a shared folder without it.
bool symbolicLinksTrusted(const std::string&) { return true; }

}  // namespace KVEL
