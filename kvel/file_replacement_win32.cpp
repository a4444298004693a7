#include "kvel/file_replacement.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "kvel/file_replacement_parts.h"

namespace KVEL {

namespace {

using replacement::OneAtATime;
using replacement::Outcome;
using replacement::removalFailure;

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

// While a temporary file exists, console events wait for it to be dealt with.
void guardTemporary() {
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

// A reparse point is written in place, which reaches the file it refers to;
// so is a file with further names (hard links).
bool replaceable(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return true;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  HANDLE handle = INVALID_HANDLE_VALUE;
  retryWhileBusy([&] {
    handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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

// True when a plain write (fopen "w": write access, read and write sharing)
// could open the existing file now.
bool plainWriteAllowed(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  CloseHandle(handle);
  return true;
}

std::string directoryOf(const std::string& path) {
  std::string::size_type slash = path.find_last_of("/\\");
  if (slash == std::string::npos)
    return ".";
  return path.substr(0, slash + 1);
}

std::string baseNameOf(const std::string& path) {
  std::string::size_type slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process id in "<base>.<digits>.<digits>", or 0 when name is not a
// temporary file of some replacement of base.
DWORD temporaryOwner(const char* name, const std::string& base) {
  if (_strnicmp(name, base.c_str(), base.size()) != 0 || name[base.size()] != '.')
    return 0;
  const char* p = name + base.size() + 1;
  unsigned long long owner = 0;
  for (int part = 0; part < 2; ++part) {
    const char* start = p;
    while (*p >= '0' && *p <= '9') {
      if (part == 0)
        owner = owner * 10 + static_cast<unsigned>(*p - '0');
      ++p;
    }
    if (p == start || p - start > 10 || *p != (part == 0 ? '.' : '\0'))
      return 0;
    ++p;
  }
  return owner > 0 && owner <= 0xFFFFFFFFull ? static_cast<DWORD>(owner) : 0;
}

// True while the process with this id runs (or cannot be looked at).
bool running(DWORD process) {
  HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
  if (!handle)
    return GetLastError() != ERROR_INVALID_PARAMETER;
  const bool alive = WaitForSingleObject(handle, 0) == WAIT_TIMEOUT;
  CloseHandle(handle);
  return alive;
}

// Removes the temporary files beside target whose process has ended: those
// of killed launches. The temporary of a running launch stays, and one still
// open cannot be removed anyway.
void removeStaleTemporaries(const std::string& target) {
  const std::string directory = directoryOf(target);
  const std::string base = baseNameOf(target);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((target + ".*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    const DWORD owner = temporaryOwner(found.cFileName, base);
    if (owner == 0 || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (owner != GetCurrentProcessId() && running(owner)))
      continue;
    DeleteFileA((directory == "." ? std::string(found.cFileName) : directory + found.cFileName).c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

bool writeAll(int fd, const std::vector<std::string_view>& pieces) {
  for (std::string_view piece : pieces) {
    while (!piece.empty()) {
      const unsigned chunk = piece.size() > (1u << 30) ? (1u << 30) : static_cast<unsigned>(piece.size());
      const int written = _write(fd, piece.data(), chunk);
      if (written <= 0)
        return false;
      piece.remove_prefix(static_cast<std::size_t>(written));
    }
  }
  return true;
}

// Creates the temporary file; _O_EXCL fails when the name is taken, so a
// concurrent run never shares it (msvcrt.dll's fopen knows no "x" mode).
// Opened without delete sharing, it cannot be removed while it is written.
int createTemporary(const std::string& target, std::string* name) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    *name = target + "." + std::to_string(_getpid()) + "." + std::to_string(attempt);
    guardTemporary();
    const int fd = _open(name->c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_TEXT,
                         _S_IREAD | _S_IWRITE);
    if (fd >= 0)
      return fd;
    const int error = errno;
    releaseTemporary();
    if (error != EEXIST)
      return -1;
  }
  return -1;
}

bool moveIntoPlace(const std::string& temporary, const std::string& target) {
  return retryWhileBusy([&] {
    if (ReplaceFileA(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr))
      return true;
    const DWORD error = GetLastError();
    // ReplaceFile needs an existing file; with none (or another launch's
    // replacement in the way), a plain move takes the place.
    if (MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
      return true;
    if (!busy(GetLastError()))
      SetLastError(error);
    return false;
  });
}

// Removes the temporary file and ends its guard; false (with *err set) when
// the file stays.
bool removeTemporary(const std::string& name, std::string* err) {
  const bool removed = DeleteFileA(name.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  releaseTemporary();
  if (!removed)
    *err = removalFailure(name);
  return removed;
}

// The full path is what MAX_PATH limits for these calls.
std::size_t fullLength(const std::string& path) {
  return GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
}

Outcome replaceThroughTemporary(const std::string& target,
                                const std::vector<std::string_view>& pieces, std::string* err) {
  if (!replaceable(target))
    return Outcome::Unavailable;
  // The temporary's longer name must pass the limit that the file's passes.
  const std::size_t suffix = 1 + 10 + 1 + 2;
  if (fullLength(target) + suffix >= MAX_PATH)
    return Outcome::Unavailable;
  std::string name;
  const int fd = createTemporary(target, &name);
  if (fd < 0)
    return Outcome::Unavailable;
  const bool written = writeAll(fd, pieces);
  const bool noRoom = !written && errno == ENOSPC;
  if (_close(fd) != 0 || !written) {
    if (!removeTemporary(name, err))
      return Outcome::Failed;
    return noRoom ? Outcome::Unavailable : Outcome::Failed;
  }
  if (moveIntoPlace(name, target)) {
    releaseTemporary();
    return Outcome::Done;
  }
  // Held open by another process in a way that a plain write allows.
  const bool blocked = busy(GetLastError()) && plainWriteAllowed(target);
  if (!removeTemporary(name, err))
    return Outcome::Failed;
  return blocked ? Outcome::Unavailable : Outcome::Failed;
}

// The pieces as a text-mode write puts them on disk: each "\n" as CR LF.
std::string onDisk(const std::vector<std::string_view>& pieces) {
  std::string text;
  for (std::string_view piece : pieces)
    for (char c : piece) {
      if (c == '\n')
        text += '\r';
      text += c;
    }
  return text;
}

bool writeAt0(HANDLE file, const std::string& content) {
  LARGE_INTEGER start;
  start.QuadPart = 0;
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
    return false;
  std::size_t done = 0;
  while (done < content.size()) {
    const DWORD chunk =
        content.size() - done > (1u << 30) ? (1u << 30) : static_cast<DWORD>(content.size() - done);
    DWORD written = 0;
    if (!WriteFile(file, content.data() + done, chunk, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return SetEndOfFile(file) != 0;
}

bool readAll(HANDLE file, std::string* content, unsigned long long size) {
  content->resize(static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < content->size()) {
    const DWORD chunk =
        content->size() - done > (1u << 30) ? (1u << 30) : static_cast<DWORD>(content->size() - done);
    DWORD got = 0;
    if (!ReadFile(file, &(*content)[done], chunk, &got, nullptr) || got == 0)
      return false;
    done += got;
  }
  return true;
}

// True when the volume holding path has room for `more` bytes.
bool roomFor(const std::string& path, unsigned long long more) {
  if (more == 0)
    return true;
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(directoryOf(path).c_str(), &available, nullptr, nullptr))
    return false;
  return available.QuadPart >= more + 65536;
}

// Writes the file itself, with the sharing a plain write has, but keeps the
// old content until the new one fits: the room is made sure of first, and a
// write that still fails puts the old content back.
bool writeInPlace(const std::string& path, const std::vector<std::string_view>& pieces) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  const bool created = attributes == INVALID_FILE_ATTRIBUTES;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  const std::string content = onDisk(pieces);
  bool written;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    // A device holds no old content to keep.
    DWORD count = 0;
    written = content.empty() ||
              (WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &count, nullptr) &&
               count == content.size());
    CloseHandle(file);
    return written;
  }
  LARGE_INTEGER size;
  std::string old;
  const bool sized = GetFileSizeEx(file, &size) != 0;
  const unsigned long long oldSize = sized ? static_cast<unsigned long long>(size.QuadPart) : 0;
  const unsigned long long newSize = content.size();
  const bool kept = sized && roomFor(path, newSize > oldSize ? newSize - oldSize : 0) &&
                    readAll(file, &old, oldSize);
  written = kept && writeAt0(file, content);
  if (!written && kept)
    writeAt0(file, old);
  written = CloseHandle(file) && written;
  if (!written && created)
    DeleteFileA(path.c_str());
  return written;
}

}  // namespace

FileReplacement::FileReplacement(std::string path) : path_(std::move(path)) {}

bool FileReplacement::replace(const std::vector<std::string_view>& pieces, std::string* err) {
  err->clear();
  OneAtATime turn;
  if (!turn.acquired)
    return false;
  // A file that a plain write could not open stays as it is.
  const DWORD attributes = GetFileAttributesA(path_.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    return false;
  removeStaleTemporaries(path_);
  const Outcome outcome = replaceThroughTemporary(path_, pieces, err);
  if (outcome != Outcome::Unavailable)
    return outcome == Outcome::Done;
  return writeInPlace(path_, pieces);
}

}  // namespace KVEL
