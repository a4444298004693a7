#include <windows.h>

#include <algorithm>
#include <string>

#include "kvel/account_spill.h"

namespace KVEL {

bool AccountSpill::open(std::intptr_t* handle) {
  // A new file of our own in the user's temporary folder, shared with no
  // one and deleted by the system when closed.
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH)
    return false;
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::wstring name = std::wstring(folder) + L"kvel-account-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter) +
                              L".tmp";
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      *handle = reinterpret_cast<std::intptr_t>(file);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS)
      return false;
  }
  return false;
}

std::size_t AccountSpill::write(std::intptr_t handle, const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle), data + done, piece, &written, nullptr) ||
        written == 0)
      break;
    done += written;
  }
  return done;
}

bool AccountSpill::rewind(std::intptr_t handle) {
  LARGE_INTEGER start;
  start.QuadPart = 0;
  return SetFilePointerEx(reinterpret_cast<HANDLE>(handle), start, nullptr, FILE_BEGIN) != 0;
}

std::size_t AccountSpill::read(std::intptr_t handle, char* data, std::size_t size) {
  DWORD got = 0;
  const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (!ReadFile(reinterpret_cast<HANDLE>(handle), data, piece, &got, nullptr))
    return 0;
  return got;
}

void AccountSpill::close(std::intptr_t handle) { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

}  // namespace KVEL
