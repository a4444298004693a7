#include "kvel/cmdfile/file_identity.h"

#include <sys/stat.h>

namespace KVEL {

bool identifyOpenFile(std::FILE* file, FileIdentity& identity, unsigned long long& size) {
  size = 0;
  struct stat status;
  if (fstat(fileno(file), &status) != 0) return false;
  identity.device = static_cast<unsigned long long>(status.st_dev);
  identity.fileNumber = static_cast<unsigned long long>(status.st_ino);
  if (S_ISREG(status.st_mode) && status.st_size > 0) {
    size = static_cast<unsigned long long>(status.st_size);
  }
  return true;
}

}  // namespace KVEL
