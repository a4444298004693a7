#include "support/fs/file_system.h"

#include <windows.h>
#include <io.h>

#include <cstdint>

#include "support/fs/file_owner.h"
#include "support/fs/long_path.h"

namespace KVEL {
namespace fs {

namespace {

HANDLE native(Handle handle) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle)); }
Handle wrap(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kNoHandle
                                        : static_cast<Handle>(reinterpret_cast<std::intptr_t>(handle));
}

std::wstring pathOf(const CheckedFolder& folder, const std::string& name) {
  return folder.nativePath() + L"\\" + toWide(name);
}

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

bool closeHandle(Handle handle) { return handle == kNoHandle || CloseHandle(native(handle)) != 0; }

unsigned long processId() { return GetCurrentProcessId(); }

Failure lastFailure() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Failure::Missing;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return Failure::Exists;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return Failure::NoRoom;
    case ERROR_ACCESS_DENIED:
      return Failure::Denied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return Failure::Busy;
    case ERROR_CANT_RESOLVE_FILENAME:
      return Failure::Loop;
    default:
      return Failure::Other;
  }
}

std::string lastErrorText() { return systemErrorText(GetLastError()); }

// Opened as a plain write opens it (write access, read and write sharing),
// and delete sharing added so that this short look never keeps another
// launch from renaming a new file over it.
bool mayWrite(const CheckedFolder& folder, const std::string& name) {
  HANDLE file = CreateFileW(pathOf(folder, name).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  CloseHandle(file);
  return true;
}

Handle openAt(const CheckedFolder& folder, const std::string& name, unsigned flags) {
  DWORD access = ((flags & kRead) ? GENERIC_READ : 0) | ((flags & kWrite) ? GENERIC_WRITE : 0);
  DWORD share = (flags & kWrite) ? FILE_SHARE_READ | FILE_SHARE_WRITE : kShareAll;
  if (flags & kKeepWritersOut)
    share = FILE_SHARE_READ;
  if (flags & kForRemoval) {
    access |= DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES;
    share = 0;
  }
  SECURITY_ATTRIBUTES* security = nullptr;
  if (flags & kOwnerOnly) {
    security = static_cast<SECURITY_ATTRIBUTES*>(ownerOnlyAttributes());
    if (!security) {
      SetLastError(ERROR_ACCESS_DENIED);
      return kNoHandle;
    }
  }
  const DWORD how = (flags & kFollow) ? FILE_ATTRIBUTE_NORMAL : FILE_FLAG_OPEN_REPARSE_POINT;
  return wrap(CreateFileW(pathOf(folder, name).c_str(), access, share, security,
                          (flags & kCreateNew) ? CREATE_NEW : OPEN_EXISTING, how, nullptr));
}

Handle openUnnamedTemporary() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH)
    return kNoHandle;
  auto* security = static_cast<SECURITY_ATTRIBUTES*>(ownerOnlyAttributes());
  if (!security) {
    SetLastError(ERROR_ACCESS_DENIED);
    return kNoHandle;
  }
  // A name nobody else holds: the process, the time and a count, tried anew
  // while one exists.
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::wstring name = std::wstring(folder) + L"kvel-" + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(GetTickCount()) + L"-" +
                              std::to_wstring(++counter) + L".tmp";
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, security,
                                    CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                    nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
      return wrap(file);
  }
  return kNoHandle;
}

bool writeAll(Handle file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(native(file), bytes.data(), chunk, &written, nullptr) || written == 0)
      return false;
    bytes.remove_prefix(written);
  }
  return true;
}

bool readAt(Handle file, unsigned long long offset, char* buffer, std::size_t size,
            std::size_t* got) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  const bool done = ReadFile(native(file), buffer, chunk, &read, &at) != 0 ||
                    GetLastError() == ERROR_HANDLE_EOF;
  *got = done ? read : 0;
  return done;
}

bool rewind(Handle file) {
  LARGE_INTEGER start;
  start.QuadPart = 0;
  return SetFilePointerEx(native(file), start, nullptr, FILE_BEGIN) != 0;
}

bool truncate(Handle file, unsigned long long size) {
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(native(file), end, nullptr, FILE_BEGIN) && SetEndOfFile(native(file));
}

// A rename over the file, which a reader sees in one step (ReplaceFile
// moves the old file away first under Wine, so that for a moment there is no
// script at all).
bool renameAt(const CheckedFolder& folder, const std::string& from, const std::string& to,
              bool* swapped) {
  *swapped = false;
  return MoveFileExW(pathOf(folder, from).c_str(), pathOf(folder, to).c_str(),
                     MOVEFILE_REPLACE_EXISTING) != 0;
}

bool removeAt(const CheckedFolder& folder, const std::string& name) {
  return DeleteFileW(pathOf(folder, name).c_str()) != 0;
}

bool removeOpen(const CheckedFolder&, const std::string&, Handle file) {
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(native(file), FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

bool list(const CheckedFolder& folder, std::vector<std::string>* names) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder.nativePath() + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  do
    names->push_back(toNarrow(found.cFileName));
  while (FindNextFileW(search, &found));
  FindClose(search);
  return true;
}

bool tryLock(Handle file, bool* unsupported) {
  // Locks are binding on Windows: a byte far past the end, which no reader
  // or writer of the content touches.
  OVERLAPPED pastTheEnd = {};
  pastTheEnd.Offset = 0xFFFFFFFE;
  pastTheEnd.OffsetHigh = 0x7FFFFFFF;
  if (LockFileEx(native(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                 &pastTheEnd))
    return true;
  *unsupported = GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING;
  return false;
}

bool givePermissions(Handle, const Status*) { return true; }

bool reserve(Handle, unsigned long long, bool* unsupported) {
  *unsupported = true;
  return false;
}

bool withinSizeLimit(unsigned long long) { return true; }

bool freeRoom(const CheckedFolder& folder, Handle, unsigned long long* bytes,
              unsigned long long* unit) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW((folder.nativePath() + L"\\").c_str(), &available, nullptr, nullptr))
    return false;
  *bytes = available.QuadPart;
  *unit = 65536;
  SetLastError(ERROR_DISK_FULL);
  return true;
}

bool pathTooLong(const CheckedFolder& folder, const std::string& name, std::size_t* length) {
  // The "\\?\" prefix is not counted, and "\\?\UNC\" stands for the two
  // separators of "\\server".
  const std::wstring path = pathOf(folder, name);
  *length = path.size() - (path.compare(0, 8, L"\\\\?\\UNC\\") == 0 ? 6 : 4);
  using LongPathsQuery = BOOLEAN(WINAPI*)();
  const auto enabled = reinterpret_cast<LongPathsQuery>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlAreLongPathsEnabled")));
  return *length >= MAX_PATH && enabled && !enabled();
}

}  // namespace fs
}  // namespace KVEL
