// Windows only (long_path_win32.cpp has no POSIX twin, as only Windows code
// calls it): paths in the process code page turned into the absolute "\\?\"
// form that the wide calls take at any length, so that no file step fails
// for a path's length alone.
#ifndef SUPPORT_FS_LONG_PATH_H
#define SUPPORT_FS_LONG_PATH_H

#include <string>

namespace KVEL {

// The system's text for an error code (GetLastError()), without the last
// period and line end.
std::string systemErrorText(unsigned long error);

// Text in the process code page and back.
std::wstring toWide(const std::string& text);
std::string toNarrow(const std::wstring& text);

// The absolute "\\?\" form of path ("" is the working directory); empty when
// it cannot be converted or made absolute.
std::wstring longPathForm(const std::string& path);

}  // namespace KVEL

#endif
