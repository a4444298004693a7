#include "support/fs/checked_folder.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace KVEL {

namespace {

const int kMaxLinks = 40;  // as the kernel's own limit on a path

struct Walk {
  int links = 0;
  bool refused = false;  // a link of another user was met
};

std::vector<std::string> components(const std::string& path) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (start <= path.size()) {
    std::string::size_type slash = path.find('/', start);
    if (slash == std::string::npos)
      slash = path.size();
    if (slash > start && path.compare(start, slash - start, ".") != 0)
      parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

// Reads the link `name` in dir through a handle of its own, so that the
// link whose owner is checked is the link read. 1: *text holds a link of the
// running user or root; 0: name is no link (or is missing); -1: refused or
// unreadable.
int readOwnLink(int dir, const std::string& name, std::string* text, Walk* walk) {
  struct stat status;
#ifdef O_PATH
  const int link = ::openat(dir, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (link < 0)
    return errno == ENOENT || errno == ENOTDIR ? 0 : -1;
  const int looked = ::fstat(link, &status);
  const int at = link;
  const char* const self = "";
#else
  const int looked = ::fstatat(dir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW);
  const int link = -1, at = dir;
  const char* const self = name.c_str();
  if (looked != 0 && errno == ENOENT)
    return 0;
#endif
  int result = -1;
  if (looked == 0 && !S_ISLNK(status.st_mode)) {
    result = 0;
  } else if (looked == 0 && status.st_uid != ::geteuid() && status.st_uid != 0) {
    walk->refused = true;
  } else if (looked == 0) {
    std::vector<char> buffer(status.st_size > 0 ? static_cast<std::size_t>(status.st_size) + 1
                                                : PATH_MAX);
    const ssize_t length = ::readlinkat(at, self, buffer.data(), buffer.size());
    if (length > 0 && static_cast<std::size_t>(length) < buffer.size()) {
      text->assign(buffer.data(), static_cast<std::size_t>(length));
      result = 1;
    }
  }
  if (link >= 0)
    ::close(link);
  return result;
}

int walkPath(int dir, const std::string& path, bool create, Walk* walk);

// Opens the folder `part` of dir, creating it when missing and create is set;
// a link is followed when it is the running user's or root's. -1 on failure.
int openPart(int dir, const std::string& part, bool create, Walk* walk) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = ::openat(dir, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0)
      return fd;
    if (errno == ENOENT) {
      if (!create || (::mkdirat(dir, part.c_str(), 0777) != 0 && errno != EEXIST))
        return -1;
      continue;
    }
    if (errno != ELOOP && errno != ENOTDIR)
      return -1;
    std::string text;
    if (readOwnLink(dir, part, &text, walk) <= 0 || ++walk->links > kMaxLinks)
      return -1;  // a file in the way, a refused link or a loop
    // What a link leads to is not created: a plain open would not either.
    return walkPath(dir, text, false, walk);
  }
  return -1;
}

// Opens path from dir (an absolute path from the root) as a new descriptor.
int walkPath(int dir, const std::string& path, bool create, Walk* walk) {
  int current = !path.empty() && path[0] == '/'
                    ? ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                    : ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (const std::string& part : components(path)) {
    if (current < 0)
      return -1;
    const int next = openPart(current, part, create, walk);
    ::close(current);
    current = next;
  }
  return current;
}

// A folder no other user can write into: the running user's or root's,
// writable by group or others only with the sticky bit.
bool safeWay(int fd, std::string* why) {
  struct stat status;
  if (::fstat(fd, &status) != 0) {
    *why = std::strerror(errno);
    return false;
  }
  if ((status.st_uid == ::geteuid() || status.st_uid == 0) &&
      (!(status.st_mode & 022) || (status.st_mode & S_ISVTX)))
    return true;
  *why = "a folder on the way is open to other users";
  return false;
}

}  // namespace

CheckedFolder::~CheckedFolder() { close(); }

bool CheckedFolder::openSafePlace(const std::string& path, std::string* why) {
  close();
  if (path.empty() || path[0] != '/') {
    *why = "not an absolute path";
    return false;
  }
  int current = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (const std::string& part : components(path)) {
    if (current < 0 || !safeWay(current, why))
      break;
    const int next =
        ::openat(current, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0)
      *why = errno == ELOOP ? "a symbolic link on the way" : std::strerror(errno);
    ::close(current);
    current = next;
  }
  if (current < 0 || !safeWay(current, why)) {
    if (current >= 0)
      ::close(current);
    return false;
  }
  handle_ = current;
  name_ = path;
  return true;
}

bool CheckedFolder::openPrivate(const std::string& name, bool fresh, CheckedFolder* folder,
                                bool* taken, std::string* why) const {
  folder->close();
  const int dir = static_cast<int>(handle_);
  *taken = false;
  if (::mkdirat(dir, name.c_str(), 0700) != 0 && (fresh || errno != EEXIST)) {
    *taken = errno == EEXIST;
    *why = std::strerror(errno);
    return false;
  }
  const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat status;
  if (fd < 0 || ::fstat(fd, &status) != 0) {
    *taken = errno == ELOOP || errno == ENOTDIR;
    *why = std::strerror(errno);
    if (fd >= 0)
      ::close(fd);
    return false;
  }
  if (status.st_uid != ::geteuid() || (status.st_mode & 077)) {
    *taken = true;
    *why = "not a folder of the user's own that only the user may enter";
    ::close(fd);
    return false;
  }
  folder->handle_ = fd;
  folder->name_ = name_ + "/" + name;
  return true;
}

bool CheckedFolder::removeEmptyFolder(const std::string& name) const {
  return ::unlinkat(static_cast<int>(handle_), name.c_str(), AT_REMOVEDIR) == 0;
}

void CheckedFolder::close() {
  if (handle_ != -1)
    ::close(static_cast<int>(handle_));
  handle_ = -1;
}

bool CheckedFolder::open(const std::string& path, bool create, std::string* err) {
  close();
  err->clear();
  name_ = path;
  Walk walk;
  handle_ = walkPath(AT_FDCWD, path, create, &walk);
  if (handle_ < 0 && walk.refused)
    *err = linkRefusal(path);
  return handle_ >= 0;
}

bool CheckedFolder::followLinks(const std::string& name, CheckedFolder* target,
                                std::string* targetName, std::string* err) const {
  err->clear();
  target->close();
  int dir = static_cast<int>(handle_);
  std::string current = name, folder = name_;
  Walk walk;
  for (;;) {
    std::string text;
    const int link = readOwnLink(dir, current, &text, &walk);
    if (link == 0)
      break;
    const std::string::size_type slash = text.rfind('/');
    const std::string base = slash == std::string::npos ? text : text.substr(slash + 1);
    // A loop, or a link to a folder (which a plain write cannot open either).
    if (link < 0 || ++walk.links > kMaxLinks || base.empty() || base == "." || base == "..") {
      const std::string shown = folder.empty() ? current : folder + "/" + current;
      if (walk.refused)
        *err = linkRefusal(shown);
      else if (walk.links > kMaxLinks)
        *err = cannotWrite(shown, std::strerror(ELOOP));
      else
        *err = cannotWrite(shown, link < 0 ? "the link cannot be read" : std::strerror(EISDIR));
      target->close();
      return false;
    }
    if (slash != std::string::npos) {
      const std::string part = slash == 0 ? "/" : text.substr(0, slash);
      const int next = walkPath(dir, part, false, &walk);
      target->close();
      if (next < 0) {
        *err = walk.refused ? linkRefusal(text)
                            : cannotWrite(text, "the folder the link leads to cannot be opened");
        return false;
      }
      target->handle_ = dir = next;
      folder = part[0] == '/' || folder.empty() ? part : folder + "/" + part;
      target->name_ = folder;
    }
    current = base;
  }
  *targetName = current;
  return true;
}

bool CheckedFolder::sameFile(const std::string& name, const std::string& path) const {
  struct stat inFolder, named;
  return ::fstatat(static_cast<int>(handle_), name.c_str(), &inFolder, 0) == 0 &&
         ::stat(path.c_str(), &named) == 0 && inFolder.st_dev == named.st_dev &&
         inFolder.st_ino == named.st_ino;
}

bool isPathSeparator(char c) { return c == '/'; }

bool isParentReference(const std::string& part) { return part == ".."; }

std::string::size_type rootLength(const std::string&) { return 0; }

bool losesItsEnd(const std::string&) { return false; }

}  // namespace KVEL
