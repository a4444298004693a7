// File identity and status: the one place that knows the platform's status
// calls (file_status_posix.cpp, file_status_win32.cpp), used by the
// file-system layer (fs/), the command-file reader and the kernel check.
#ifndef SUPPORT_FILE_STATUS_H
#define SUPPORT_FILE_STATUS_H

#include <cstdio>
#include <string>

namespace KVEL {

class CheckedFolder;

// Identity of a file (device and file number), so that the same file reached
// under different names is recognised.
struct FileIdentity {
  unsigned long long device = 0;
  unsigned long long fileNumber = 0;

  bool operator==(const FileIdentity& other) const {
    return device == other.device && fileNumber == other.fileNumber;
  }
};

// The identity of an open file and its size. False when the platform cannot
// tell the identity of the file; size is then 0. Size is 0 as well for what
// is not a regular file.
bool identifyOpenFile(std::FILE* file, FileIdentity& identity, unsigned long long& size);

// True when name, taken as it is (a symbolic link or other reparse point at
// its end is not followed), is the file open as descriptor fd: the name was
// not removed or pointed at another file meanwhile. False when either cannot
// be looked at.
bool namesOpenFile(const std::string& name, int fd);

// True when the status of path can be read. A query that fails only because
// the file's size does not fit the status record (EOVERFLOW, files above 2 GiB
// with a 32-bit size field) still counts as accessible.
bool isAccessible(const std::string& path);

namespace fs {

// A descriptor on POSIX, a HANDLE on Windows.
using Handle = long long;
constexpr Handle kNoHandle = -1;

// The handle under a C runtime descriptor (it stays the descriptor's).
Handle handleOf(int descriptor);

enum class Owner { runningUser, systemOrRoot, other, unknown };

// What a file is. Windows: detailed is false when only its attributes could
// be read (another process holds it so that it cannot be opened even to be
// looked at); mode, group and the owner's number are POSIX only.
struct Status {
  bool regular = false, directory = false, link = false;  // link: itself
  bool readOnly = false;  // Windows' read-only attribute
  bool detailed = true;
  unsigned long long links = 0, size = 0;
  FileIdentity identity;
  Owner owner = Owner::unknown;
  unsigned mode = 0;
  unsigned long ownerId = 0, group = 0;
};

// name in folder: the file a link at it leads to when follow is set, the
// link itself otherwise.
bool statusAt(const CheckedFolder& folder, const std::string& name, bool follow, Status* status);
bool statusOf(Handle file, Status* status);
// path (relative to the working directory, or absolute), a link at its end
// followed or not.
bool statusOfPath(const std::string& path, bool follow, Status* status);
// Whether the status of path (a link followed) can be read. POSIX: a file
// too large for the status record (EOVERFLOW) counts.
bool accessible(const std::string& path);

}  // namespace fs
}  // namespace KVEL

#endif
