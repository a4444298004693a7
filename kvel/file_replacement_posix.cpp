#include "kvel/file_replacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "framework/signal_death.h"
#include "kvel/cmdfile/file_status.h"
#include "kvel/file_replacement_parts.h"

namespace KVEL {

namespace {

using replacement::OneAtATime;
using replacement::Outcome;
using replacement::removalFailure;

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const int kInterruptCount = sizeof kInterrupts / sizeof kInterrupts[0];

// Read by the signal handler: the temporary file to remove, or null.
const char* volatile temporaryName = nullptr;

// Removes the temporary file and ends the process of the same signal, with
// async-signal-safe calls only.
extern "C" void removeTemporaryAndDie(int signal) {
  const char* name = temporaryName;
  if (name)
    ::unlink(name);
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

// The signal dispositions of one replacement: the interrupts remove the
// temporary file named by guard() before the process ends of them (an
// interrupt that is ignored stays so), and SIGXFSZ is ignored, so that a
// write past the file-size limit fails with EFBIG. All of it is put back when
// the scope ends.
class SignalScope {
public:
  SignalScope() {
    InterruptsBlocked blocked;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = removeTemporaryAndDie;
    ::sigemptyset(&action.sa_mask);
    for (int signal : kInterrupts)
      ::sigaddset(&action.sa_mask, signal);
    for (int i = 0; i < kInterruptCount; ++i) {
      installed_[i] = false;
      if (::sigaction(kInterrupts[i], nullptr, &previous_[i]) != 0)
        continue;
      if (!(previous_[i].sa_flags & SA_SIGINFO) && previous_[i].sa_handler == SIG_IGN)
        continue;
      installed_[i] = ::sigaction(kInterrupts[i], &action, nullptr) == 0;
    }
    struct sigaction ignore;
    std::memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    ::sigemptyset(&ignore.sa_mask);
    fileSizeChanged_ = ::sigaction(SIGXFSZ, &ignore, &previousFileSize_) == 0;
  }
  ~SignalScope() {
    InterruptsBlocked blocked;
    temporaryName = nullptr;
    for (int i = 0; i < kInterruptCount; ++i)
      if (installed_[i])
        ::sigaction(kInterrupts[i], &previous_[i], nullptr);
    if (fileSizeChanged_)
      ::sigaction(SIGXFSZ, &previousFileSize_, nullptr);
  }
  SignalScope(const SignalScope&) = delete;
  SignalScope& operator=(const SignalScope&) = delete;

  // Call with the interrupts blocked; null: no temporary file.
  static void guard(const char* name) { temporaryName = name; }

private:
  struct sigaction previous_[kInterruptCount];
  bool installed_[kInterruptCount];
  struct sigaction previousFileSize_;
  bool fileSizeChanged_ = false;
};

// The file that path names once symbolic links are followed, as opening it
// would. Empty when the links cannot be followed (a loop, a link that changes
// meanwhile): the file is then written in place, where opening reports it.
std::string followLinks(const std::string& path) {
  std::string target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat status;
    if (::lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
      return target;
    std::vector<char> text(status.st_size > 0 ? static_cast<std::size_t>(status.st_size) + 1 : 4096);
    ssize_t length = ::readlink(target.c_str(), text.data(), text.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= text.size())
      return std::string();
    std::string link(text.data(), static_cast<std::size_t>(length));
    if (link[0] == '/') {
      target = link;
    } else {
      std::string::size_type slash = target.rfind('/');
      target = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + link;
    }
  }
  return std::string();
}

std::string directoryOf(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "<base>.<digits>.<digits>": a temporary file of some replacement of base.
bool isTemporaryOf(const char* name, const std::string& base) {
  if (std::strncmp(name, base.c_str(), base.size()) != 0 || name[base.size()] != '.')
    return false;
  const char* p = name + base.size() + 1;
  for (int part = 0; part < 2; ++part) {
    const char* start = p;
    while (*p >= '0' && *p <= '9')
      ++p;
    if (p == start || *p != (part == 0 ? '.' : '\0'))
      return false;
    ++p;
  }
  return true;
}

// Removes the temporary files beside target whose lock can be taken: no
// running replacement holds them. The name is checked to still be the locked
// file before it is removed; what cannot be removed stays.
void removeStaleTemporaries(const std::string& target) {
  const std::string directory = directoryOf(target);
  const std::string base = baseNameOf(target);
  DIR* listing = ::opendir(directory.c_str());
  if (!listing)
    return;
  const std::string prefix = target.find('/') == std::string::npos ? "" : directory + "/";
  while (const struct dirent* entry = ::readdir(listing)) {
    if (!isTemporaryOf(entry->d_name, base))
      continue;
    const std::string name = prefix + entry->d_name;
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
      continue;
    struct stat locked;
    if (::fstat(fd, &locked) == 0 && S_ISREG(locked.st_mode) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && namesOpenFile(name, fd))
      ::unlink(name.c_str());
    ::close(fd);
  }
  ::closedir(listing);
}

bool writeAll(int fd, const std::vector<std::string_view>& pieces) {
  for (std::string_view piece : pieces) {
    while (!piece.empty()) {
      ssize_t written = ::write(fd, piece.data(), piece.size());
      if (written < 0 && errno == EINTR)
        continue;
      if (written <= 0)
        return false;
      piece.remove_prefix(static_cast<std::size_t>(written));
    }
  }
  return true;
}

// A temporary file of this process beside target, locked and with the
// replaced file's mode and owner, guarded against interrupts while it exists.
class Temporary {
public:
  explicit Temporary(std::string* err) : err_(err) {}
  ~Temporary() { remove(); }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  // Unavailable when none can be made; Failed when one was made but then
  // could not be given the mode and could not be removed either.
  Outcome create(const std::string& target, const struct stat* old) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      name_ = target + "." + std::to_string(::getpid()) + "." + std::to_string(attempt);
      int error = 0;
      {
        InterruptsBlocked blocked;
        fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        error = errno;
        if (fd_ >= 0)
          SignalScope::guard(name_.c_str());
      }
      made_ = fd_ >= 0;
      if (fd_ < 0) {
        if (error == EEXIST)
          continue;
        return Outcome::Unavailable;
      }
      // A file system without locks leaves the file unlocked; the clean-up
      // cannot lock it either and leaves it alone.
      lock_ = ::open(name_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
      const bool contested =
          lock_ >= 0 && ::flock(lock_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
      struct stat made;
      if (!contested && namesOpenFile(name_, fd_) && ::fstat(fd_, &made) == 0)
        return giveMode(made, old) ? Outcome::Done : (remove() ? Outcome::Unavailable : Outcome::Failed);
      // Another launch's clean-up took it between its creation and the lock:
      // that launch removes the file, this one tries the next name.
      forget();
    }
    return Outcome::Unavailable;
  }

  int fd() const { return fd_; }
  const std::string& name() const { return name_; }

  bool closeFile() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

  // Removes the file; false (with *err set) when it stays.
  bool remove() {
    if (!made_)
      return true;
    bool removed;
    {
      InterruptsBlocked blocked;
      removed = ::unlink(name_.c_str()) == 0 || errno == ENOENT;
      SignalScope::guard(nullptr);
    }
    release();
    if (!removed)
      *err_ = removalFailure(name_);
    return removed;
  }

  // The file is in place or gone: forget it.
  void forget() {
    {
      InterruptsBlocked blocked;
      SignalScope::guard(nullptr);
    }
    release();
  }

private:
  void release() {
    made_ = false;
    if (fd_ >= 0)
      ::close(fd_);
    if (lock_ >= 0)
      ::close(lock_);
    fd_ = lock_ = -1;
  }

  // The mode (and owner) the replaced file has, or an ordinary new file's.
  bool giveMode(const struct stat& made, const struct stat* old) {
    mode_t mode;
    if (old) {
      if ((made.st_uid != old->st_uid || made.st_gid != old->st_gid) &&
          ::fchown(fd_, old->st_uid, old->st_gid) != 0)
        return false;
      mode = old->st_mode & 07777;
    } else {
      // Reading the mask means setting it; replacements run one at a time.
      mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    return ::fchmod(fd_, mode) == 0;
  }

  std::string* err_;
  std::string name_;
  bool made_ = false;  // the file exists and is this replacement's
  int fd_ = -1;
  int lock_ = -1;
};

bool moveIntoPlace(const Temporary& temporary, const std::string& target, bool* oldAtTemporary) {
  *oldAtTemporary = false;
#if defined(__linux__) && defined(RENAME_EXCHANGE)
  // Over an existing regular file, swap the two names and drop the old file:
  // as atomic for readers as rename(), but ext4 does not force the new data
  // out to disk first, which costs a launch about as much as the rest of it.
  struct stat status;
  if (::lstat(target.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
      ::renameat2(AT_FDCWD, temporary.name().c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) ==
          0) {
    *oldAtTemporary = true;
    return true;
  }
#endif
  return ::rename(temporary.name().c_str(), target.c_str()) == 0;
}

Outcome replaceThroughTemporary(const std::string& target,
                                const std::vector<std::string_view>& pieces, std::string* err) {
  struct stat old;
  const bool exists = ::lstat(target.c_str(), &old) == 0;
  if (exists && (!S_ISREG(old.st_mode) || old.st_nlink > 1))
    return Outcome::Unavailable;
  // The temporary's longer name must pass the limits that the file's passes.
  const std::size_t suffix = 1 + 10 + 1 + 2;
  if (target.size() + suffix >= PATH_MAX || baseNameOf(target).size() + suffix > NAME_MAX)
    return Outcome::Unavailable;

  Temporary temporary(err);
  Outcome made = temporary.create(target, exists ? &old : nullptr);
  if (made != Outcome::Done)
    return made;
  if (!writeAll(temporary.fd(), pieces)) {
    // Out of room for a second copy: in place needs only the difference.
    const bool noRoom = errno == ENOSPC || errno == EDQUOT;
    if (!temporary.remove())
      return Outcome::Failed;
    return noRoom ? Outcome::Unavailable : Outcome::Failed;
  }
  if (!temporary.closeFile()) {
    temporary.remove();
    return Outcome::Failed;
  }
  bool oldAtTemporary = false;
  if (!moveIntoPlace(temporary, target, &oldAtTemporary)) {
    // A sticky directory lets only the file's owner replace it; a plain
    // write may still be allowed.
    const bool refused = errno == EPERM || errno == EACCES;
    if (!temporary.remove())
      return Outcome::Failed;
    return refused ? Outcome::Unavailable : Outcome::Failed;
  }
  if (oldAtTemporary)
    return temporary.remove() ? Outcome::Done : Outcome::Failed;
  temporary.forget();
  return Outcome::Done;
}

// Makes sure that size bytes can be written into the regular file fd from
// its start without running out of room or past the file-size limit.
bool roomFor(int fd, off_t size, off_t oldSize) {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      static_cast<rlim_t>(size) > limit.rlim_cur)
    return false;
  if (size <= oldSize)
    return true;
#if defined(__linux__) && defined(FALLOC_FL_KEEP_SIZE)
  // Reserves the blocks without changing the file's size or content.
  if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0)
    return true;
  if (errno != EOPNOTSUPP && errno != ENOSYS)
    return false;
#endif
  struct statvfs space;
  if (::fstatvfs(fd, &space) != 0)
    return false;
  const unsigned long long free =
      static_cast<unsigned long long>(space.f_bavail) * space.f_frsize;
  return free >= static_cast<unsigned long long>(size - oldSize) + space.f_frsize;
}

bool readAll(int fd, std::string* content, off_t size) {
  content->resize(static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < content->size()) {
    ssize_t got = ::pread(fd, &(*content)[done], content->size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

// Writes the file itself, as a plain write does, but keeps the old content
// until the new one fits: the room is made sure of first, and a write that
// still fails puts the old content back.
bool writeInPlace(const std::string& path, const std::vector<std::string_view>& pieces) {
  bool created = true, readable = true;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
      // Write-only: the room is still made sure of, the old content is not kept.
      readable = false;
      fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    }
  }
  if (fd < 0)
    return false;
  struct stat status;
  if (::fstat(fd, &status) != 0) {
    ::close(fd);
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    // A device or a pipe holds no old content to keep.
    bool written = writeAll(fd, pieces);
    return (::close(fd) == 0) && written;
  }
  off_t size = 0;
  for (std::string_view piece : pieces)
    size += static_cast<off_t>(piece.size());
  std::string old;
  const bool room = roomFor(fd, size, status.st_size);
  const bool kept = room && (created || !readable || readAll(fd, &old, status.st_size));
  bool written = kept && ::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, pieces) &&
                 ::ftruncate(fd, size) == 0;
  if (!written && kept && !created && readable) {
    std::vector<std::string_view> restore{old};
    if (::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, restore))
      ::ftruncate(fd, status.st_size);
  }
  written = (::close(fd) == 0) && written;
  if (!written && created)
    ::unlink(path.c_str());
  return written;
}

}  // namespace

FileReplacement::FileReplacement(std::string path) : path_(std::move(path)) {}

bool FileReplacement::replace(const std::vector<std::string_view>& pieces, std::string* err) {
  err->clear();
  OneAtATime turn;
  if (!turn.acquired)
    return false;
  SignalScope signals;
  const std::string target = followLinks(path_);
  if (target.empty())
    return writeInPlace(path_, pieces);
  // A file that a plain write could not open stays as it is.
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
    return false;
  removeStaleTemporaries(target);
  const Outcome outcome = replaceThroughTemporary(target, pieces, err);
  if (outcome != Outcome::Unavailable)
    return outcome == Outcome::Done;
  // The file the links lead to: a dangling link's file is made there.
  return writeInPlace(target, pieces);
}

}  // namespace KVEL
