#include "kvel/file_replacement.h"

#include <cerrno>
#include <vector>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace KVEL {

#ifdef _WIN32

std::FILE* createReplacement(const std::string& path, std::string& temporaryPath) {
  // "x": fails when the name is taken, so a concurrent run never shares it.
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string name = path + "." + std::to_string(_getpid()) + "." + std::to_string(attempt);
    std::FILE* file = std::fopen(name.c_str(), "wx");
    if (file) {
      temporaryPath = name;
      return file;
    }
    if (errno != EEXIST)
      return nullptr;
  }
  return nullptr;
}

bool commitReplacement(const std::string& temporaryPath, const std::string& path) {
  return MoveFileExA(temporaryPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

#else

std::FILE* createReplacement(const std::string& path, std::string& temporaryPath) {
  std::string pattern = path + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0)
    return nullptr;
  // mkstemp creates with 0600; give the file the mode fopen would have.
  // Reading the mask means setting it; the launcher runs on one thread.
  mode_t mask = ::umask(0);
  ::umask(mask);
  std::FILE* file = nullptr;
  if (::fchmod(fd, 0666 & ~mask) == 0)
    file = ::fdopen(fd, "w");
  if (!file) {
    ::close(fd);
    ::unlink(name.data());
    return nullptr;
  }
  temporaryPath = name.data();
  return file;
}

bool commitReplacement(const std::string& temporaryPath, const std::string& path) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
  // Over an existing regular file, swap the two names and drop the old file:
  // as atomic for readers as rename(), but ext4 does not force the new data
  // out to disk first, which costs a launch about as much as the rest of it.
  struct stat target;
  if (::lstat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode) &&
      ::renameat2(AT_FDCWD, temporaryPath.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
    ::unlink(temporaryPath.c_str());
    return true;
  }
#endif
  return std::rename(temporaryPath.c_str(), path.c_str()) == 0;
}

#endif

}  // namespace KVEL
