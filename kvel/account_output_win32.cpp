#include <cerrno>
#include <cstring>

#include "kvel/account_output.h"

namespace KVEL {

std::FILE* openAccountFile(const std::string& path, std::string* err) {
  // The device namespace holds pipes, whose opening can wait on the other end.
  const std::string head = path.substr(0, 4);
  if (head == "\\\\.\\" || head == "//./") {
    *err = "not a regular file";
    return nullptr;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    *err = std::strerror(errno);
  return file;
}

}  // namespace KVEL
