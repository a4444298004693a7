// POSIX reads text and bytes alike: the head is read through the stream's
// own buffer and reading simply goes on.
#include "kvel/cmdfile/command_file_stream.h"

#include <cerrno>
#include <cstring>

namespace KVEL {

bool isReadableName(const std::string&, std::string*) { return true; }

std::FILE* openCommandFile(const std::string& fileName) {
  return std::fopen(fileName.c_str(), "r");
}

bool isReadableSource(std::FILE*, std::string*) { return true; }

bool readHead(std::FILE* file, std::size_t count, std::string& head, std::string* err) {
  head.assign(count, '\0');
  errno = 0;
  const std::size_t got = std::fread(&head[0], 1, count, file);
  head.resize(got);
  if (got < count && std::ferror(file)) {
    *err = std::strerror(errno != 0 ? errno : EIO);
    return false;
  }
  return true;
}

bool continueAsText(std::FILE*, std::string&) { return true; }

}  // namespace KVEL
