#include "kvel/cmdfile/file_identity.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace KVEL {

bool identifyOpenFile(std::FILE* file, FileIdentity& identity, unsigned long long& size) {
  size = 0;
#ifdef _WIN32
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  BY_HANDLE_FILE_INFORMATION information;
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &information)) {
    return false;
  }
  identity.device = information.dwVolumeSerialNumber;
  identity.fileNumber =
      (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  size = (static_cast<unsigned long long>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
  return true;
#else
  struct stat status;
  if (fstat(fileno(file), &status) != 0) return false;
  identity.device = static_cast<unsigned long long>(status.st_dev);
  identity.fileNumber = static_cast<unsigned long long>(status.st_ino);
  if (S_ISREG(status.st_mode) && status.st_size > 0) {
    size = static_cast<unsigned long long>(status.st_size);
  }
  return true;
#endif
}

}  // namespace KVEL
