// File identity and status: the one place in kvel that knows the platform's
// status calls, used by the command-file reader and the kernel check.
#ifndef SUPPORT_FILE_STATUS_H
#define SUPPORT_FILE_STATUS_H

#include <cstdio>
#include <string>

namespace KVEL {

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
// is not a regular file on POSIX.
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

}  // namespace KVEL

#endif
