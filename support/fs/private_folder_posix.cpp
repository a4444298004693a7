#include "support/fs/private_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

namespace KVEL {
namespace privatefolder {

std::vector<std::string> places() {
  std::vector<std::string> tried;
  const char* tmpdir = std::getenv("TMPDIR");
  if (tmpdir && *tmpdir == '/')
    tried.push_back(tmpdir);
  for (const char* fixed : {"/tmp", "/var/tmp"})
    if (tried.empty() || tried.front() != fixed)
      tried.push_back(fixed);
  return tried;
}

std::string userTag() { return std::to_string(::geteuid()); }

std::string randomTag() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::string tag;
  for (int i = 0; i < 12; ++i)
    tag += kLetters[device() % (sizeof kLetters - 1)];
  return tag;
}

}  // namespace privatefolder
}  // namespace KVEL
