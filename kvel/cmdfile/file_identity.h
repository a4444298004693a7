// Identity of an open file (device and file number), so that the same file
// reached under different names is recognised, and its size.
#ifndef KVEL_CMDFILE_FILE_IDENTITY_H
#define KVEL_CMDFILE_FILE_IDENTITY_H

#include <cstdio>

namespace KVEL {

struct FileIdentity {
  unsigned long long device = 0;
  unsigned long long fileNumber = 0;

  bool operator==(const FileIdentity& other) const {
    return device == other.device && fileNumber == other.fileNumber;
  }
};

// False when the platform cannot tell the identity of the file; size is
// then 0.
bool identifyOpenFile(std::FILE* file, FileIdentity& identity, unsigned long long& size);

}  // namespace KVEL

#endif
