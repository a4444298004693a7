#include "framework/standin/file_identity.h"

#include <windows.h>

#include <tcl.h>

namespace zekshell {
namespace {

// Through the wide-character name Tcl opens the file by (Tcl's UTF-8 holds
// a character beyond the BMP as two surrogates, which Tcl's own conversion
// pairs again).
bool identify(const std::string& path, BY_HANDLE_FILE_INFORMATION& information) {
  Tcl_DString native;
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(
      Tcl_WinUtfToTChar(path.data(), static_cast<int>(path.size()), &native));
  HANDLE handle = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  Tcl_DStringFree(&native);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  return known;
}

}  // namespace

bool sameExistingFile(const std::string& first, const std::string& second) {
  BY_HANDLE_FILE_INFORMATION a, b;
  return identify(first, a) && identify(second, b) &&
         a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace zekshell
