#include "kvel/cmdfile/file_identity.h"

#include <io.h>
#include <windows.h>

namespace KVEL {

bool identifyOpenFile(std::FILE* file, FileIdentity& identity, unsigned long long& size) {
  size = 0;
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
}

}  // namespace KVEL
