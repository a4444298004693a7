// Windows only (file_owner_win32.cpp has no POSIX twin: there the status
// gives the owner and the mode bits say who may enter): who owns a file open
// as a handle, for the file's status (file_system.h); and an access list for
// the running user alone, for the private folder and what is made in it.
#ifndef SUPPORT_FS_FILE_OWNER_H
#define SUPPORT_FS_FILE_OWNER_H

#include <string>

#include "support/fs/file_system.h"

namespace KVEL {

// handle is a Windows HANDLE opened with READ_CONTROL (unknown otherwise).
fs::Owner ownerOf(void* handle);

// A SECURITY_ATTRIBUTES (as void*) whose access list lets only the running
// user in, protected from the entries the folder above passes down, and
// passed down itself to what is made inside; null when it cannot be built.
void* ownerOnlyAttributes();
// Sets that access list, protected, on handle (opened with WRITE_DAC).
bool setOwnerOnly(void* handle);

// The running user's name, for the private folder's name; "" when unknown.
std::string runningUserName();

}  // namespace KVEL

#endif
