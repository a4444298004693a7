#include "support/fs/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace KVEL {
namespace fs {

namespace {

int descriptor(Handle handle) { return static_cast<int>(handle); }
int folderOf(const CheckedFolder& folder) { return descriptor(folder.handle()); }

}  // namespace

bool closeHandle(Handle handle) { return handle < 0 || ::close(descriptor(handle)) == 0; }

unsigned long processId() { return static_cast<unsigned long>(::getpid()); }

Failure lastFailure() {
  switch (errno) {
    case ENOENT:
      return Failure::Missing;
    case EEXIST:
      return Failure::Exists;
    case ENOSPC:
    case EDQUOT:
      return Failure::NoRoom;
    case EACCES:
    case EPERM:
      return Failure::Denied;
    case EWOULDBLOCK:
      return Failure::Busy;
    case ELOOP:
      return Failure::Loop;
    default:
      return Failure::Other;
  }
}

std::string lastErrorText() { return std::strerror(errno); }

bool mayWrite(const CheckedFolder& folder, const std::string& name) {
  return ::faccessat(folderOf(folder), name.c_str(), W_OK, AT_EACCESS) == 0;
}

Handle openAt(const CheckedFolder& folder, const std::string& name, unsigned flags) {
  int how = O_CLOEXEC | O_NONBLOCK | O_NOCTTY | ((flags & kFollow) ? 0 : O_NOFOLLOW);
  if (flags & kWrite)
    how |= (flags & kRead) ? O_RDWR : O_WRONLY;
  else
    how |= O_RDONLY;
  if (flags & kCreateNew)
    how |= O_CREAT | O_EXCL;
  return ::openat(folderOf(folder), name.c_str(), how, (flags & (kOwnerOnly | kKeepWritersOut)) ? 0600 : 0666);
}

Handle openUnnamedTemporary() {
#ifdef O_TMPFILE
  const char* folder = std::getenv("TMPDIR");
  for (const char* dir : {folder, "/tmp"}) {
    if (dir == nullptr || *dir == '\0')
      continue;
    const int fd = ::open(dir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
      return fd;
  }
#else
  errno = ENOTSUP;
#endif
  return kNoHandle;
}

bool writeAll(Handle file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor(file), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool readAt(Handle file, unsigned long long offset, char* buffer, std::size_t size,
            std::size_t* got) {
  ssize_t read;
  do
    read = ::pread(descriptor(file), buffer, size, static_cast<off_t>(offset));
  while (read < 0 && errno == EINTR);
  *got = read > 0 ? static_cast<std::size_t>(read) : 0;
  return read >= 0;
}

bool rewind(Handle file) { return ::lseek(descriptor(file), 0, SEEK_SET) == 0; }

bool truncate(Handle file, unsigned long long size) {
  return ::ftruncate(descriptor(file), static_cast<off_t>(size)) == 0;
}

bool renameAt(const CheckedFolder& folder, const std::string& from, const std::string& to,
              bool* swapped) {
  const int dir = folderOf(folder);
  *swapped = false;
#if defined(__linux__) && defined(RENAME_EXCHANGE)
  // ext4 forces the new data out to disk before a rename over a file, which
  // costs a launch about as much as the rest of it; a swap does not.
  Status status;
  if (statusAt(folder, to, false, &status) && status.regular &&
      ::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_EXCHANGE) == 0)
    return *swapped = true;
#endif
  return ::renameat(dir, from.c_str(), dir, to.c_str()) == 0;
}

bool removeAt(const CheckedFolder& folder, const std::string& name) {
  return ::unlinkat(folderOf(folder), name.c_str(), 0) == 0;
}

bool removeOpen(const CheckedFolder& folder, const std::string& name, Handle) {
  return removeAt(folder, name);
}

bool list(const CheckedFolder& folder, std::vector<std::string>* names) {
  const int listed = ::openat(folderOf(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* listing = listed >= 0 ? ::fdopendir(listed) : nullptr;
  if (!listing) {
    if (listed >= 0)
      ::close(listed);
    return false;
  }
  while (const struct dirent* entry = ::readdir(listing))
    names->push_back(entry->d_name);
  ::closedir(listing);
  return true;
}

bool tryLock(Handle file, bool* unsupported) {
  if (::flock(descriptor(file), LOCK_EX | LOCK_NB) == 0)
    return true;
  *unsupported = errno != EWOULDBLOCK && errno != EINTR;
  return false;
}

bool givePermissions(Handle file, const Status* old) {
  const int fd = descriptor(file);
  if (!old) {
    // Reading the mask means setting it; replacements run one at a time.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return ::fchmod(fd, 0666 & ~mask) == 0;
  }
  Status made;
  if (!statusOf(file, &made))
    return false;
  if ((made.ownerId != old->ownerId || made.group != old->group) &&
      ::fchown(fd, static_cast<uid_t>(old->ownerId), static_cast<gid_t>(old->group)) != 0)
    return false;
  return ::fchmod(fd, static_cast<mode_t>(old->mode)) == 0;
}

bool reserve(Handle file, unsigned long long size, bool* unsupported) {
  *unsupported = true;
#if defined(__linux__) && defined(FALLOC_FL_KEEP_SIZE)
  if (::fallocate(descriptor(file), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0)
    return true;
  *unsupported = errno == EOPNOTSUPP || errno == ENOSYS;
#else
  (void)file;
  (void)size;
#endif
  return false;
}

bool withinSizeLimit(unsigned long long size) {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      static_cast<rlim_t>(size) <= limit.rlim_cur)
    return true;
  errno = EFBIG;
  return false;
}

bool freeRoom(const CheckedFolder&, Handle file, unsigned long long* bytes,
              unsigned long long* unit) {
  struct statvfs space;
  if (::fstatvfs(descriptor(file), &space) != 0)
    return false;
  *bytes = static_cast<unsigned long long>(space.f_bavail) * space.f_frsize;
  *unit = space.f_frsize;
  errno = ENOSPC;
  return true;
}

bool pathTooLong(const CheckedFolder&, const std::string&, std::size_t*) { return false; }

}  // namespace fs
}  // namespace KVEL
