#include "support/fs/file_replacement_parts.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>

#include "support/fs/file_owner.h"
#include "support/fs/long_path.h"

namespace KVEL {
namespace replacement {

namespace {

HANDLE asHandle(long long handle) {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle));
}

std::wstring pathOf(const CheckedFolder& folder, const std::string& name) {
  return folder.nativePath() + L"\\" + toWide(name);
}

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
         error == ERROR_LOCK_VIOLATION;
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

// Opens as a plain write (fopen "w") does: write access, read and write
// sharing.
HANDLE openAsPlainWrite(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The pieces as a text-mode write puts them on disk: each "\n" as CR LF.
std::string onDisk(const std::vector<std::string_view>& pieces) {
  std::string text;
  text.reserve(static_cast<std::size_t>(textSize(pieces)));
  for (std::string_view piece : pieces)
    for (char c : piece) {
      if (c == '\n')
        text += '\r';
      text += c;
    }
  return text;
}

bool writeAll(HANDLE file, const std::string& content) {
  for (std::size_t done = 0; done < content.size();) {
    const DWORD chunk =
        content.size() - done > (1u << 30) ? (1u << 30) : static_cast<DWORD>(content.size() - done);
    DWORD written = 0;
    if (!WriteFile(file, content.data() + done, chunk, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

bool fromStart(HANDLE file) {
  LARGE_INTEGER start;
  start.QuadPart = 0;
  return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != 0;
}

// True while the process with this id runs (or cannot be looked at).
bool running(unsigned long process) {
  HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
  if (!handle)
    return GetLastError() != ERROR_INVALID_PARAMETER;
  const bool alive = WaitForSingleObject(handle, 0) == WAIT_TIMEOUT;
  CloseHandle(handle);
  return alive;
}

// True when the open file belongs to the running user.
bool ownedByThisUser(HANDLE file) { return ownerOf(file) == FileOwner::runningUser; }

}  // namespace

InterruptScope::InterruptScope() {}
InterruptScope::~InterruptScope() {}

bool usablePath(const CheckedFolder& folder, const std::string& name, std::string* err) {
  // Without long paths enabled, the programs that read the script (the
  // shell among them) are held to MAX_PATH; the "\\?\" prefix is not
  // counted, and "\\?\UNC\" stands for the two separators of "\\server".
  const std::wstring path = pathOf(folder, name);
  const std::size_t length = path.size() - (path.compare(0, 8, L"\\\\?\\UNC\\") == 0 ? 6 : 4);
  using LongPathsQuery = BOOLEAN(WINAPI*)();
  const auto enabled = reinterpret_cast<LongPathsQuery>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlAreLongPathsEnabled")));
  if (length < MAX_PATH || !enabled || enabled())
    return true;
  *err = "ERROR: The path " + displayPath(folder, name) + " is too long (" +
         std::to_string(length) + " characters; long paths are not enabled on this system).";
  return false;
}

unsigned long processId() { return GetCurrentProcessId(); }

std::string lastErrorText() { return systemErrorText(GetLastError()); }

long long openToLock(const CheckedFolder& folder, const std::string& name) {
  HANDLE file = CreateFileW(pathOf(folder, name).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return -1;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return -1;
  }
  return static_cast<long long>(reinterpret_cast<std::intptr_t>(file));
}

bool tryLock(long long file, bool* unsupported) {
  // Locks are binding on Windows: a byte far past the end, which no reader
  // or writer of the content touches.
  OVERLAPPED far = {};
  far.Offset = 0xFFFFFFFE;
  far.OffsetHigh = 0x7FFFFFFF;
  if (LockFileEx(asHandle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                 &far))
    return true;
  *unsupported = GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING;
  return false;
}

bool stillNamed(const CheckedFolder& folder, const std::string& name, long long file) {
  const long long named = openToLock(folder, name);
  BY_HANDLE_FILE_INFORMATION a, b;
  const bool same = named != -1 && GetFileInformationByHandle(asHandle(file), &a) &&
                    GetFileInformationByHandle(asHandle(named), &b) &&
                    a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                    a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  closeFile(named);
  return same;
}

void closeFile(long long file) {
  if (file != -1)
    CloseHandle(asHandle(file));
}

bool inspect(const CheckedFolder& folder, const std::string& name, FileState* state) {
  *state = FileState();
  const std::wstring path = pathOf(folder, name);
  const DWORD own = GetFileAttributesW(path.c_str());
  if (own == INVALID_FILE_ATTRIBUTES)
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  state->exists = true;
  state->directory = (own & FILE_ATTRIBUTE_DIRECTORY) != 0;
  state->throughLink = (own & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  // What the file reaches: the number of its names.
  HANDLE handle = INVALID_HANDLE_VALUE;
  retryWhileBusy([&] {
    handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return handle != INVALID_HANDLE_VALUE;
  });
  BY_HANDLE_FILE_INFORMATION information;
  if (handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &information)) {
    state->links = information.nNumberOfLinks;
    state->size = (static_cast<unsigned long long>(information.nFileSizeHigh) << 32) |
                  information.nFileSizeLow;
    state->regular = !state->directory && GetFileType(handle) == FILE_TYPE_DISK;
  } else if (!state->directory) {
    state->regular = true;  // held by another process: refused() tells
    state->links = 1;
  }
  if (handle != INVALID_HANDLE_VALUE)
    CloseHandle(handle);
  return true;
}

bool refused(const CheckedFolder& folder, const std::string& name, const FileState& state,
             std::string* err) {
  const std::wstring path = pathOf(folder, name);
  const std::string shown = displayPath(folder, name);
  if (!state.regular) {
    *err = cannotWrite(shown, "not a regular file");
    return true;
  }
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    *err = cannotWrite(shown, "it has the read-only attribute");
    return true;
  }
  HANDLE handle = INVALID_HANDLE_VALUE;
  const bool opened = retryWhileBusy([&] {
    handle = openAsPlainWrite(path);
    return handle != INVALID_HANDLE_VALUE || GetLastError() == ERROR_FILE_NOT_FOUND;
  });
  const DWORD error = GetLastError();
  if (handle != INVALID_HANDLE_VALUE)
    CloseHandle(handle);
  if (opened)
    return false;
  *err = cannotWrite(shown, error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
                                ? "it is in use by another process"
                                : "access is denied");
  return true;
}

// A temporary of a killed launch: of the launches' name form, a plain file
// of the running user with one name, whose process no longer runs; opened
// without sharing (so that nobody holds it) and removed through that handle.
void removeStaleTemporaries(const CheckedFolder& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder.nativePath() + L"\\.~kvel.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    const std::string name = toNarrow(found.cFileName);
    if (!isLaunchTemporary(name) ||
        (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
      continue;
    const unsigned long owner = std::strtoul(name.c_str() + 7, nullptr, 10);
    if (owner == GetCurrentProcessId() || running(owner))
      continue;
    HANDLE file =
        CreateFileW(pathOf(folder, name).c_str(), DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, 0,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
      continue;
    BY_HANDLE_FILE_INFORMATION information;
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = TRUE;
    if (GetFileInformationByHandle(file, &information) && information.nNumberOfLinks == 1 &&
        !(information.dwFileAttributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
        GetFileType(file) == FILE_TYPE_DISK && ownedByThisUser(file))
      SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    CloseHandle(file);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

TempFile::~TempFile() {
  std::string ignored;
  remove(&ignored);
}

Outcome TempFile::create(const std::string& name, const FileState*, bool* taken, std::string*) {
  name_ = name;
  guardTemporary();
  void* access = ownerOnly_ ? ownerOnlyAttributes() : nullptr;
  HANDLE file = ownerOnly_ && !access
                    ? INVALID_HANDLE_VALUE
                    : CreateFileW(pathOf(folder_, name).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                  static_cast<SECURITY_ATTRIBUTES*>(access), CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = GetLastError();
  if (file == INVALID_HANDLE_VALUE) {
    releaseTemporary();
    name_.clear();
    *taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return Outcome::Unavailable;
  }
  made_ = true;
  file_ = static_cast<long long>(reinterpret_cast<std::intptr_t>(file));
  return Outcome::Done;
}

bool TempFile::write(const std::vector<std::string_view>& pieces, bool* noRoom) {
  if (writeAll(asHandle(file_), onDisk(pieces)))
    return true;
  const DWORD error = GetLastError();
  *noRoom = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
  return false;
}

bool TempFile::close() {
  const HANDLE file = asHandle(file_);
  file_ = -1;
  return CloseHandle(file) != 0;
}

bool TempFile::renameOver(const std::string& target, bool* refused) {
  const std::wstring from = pathOf(folder_, name_), to = pathOf(folder_, target);
  // A rename over the file, which a reader sees in one step (ReplaceFile
  // moves the old file away first under Wine, so that for a moment there is
  // no script at all).
  const bool moved = retryWhileBusy(
      [&] { return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0; });
  if (moved) {
    made_ = false;
    return true;
  }
  // Held open by another process in a way that a plain write allows.
  if (busy(GetLastError())) {
    HANDLE handle = openAsPlainWrite(to);
    *refused = handle != INVALID_HANDLE_VALUE;
    if (*refused)
      CloseHandle(handle);
  }
  return false;
}

void TempFile::release() {
  // An event that arrived meanwhile ends the process once the file is gone.
  if (InterlockedCompareExchange(&consoleEvent, 0, 0) != 0) {
    std::string ignored;
    remove(&ignored);
  }
  releaseTemporary();
}

bool TempFile::remove(std::string* err) {
  if (file_ != -1)
    CloseHandle(asHandle(file_));
  file_ = -1;
  if (name_.empty())
    return true;
  bool removed = true;
  if (made_)
    removed = DeleteFileW(pathOf(folder_, name_).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  made_ = false;
  releaseTemporary();
  if (!removed)
    *err = removalFailure(displayPath(folder_, name_));
  name_.clear();
  return removed;
}

InPlaceFile::~InPlaceFile() {
  if (file_ != -1)
    CloseHandle(asHandle(file_));
}

bool InPlaceFile::open(const CheckedFolder& folder, const std::string& name, std::string* err) {
  folder_ = &folder;
  name_ = name;
  HANDLE file = CreateFileW(pathOf(folder, name).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  created_ = GetLastError() != ERROR_ALREADY_EXISTS;
  if (file == INVALID_HANDLE_VALUE)
    return false;
  file_ = static_cast<long long>(reinterpret_cast<std::intptr_t>(file));
  LARGE_INTEGER size;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    *err = cannotWrite(displayPath(folder, name), "not a regular file");
    return false;
  }
  if (!GetFileSizeEx(file, &size))
    return false;
  size_ = static_cast<unsigned long long>(size.QuadPart);
  return true;
}

bool InPlaceFile::roomFor(unsigned long long size) {
  if (size <= size_)
    return true;
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW((folder_->nativePath() + L"\\").c_str(), &available, nullptr, nullptr))
    return false;
  SetLastError(ERROR_DISK_FULL);
  return available.QuadPart >= size - size_ + 65536;
}

bool InPlaceFile::readAll(std::string* content) {
  content->resize(static_cast<std::size_t>(size_));
  if (!fromStart(asHandle(file_)))
    return false;
  for (std::size_t done = 0; done < content->size();) {
    const DWORD chunk = content->size() - done > (1u << 30)
                            ? (1u << 30)
                            : static_cast<DWORD>(content->size() - done);
    DWORD got = 0;
    if (!ReadFile(asHandle(file_), &(*content)[done], chunk, &got, nullptr) || got == 0)
      return false;
    done += got;
  }
  return true;
}

bool InPlaceFile::rewriteBytes(const std::string& bytes) {
  const HANDLE file = asHandle(file_);
  return fromStart(file) && writeAll(file, bytes) && SetEndOfFile(file) != 0;
}

bool InPlaceFile::rewrite(const std::vector<std::string_view>& pieces) {
  return rewriteBytes(onDisk(pieces));
}

bool InPlaceFile::close() {
  const HANDLE file = asHandle(file_);
  file_ = -1;
  return CloseHandle(file) != 0;
}

void InPlaceFile::removeCreated() {
  if (created_)
    DeleteFileW(pathOf(*folder_, name_).c_str());
}

unsigned long long textSize(const std::vector<std::string_view>& pieces) {
  unsigned long long size = 0;
  for (std::string_view piece : pieces) {
    size += piece.size();
    for (char c : piece)
      size += c == '\n';
  }
  return size;
}

}  // namespace replacement
}  // namespace KVEL
