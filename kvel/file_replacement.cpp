#include "kvel/file_replacement.h"

#include <cerrno>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace KVEL {

namespace {

#ifdef _WIN32

// The console's control handler runs on a thread of its own while the main
// thread may be writing the temporary file, which cannot be removed while it
// is open. So the handler only notes the event; the main thread ends the
// process once the file is in place or removed.
volatile LONG consoleEvent = 0;  // the control event that arrived, plus one
HANDLE temporaryGone = nullptr;  // set once the temporary file is dealt with

BOOL WINAPI deferConsoleEvent(DWORD type) {
  InterlockedExchange(&consoleEvent, static_cast<LONG>(type) + 1);
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT)
    return TRUE;
  // Close, log-off and shut-down end the process when this returns.
  if (temporaryGone)
    WaitForSingleObject(temporaryGone, 4000);
  return FALSE;
}

// Nothing to block: the handler never touches the file.
class InterruptsBlocked {
public:
  InterruptsBlocked() {}
};

void guardTemporary(const char*) {
  if (!temporaryGone)
    temporaryGone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ResetEvent(temporaryGone);
  SetConsoleCtrlHandler(deferConsoleEvent, TRUE);
}

void releaseTemporary() {
  SetConsoleCtrlHandler(deferConsoleEvent, FALSE);
  if (temporaryGone)
    SetEvent(temporaryGone);
  if (InterlockedCompareExchange(&consoleEvent, 0, 0) != 0)
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

// Links are not followed here: a file that is a reparse point is written in
// place, which reaches the file it refers to.
std::string followLinks(const std::string& path) { return path; }

// True when the file can be replaced by a new one (or does not exist).
// Another launch's shell may hold the script open without delete sharing, and
// a file being replaced by another launch cannot be opened for a moment: such
// a step is tried again for up to two seconds before it counts as failed.
bool busy(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
         error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

template <typename Step>
bool retryWhileBusy(Step step) {
  for (int attempt = 0;; ++attempt) {
    if (step())
      return true;
    if (attempt == 100 || !busy(GetLastError()))
      return false;
    Sleep(20);
  }
}

bool replaceable(const std::string& target) {
  DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return true;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  HANDLE handle = INVALID_HANDLE_VALUE;
  retryWhileBusy([&] {
    handle = CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
    return handle != INVALID_HANDLE_VALUE || GetLastError() == ERROR_FILE_NOT_FOUND;
  });
  if (handle == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  BY_HANDLE_FILE_INFORMATION information;
  bool single = GetFileInformationByHandle(handle, &information) && information.nNumberOfLinks == 1;
  CloseHandle(handle);
  return single;
}

// Creates the temporary file; _O_EXCL fails when the name is taken, so a
// concurrent run never shares it (msvcrt.dll's fopen knows no "x" mode).
// ReplaceFile gives it the replaced file's attributes and access rights when
// it is moved into place.
std::FILE* createTemporary(const std::string& target, std::vector<char>& name) {
  if (!replaceable(target))
    return nullptr;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = target + "." + std::to_string(_getpid()) + "." + std::to_string(attempt);
    name.assign(candidate.begin(), candidate.end());
    name.push_back('\0');
    guardTemporary(name.data());
    std::FILE* file = nullptr;
    int fd = _open(candidate.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_TEXT,
                   _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      file = _fdopen(fd, "w");
      if (!file) {
        _close(fd);
        std::remove(candidate.c_str());
      }
    }
    if (file)
      return file;
    int error = fd >= 0 ? ENOMEM : errno;
    name.clear();
    releaseTemporary();
    if (error != EEXIST)
      return nullptr;
  }
  return nullptr;
}

bool moveIntoPlace(const char* temporary, const std::string& target) {
  return retryWhileBusy([&] {
    if (ReplaceFileA(target.c_str(), temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr))
      return true;
    const DWORD error = GetLastError();
    // ReplaceFile needs an existing file; with none (or another launch's
    // replacement in the way), a plain move takes the place.
    if (MoveFileExA(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING))
      return true;
    if (!busy(GetLastError()))
      SetLastError(error);
    return false;
  });
}

#else

const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const int kInterruptCount = sizeof kInterrupts / sizeof kInterrupts[0];

struct sigaction previousActions[kInterruptCount];
bool handlerInstalled[kInterruptCount];
// Read by the signal handler: the temporary file to remove, or null.
const char* volatile temporaryName = nullptr;

// Removes the temporary file and ends the process of the same signal, with
// async-signal-safe calls only.
extern "C" void removeTemporaryAndDie(int signal) {
  const char* name = temporaryName;
  if (name)
    ::unlink(name);
  struct sigaction fallback;
  std::memset(&fallback, 0, sizeof fallback);
  fallback.sa_handler = SIG_DFL;
  ::sigemptyset(&fallback.sa_mask);
  ::sigaction(signal, &fallback, nullptr);
  sigset_t set;
  ::sigemptyset(&set);
  ::sigaddset(&set, signal);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);  // not reached: the default action of each is to end the process
}

// Holds the interrupts back while the temporary file's name and the handlers
// change, so that the handler never sees one without the other.
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

// Call with the interrupts blocked. An interrupt that is ignored stays so.
void guardTemporary(const char* name) {
  temporaryName = name;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = removeTemporaryAndDie;
  ::sigemptyset(&action.sa_mask);
  for (int signal : kInterrupts)
    ::sigaddset(&action.sa_mask, signal);
  for (int i = 0; i < kInterruptCount; ++i) {
    handlerInstalled[i] = false;
    if (::sigaction(kInterrupts[i], nullptr, &previousActions[i]) != 0)
      continue;
    if (!(previousActions[i].sa_flags & SA_SIGINFO) && previousActions[i].sa_handler == SIG_IGN)
      continue;
    handlerInstalled[i] = ::sigaction(kInterrupts[i], &action, nullptr) == 0;
  }
}

// Call with the interrupts blocked.
void releaseTemporary() {
  for (int i = 0; i < kInterruptCount; ++i)
    if (handlerInstalled[i])
      ::sigaction(kInterrupts[i], &previousActions[i], nullptr);
  temporaryName = nullptr;
}

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

// Creates the temporary file beside target with the mode (and owner) the
// file keeps, or with an ordinary new file's mode when there is none yet.
std::FILE* createTemporary(const std::string& target, std::vector<char>& name) {
  struct stat old;
  bool exists = ::lstat(target.c_str(), &old) == 0;
  if (exists && (!S_ISREG(old.st_mode) || old.st_nlink > 1))
    return nullptr;

  std::string pattern = target + ".XXXXXX";
  name.assign(pattern.begin(), pattern.end());
  name.push_back('\0');
  InterruptsBlocked blocked;
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    name.clear();
    return nullptr;
  }
  guardTemporary(name.data());

  bool ready = true;
  mode_t mode;
  if (exists) {
    struct stat created;
    ready = ::fstat(fd, &created) == 0;
    if (ready && (created.st_uid != old.st_uid || created.st_gid != old.st_gid))
      ready = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    mode = old.st_mode & 07777;
  } else {
    // Reading the mask means setting it; the launcher runs on one thread.
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  std::FILE* file = nullptr;
  if (ready && ::fchmod(fd, mode) == 0)
    file = ::fdopen(fd, "w");
  if (!file) {
    ::close(fd);
    ::unlink(name.data());
    releaseTemporary();
    name.clear();
  }
  return file;
}

bool moveIntoPlace(const char* temporary, const std::string& target) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
  // Over an existing regular file, swap the two names and drop the old file:
  // as atomic for readers as rename(), but ext4 does not force the new data
  // out to disk first, which costs a launch about as much as the rest of it.
  struct stat status;
  if (::lstat(target.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
      ::renameat2(AT_FDCWD, temporary, AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
    ::unlink(temporary);
    return true;
  }
#endif
  return std::rename(temporary, target.c_str()) == 0;
}

#endif

}  // namespace

FileReplacement::FileReplacement(std::string path) : path_(std::move(path)) {}

FileReplacement::~FileReplacement() { discard(); }

std::FILE* FileReplacement::open() {
  target_ = followLinks(path_);
  if (!target_.empty())
    file_ = createTemporary(target_, temporary_);
  if (file_)
    return file_;
  // No temporary file: write the file itself, as a plain write does.
  inPlace_ = true;
  file_ = std::fopen(path_.c_str(), "w");
  return file_;
}

bool FileReplacement::closeStream() {
  if (!file_)
    return false;
  bool closed = std::fflush(file_) == 0 && !std::ferror(file_);
  closed = std::fclose(file_) == 0 && closed;
  file_ = nullptr;
  return closed;
}

void FileReplacement::removeTemporary() {
  if (temporary_.empty())
    return;
  InterruptsBlocked blocked;
  std::remove(temporary_.data());
  releaseTemporary();
  temporary_.clear();
}

bool FileReplacement::commit() {
  bool closed = closeStream();
  if (temporary_.empty())
    return closed;
  if (!closed) {
    removeTemporary();
    return false;
  }
  InterruptsBlocked blocked;
  bool moved = moveIntoPlace(temporary_.data(), target_);
  if (!moved)
    std::remove(temporary_.data());
  releaseTemporary();
  temporary_.clear();
  return moved;
}

void FileReplacement::discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  removeTemporary();
}

}  // namespace KVEL
