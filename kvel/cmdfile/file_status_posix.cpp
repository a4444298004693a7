#include "kvel/cmdfile/file_status.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <vector>

namespace KVEL {

namespace {

FileIdentity identityOf(const struct stat& status) {
  FileIdentity identity;
  identity.device = static_cast<unsigned long long>(status.st_dev);
  identity.fileNumber = static_cast<unsigned long long>(status.st_ino);
  return identity;
}

// Puts the parts of path, in order, in front of `parts`.
void prependParts(const std::string& path, std::deque<std::string>* parts) {
  std::vector<std::string> split;
  std::string::size_type start = 0;
  while (start <= path.size()) {
    std::string::size_type slash = path.find('/', start);
    if (slash == std::string::npos)
      slash = path.size();
    if (slash > start)
      split.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  parts->insert(parts->begin(), split.begin(), split.end());
}

}  // namespace

bool identifyOpenFile(std::FILE* file, FileIdentity& identity, unsigned long long& size) {
  size = 0;
  struct stat status;
  if (::fstat(::fileno(file), &status) != 0)
    return false;
  identity = identityOf(status);
  if (S_ISREG(status.st_mode) && status.st_size > 0)
    size = static_cast<unsigned long long>(status.st_size);
  return true;
}

bool namesOpenFile(const std::string& name, int fd) {
  struct stat held, named;
  return ::fstat(fd, &held) == 0 && ::lstat(name.c_str(), &named) == 0 &&
         identityOf(held) == identityOf(named);
}

bool isAccessible(const std::string& path) {
  errno = 0;
  struct stat status;
  if (::stat(path.c_str(), &status) == 0)
    return true;
  return errno == EOVERFLOW;
}

bool symbolicLinksTrusted(const std::string& path) {
  const uid_t self = ::geteuid();
  std::deque<std::string> parts;
  prependParts(path, &parts);
  // The resolved part so far, free of links: "" (relative), "/" or a path.
  std::string reached = !path.empty() && path[0] == '/' ? "/" : "";
  for (int links = 0; !parts.empty();) {
    const std::string part = parts.front();
    parts.pop_front();
    if (part == ".")
      continue;
    const std::string next =
        reached.empty() ? part : (reached == "/" ? "/" + part : reached + "/" + part);
    struct stat status;
    if (::lstat(next.c_str(), &status) != 0)
      return true;  // what does not exist yet is created as a directory or file
    if (!S_ISLNK(status.st_mode)) {
      reached = next;
      continue;
    }
    if (status.st_uid != self && status.st_uid != 0)
      return false;
    if (++links > 40)
      return true;  // a loop: opening reports it
    std::vector<char> text(status.st_size > 0 ? static_cast<std::size_t>(status.st_size) + 1 : 4096);
    const ssize_t length = ::readlink(next.c_str(), text.data(), text.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= text.size())
      return false;  // changed while being looked at
    const std::string link(text.data(), static_cast<std::size_t>(length));
    if (link[0] == '/')
      reached = "/";
    prependParts(link, &parts);
  }
  return true;
}

}  // namespace KVEL
