#include "kvel/file_status.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/types.h>

namespace KVEL {

bool isAccessible(const std::string& path) {
  errno = 0;
#ifdef _WIN32
  struct _stat64i32 status;
  if (_stat64i32(path.c_str(), &status) == 0)
    return true;
#else
  struct stat status;
  if (::stat(path.c_str(), &status) == 0)
    return true;
#endif
  return errno == EOVERFLOW;
}

}  // namespace KVEL
