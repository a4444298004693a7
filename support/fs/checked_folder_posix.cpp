#include "support/fs/checked_folder.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "support/fs/file_system.h"

// Links are looked at and read through descriptors of their own (O_PATH,
// Linux).
#ifndef O_PATH
#error "the checked folder needs O_PATH"
#endif

namespace KVEL {

namespace {

const int kMaxLinks = 40;  // as the kernel's own limit on a path

struct Walk {
  int links = 0;
  bool refused = false;  // a link of another user was met
};

// Reads the link `name` in dir through a handle of its own, so that the
// link whose owner is checked is the link read. 1: *text holds a link of the
// running user or root; 0: name is no link (or is missing); -1: refused or
// unreadable.
int readOwnLink(int dir, const std::string& name, std::string* text, Walk* walk) {
  const int link = ::openat(dir, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (link < 0)
    return errno == ENOENT || errno == ENOTDIR ? 0 : -1;
  fs::Status status;
  int result = -1;
  if (!fs::statusOf(link, &status)) {
    result = -1;
  } else if (!status.link) {
    result = 0;
  } else if (status.owner == fs::Owner::other) {
    walk->refused = true;
  } else {
    std::vector<char> buffer(status.size > 0 ? static_cast<std::size_t>(status.size) + 1
                                             : PATH_MAX);
    const ssize_t length = ::readlinkat(link, "", buffer.data(), buffer.size());
    if (length > 0 && static_cast<std::size_t>(length) < buffer.size()) {
      text->assign(buffer.data(), static_cast<std::size_t>(length));
      result = 1;
    }
  }
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
  for (const std::string& part : pathComponents(path)) {
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
  fs::Status status;
  if (!fs::statusOf(fd, &status)) {
    *why = fs::lastErrorText();
    return false;
  }
  if (status.owner != fs::Owner::other && (!(status.mode & 022) || (status.mode & S_ISVTX)))
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
  for (const std::string& part : pathComponents(path)) {
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
  fs::Status status;
  if (fd < 0 || !fs::statusOf(fd, &status)) {
    *taken = errno == ELOOP || errno == ENOTDIR;
    *why = std::strerror(errno);
    if (fd >= 0)
      ::close(fd);
    return false;
  }
  if (status.owner != fs::Owner::runningUser || (status.mode & 077)) {
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

}  // namespace KVEL
