// Windows only (file_owner_win32.cpp has no POSIX twin: there fstat gives
// the owner): who owns a file open as a handle, for the rules on links and
// on removing temporaries.
#ifndef KVEL_FILE_OWNER_H
#define KVEL_FILE_OWNER_H

namespace KVEL {

enum class FileOwner { runningUser, systemOrAdministrators, other, unknown };

// handle is a Windows HANDLE opened with READ_CONTROL.
FileOwner ownerOf(void* handle);

}  // namespace KVEL

#endif
