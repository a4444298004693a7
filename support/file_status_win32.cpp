#include "support/file_status.h"

#include <windows.h>
#include <io.h>

#include <cstdint>

#include "support/fs/checked_folder.h"
#include "support/fs/file_owner.h"
#include "support/fs/long_path.h"

namespace KVEL {
namespace fs {

namespace {

HANDLE native(Handle handle) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle)); }

// Opens path only to be looked at: no sharing is asked of others.
HANDLE openToLook(const std::wstring& path, bool follow) {
  return CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                     nullptr);
}

// The status of path: from the file itself where it can be opened, from its
// attributes alone otherwise.
bool statusOfNative(const std::wstring& path, bool follow, Status* status) {
  *status = Status();
  HANDLE file = openToLook(path, follow);
  if (file != INVALID_HANDLE_VALUE) {
    const bool known = statusOf(reinterpret_cast<std::intptr_t>(file), status);
    CloseHandle(file);
    return known;
  }
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return false;
  status->detailed = false;
  status->directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status->link = !follow && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  status->readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  SetLastError(error);  // why it could not be opened
  return true;
}

}  // namespace

Handle handleOf(int descriptor) { return static_cast<Handle>(_get_osfhandle(descriptor)); }

bool statusAt(const CheckedFolder& folder, const std::string& name, bool follow, Status* status) {
  return statusOfNative(folder.nativePath() + L"\\" + toWide(name), follow, status);
}

bool statusOf(Handle file, Status* status) {
  *status = Status();
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(native(file), &information))
    return false;
  const DWORD attributes = information.dwFileAttributes;
  status->directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status->link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  status->readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  status->regular =
      !status->directory && !status->link && GetFileType(native(file)) == FILE_TYPE_DISK;
  status->links = information.nNumberOfLinks;
  status->size = (static_cast<unsigned long long>(information.nFileSizeHigh) << 32) |
                 information.nFileSizeLow;
  status->identity.device = information.dwVolumeSerialNumber;
  status->identity.fileNumber =
      (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) |
      information.nFileIndexLow;
  status->owner = ownerOf(native(file));
  return true;
}

bool statusOfPath(const std::string& path, bool follow, Status* status) {
  const std::wstring full = longPathForm(path);
  return !full.empty() && statusOfNative(full, follow, status);
}

// Through the wide call on the "\\?\" form, so that a path past MAX_PATH is
// looked at too; it has no size field to overflow.
bool accessible(const std::string& path) {
  const std::wstring full = path.empty() ? std::wstring() : longPathForm(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  return !full.empty() && GetFileAttributesExW(full.c_str(), GetFileExInfoStandard, &data) != 0;
}

}  // namespace fs
}  // namespace KVEL
