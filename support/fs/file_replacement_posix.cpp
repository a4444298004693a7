#include "support/fs/file_replacement_parts.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/signal_death.h"

namespace KVEL {
namespace replacement {

namespace {

int folderOf(const CheckedFolder& folder) { return static_cast<int>(folder.handle()); }

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const int kInterruptCount = sizeof kInterrupts / sizeof kInterrupts[0];

// Read by the signal handler: the temporary file to remove, or none.
volatile int guardedFolder = -1;
const char* volatile guardedName = nullptr;

// Removes the temporary file and ends the process of the same signal, with
// async-signal-safe calls only.
extern "C" void removeTemporaryAndDie(int signal) {
  const char* name = guardedName;
  if (name)
    ::unlinkat(guardedFolder, name, 0);
  frontend::dieBySignal(signal);
}

// Holds the interrupts back while a temporary file comes or goes together
// with its name for the handler, so that the handler never sees one without
// the other.
class InterruptsBlocked {
public:
  InterruptsBlocked() {
    sigset_t set;
    ::sigemptyset(&set);
    for (int signal : kInterrupts)
      ::sigaddset(&set, signal);
    ::sigprocmask(SIG_BLOCK, &set, &previous_);
  }
  ~InterruptsBlocked() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  InterruptsBlocked(const InterruptsBlocked&) = delete;
  InterruptsBlocked& operator=(const InterruptsBlocked&) = delete;

private:
  sigset_t previous_;
};

// Call with the interrupts blocked; a null name: no temporary file.
void guard(int folder, const char* name) {
  guardedFolder = folder;
  guardedName = name;
}

struct sigaction previousAction[kInterruptCount], previousFileSize;
bool installed[kInterruptCount], fileSizeChanged = false;

bool writeAll(int fd, std::string_view piece) {
  while (!piece.empty()) {
    const ssize_t written = ::write(fd, piece.data(), piece.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    piece.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool writeAll(int fd, const std::vector<std::string_view>& pieces) {
  for (std::string_view piece : pieces)
    if (!writeAll(fd, piece))
      return false;
  return true;
}

// True when name in folder is, without following a link, the open file fd.
bool names(int folder, const std::string& name, int fd) {
  struct stat held, named;
  return ::fstat(fd, &held) == 0 &&
         ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

// The interrupts remove the guarded temporary before the process ends of
// them (an interrupt that is ignored stays so), and SIGXFSZ is ignored, so
// that a write past the file-size limit fails with EFBIG.
InterruptScope::InterruptScope() {
  InterruptsBlocked blocked;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = removeTemporaryAndDie;
  ::sigemptyset(&action.sa_mask);
  for (int signal : kInterrupts)
    ::sigaddset(&action.sa_mask, signal);
  for (int i = 0; i < kInterruptCount; ++i) {
    installed[i] = false;
    if (::sigaction(kInterrupts[i], nullptr, &previousAction[i]) != 0)
      continue;
    if (!(previousAction[i].sa_flags & SA_SIGINFO) && previousAction[i].sa_handler == SIG_IGN)
      continue;
    installed[i] = ::sigaction(kInterrupts[i], &action, nullptr) == 0;
  }
  struct sigaction ignore;
  std::memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  ::sigemptyset(&ignore.sa_mask);
  fileSizeChanged = ::sigaction(SIGXFSZ, &ignore, &previousFileSize) == 0;
}

InterruptScope::~InterruptScope() {
  InterruptsBlocked blocked;
  guard(-1, nullptr);
  for (int i = 0; i < kInterruptCount; ++i)
    if (installed[i])
      ::sigaction(kInterrupts[i], &previousAction[i], nullptr);
  if (fileSizeChanged)
    ::sigaction(SIGXFSZ, &previousFileSize, nullptr);
}

bool usablePath(const CheckedFolder&, const std::string&, std::string*) { return true; }

std::string lastErrorText() { return std::strerror(errno); }

long long openToLock(const CheckedFolder& folder, const std::string& name) {
  const int fd = ::openat(folderOf(folder), name.c_str(),
                          O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  struct stat status;
  if (fd >= 0 && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool tryLock(long long file, bool* unsupported) {
  if (::flock(static_cast<int>(file), LOCK_EX | LOCK_NB) == 0)
    return true;
  *unsupported = errno != EWOULDBLOCK && errno != EINTR;
  return false;
}

bool stillNamed(const CheckedFolder& folder, const std::string& name, long long file) {
  return names(folderOf(folder), name, static_cast<int>(file));
}

void closeFile(long long file) {
  if (file >= 0)
    ::close(static_cast<int>(file));
}

unsigned long processId() { return static_cast<unsigned long>(::getpid()); }

bool inspect(const CheckedFolder& folder, const std::string& name, FileState* state) {
  struct stat status;
  *state = FileState();
  if (::fstatat(folderOf(folder), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT;
  state->exists = true;
  state->regular = S_ISREG(status.st_mode);
  state->directory = S_ISDIR(status.st_mode);
  state->links = status.st_nlink;
  state->size = static_cast<unsigned long long>(status.st_size);
  state->mode = status.st_mode & 07777;
  state->owner = status.st_uid;
  state->group = status.st_gid;
  return true;
}

bool refused(const CheckedFolder& folder, const std::string& name, const FileState& state,
             std::string* err) {
  if (!state.regular) {
    *err = cannotWrite(displayPath(folder, name), "not a regular file");
    return true;
  }
  if (::faccessat(folderOf(folder), name.c_str(), W_OK, AT_EACCESS) == 0 || errno == ENOENT)
    return false;
  *err = cannotWrite(displayPath(folder, name), std::strerror(errno));
  return true;
}

// A temporary of a killed launch: of the launches' name form, a regular file
// of the running user with one name, that no running launch holds locked.
// The name is checked to still be the locked file when it is removed.
void removeStaleTemporaries(const CheckedFolder& folder) {
  const int dir = folderOf(folder);
  const int listed = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* listing = listed >= 0 ? ::fdopendir(listed) : nullptr;
  if (!listing) {
    if (listed >= 0)
      ::close(listed);
    return;
  }
  const uid_t self = ::geteuid();
  while (const struct dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    struct stat status;
    // Only a regular file is opened: a FIFO or a device is never touched.
    if (!isLaunchTemporary(name) ||
        ::fstatat(dir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode))
      continue;
    const int fd =
        ::openat(dir, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
      continue;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == self &&
        status.st_nlink == 1 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && names(dir, name, fd))
      ::unlinkat(dir, name.c_str(), 0);
    ::close(fd);
  }
  ::closedir(listing);
}

TempFile::~TempFile() {
  std::string ignored;
  remove(&ignored);
}

Outcome TempFile::create(const std::string& name, const FileState* old, bool* taken,
                         std::string* err) {
  const int dir = folderOf(folder_);
  name_ = name;
  int fd, error;
  {
    InterruptsBlocked blocked;
    fd = ::openat(dir, name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    error = errno;
    if (fd >= 0)
      guard(dir, name_.c_str());
  }
  *taken = fd < 0 && error == EEXIST;
  if (fd < 0)
    return Outcome::Unavailable;
  made_ = true;
  file_ = fd;
  // A file system without locks leaves the file unlocked; the cleaning
  // cannot lock it either and leaves it alone.
  const int lock = ::openat(dir, name_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  lock_ = lock;
  const bool contested = lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  struct stat made;
  if (contested || !names(dir, name_, fd) || ::fstat(fd, &made) != 0) {
    // Another launch's cleaning took it between its creation and the lock:
    // that launch removes it, this one tries the next name.
    made_ = false;
    remove(err);
    *taken = true;
    return Outcome::Unavailable;
  }
  // The mode (and owner) of the replaced file, or an ordinary new file's.
  mode_t mode;
  bool given = true;
  if (ownerOnly_) {
    mode = 0600;
  } else if (old) {
    if (made.st_uid != old->owner || made.st_gid != old->group)
      given = ::fchown(fd, static_cast<uid_t>(old->owner), static_cast<gid_t>(old->group)) == 0;
    mode = static_cast<mode_t>(old->mode);
  } else {
    // Reading the mask means setting it; replacements run one at a time.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (given && ::fchmod(fd, mode) == 0)
    return Outcome::Done;
  return remove(err) ? Outcome::Unavailable : Outcome::Failed;
}

bool TempFile::write(const std::vector<std::string_view>& pieces, bool* noRoom) {
  if (writeAll(static_cast<int>(file_), pieces))
    return true;
  *noRoom = errno == ENOSPC || errno == EDQUOT;
  return false;
}

bool TempFile::close() {
  const int fd = static_cast<int>(file_);
  file_ = -1;
  return ::close(fd) == 0;
}

bool TempFile::renameOver(const std::string& target, bool* refused) {
  const int dir = folderOf(folder_);
#if defined(__linux__) && defined(RENAME_EXCHANGE)
  // Over an existing regular file, swap the two names and drop the old file
  // (remove() does): as atomic for readers as rename(), but ext4 does not
  // force the new data out to disk first, which costs a launch about as much
  // as the rest of it.
  struct stat status;
  if (::fstatat(dir, target.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISREG(status.st_mode) &&
      ::renameat2(dir, name_.c_str(), dir, target.c_str(), RENAME_EXCHANGE) == 0)
    return true;
#endif
  if (::renameat(dir, name_.c_str(), dir, target.c_str()) == 0) {
    made_ = false;
    return true;
  }
  // A sticky folder lets only the file's owner replace it; a plain write
  // may still be allowed.
  *refused = errno == EPERM || errno == EACCES;
  return false;
}

void TempFile::release() {
  InterruptsBlocked blocked;
  if (guardedName == name_.c_str())
    guard(-1, nullptr);
}

bool TempFile::remove(std::string* err) {
  bool removed = true;
  {
    InterruptsBlocked blocked;
    if (made_)
      removed = ::unlinkat(folderOf(folder_), name_.c_str(), 0) == 0 || errno == ENOENT;
    guard(-1, nullptr);
  }
  if (!removed)
    *err = removalFailure(displayPath(folder_, name_));
  made_ = false;
  for (long long* fd : {&file_, &lock_}) {
    if (*fd >= 0)
      ::close(static_cast<int>(*fd));
    *fd = -1;
  }
  return removed;
}

InPlaceFile::~InPlaceFile() {
  if (file_ >= 0)
    ::close(static_cast<int>(file_));
}

bool InPlaceFile::open(const CheckedFolder& folder, const std::string& name, std::string* err) {
  folder_ = &folder;
  name_ = name;
  const int dir = folderOf(folder);
  // Never opened unless a regular file: a FIFO would block or swallow the
  // script, and opening a device may act on it.
  const std::string notRegular = cannotWrite(displayPath(folder, name), "not a regular file");
  struct stat status;
  if (::fstatat(dir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(status.st_mode)) {
    *err = notRegular;
    return false;
  }
  const int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
  int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | flags, 0666);
  created_ = fd >= 0;
  if (fd < 0 && errno == EEXIST) {
    fd = ::openat(dir, name.c_str(), O_RDWR | flags);
    if (fd < 0 && errno == EACCES) {
      readable_ = false;
      fd = ::openat(dir, name.c_str(), O_WRONLY | flags);
    }
  }
  if (fd < 0)
    return false;
  file_ = fd;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    *err = notRegular;
    return false;
  }
  size_ = static_cast<unsigned long long>(status.st_size);
  return true;
}

bool InPlaceFile::roomFor(unsigned long long size) {
  const int fd = static_cast<int>(file_);
  struct rlimit limit;
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      static_cast<rlim_t>(size) > limit.rlim_cur) {
    errno = EFBIG;
    return false;
  }
  if (size <= size_)
    return true;
#if defined(__linux__) && defined(FALLOC_FL_KEEP_SIZE)
  // Reserves the blocks without changing the file's size or content.
  if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0)
    return true;
  if (errno != EOPNOTSUPP && errno != ENOSYS)
    return false;
#endif
  struct statvfs space;
  if (::fstatvfs(fd, &space) != 0)
    return false;
  const unsigned long long free = static_cast<unsigned long long>(space.f_bavail) * space.f_frsize;
  errno = ENOSPC;
  return free >= size - size_ + space.f_frsize;
}

bool InPlaceFile::readAll(std::string* content) {
  content->resize(static_cast<std::size_t>(size_));
  std::size_t done = 0;
  while (done < content->size()) {
    const ssize_t got = ::pread(static_cast<int>(file_), &(*content)[done], content->size() - done,
                                static_cast<off_t>(done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

bool InPlaceFile::rewrite(const std::vector<std::string_view>& pieces) {
  const int fd = static_cast<int>(file_);
  return ::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, pieces) &&
         ::ftruncate(fd, static_cast<off_t>(textSize(pieces))) == 0;
}

bool InPlaceFile::rewriteBytes(const std::string& bytes) { return rewrite({bytes}); }

bool InPlaceFile::close() {
  const int fd = static_cast<int>(file_);
  file_ = -1;
  return ::close(fd) == 0;
}

void InPlaceFile::removeCreated() {
  if (created_)
    ::unlinkat(folderOf(*folder_), name_.c_str(), 0);
}

unsigned long long textSize(const std::vector<std::string_view>& pieces) {
  unsigned long long size = 0;
  for (std::string_view piece : pieces)
    size += piece.size();
  return size;
}

}  // namespace replacement
}  // namespace KVEL
