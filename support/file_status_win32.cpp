#include "support/file_status.h"

#include <windows.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>

#include "support/fs/long_path.h"

namespace KVEL {

namespace {

bool identifyHandle(HANDLE handle, FileIdentity& identity, unsigned long long* size) {
  BY_HANDLE_FILE_INFORMATION information;
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &information))
    return false;
  identity.device = information.dwVolumeSerialNumber;
  identity.fileNumber = (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) |
                        information.nFileIndexLow;
  if (size)
    *size = (static_cast<unsigned long long>(information.nFileSizeHigh) << 32) |
            information.nFileSizeLow;
  return true;
}

}  // namespace

bool identifyOpenFile(std::FILE* file, FileIdentity& identity, unsigned long long& size) {
  size = 0;
  return identifyHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), identity, &size);
}

bool namesOpenFile(const std::string& name, int fd) {
  FileIdentity held, named;
  if (!identifyHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), held, nullptr))
    return false;
  // No access asked for: only the identity is read. A reparse point is
  // opened itself, and a directory needs backup semantics to be opened.
  const HANDLE handle = CreateFileA(
      name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const bool identified = identifyHandle(handle, named, nullptr);
  if (handle != INVALID_HANDLE_VALUE)
    CloseHandle(handle);
  return identified && held == named;
}

// Through the wide call on the "\\?\" form, so that a path past MAX_PATH is
// looked at too; it has no size field to overflow.
bool isAccessible(const std::string& path) {
  const std::wstring full = path.empty() ? std::wstring() : longPathForm(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  return !full.empty() && GetFileAttributesExW(full.c_str(), GetFileExInfoStandard, &data) != 0;
}

}  // namespace KVEL
