#include "support/fs/long_path.h"

#include <windows.h>

namespace KVEL {

std::string systemErrorText(unsigned long error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result =
      length && text ? std::string(text, length) : "error " + std::to_string(error);
  LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                             result.back() == '.' || result.back() == ' '))
    result.pop_back();
  return result;
}

std::wstring toWide(const std::string& text) {
  if (text.empty())
    return std::wstring();
  const int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length <= 0 || MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         &wide[0], length) != length)
    return std::wstring();
  return wide;
}

std::string toNarrow(const std::wstring& text) {
  if (text.empty())
    return std::string();
  const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  if (length <= 0 || WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         &narrow[0], length, nullptr, nullptr) != length)
    return std::string();
  return narrow;
}

std::wstring longPathForm(const std::string& path) {
  std::wstring wide = path.empty() ? std::wstring(L".") : toWide(path);
  if (wide.empty())
    return wide;
  // GetFullPathNameW has no length limit; a failure is no length at all.
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0)
    return std::wstring();
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  if (length == 0 || length >= size)
    return std::wstring();
  full.resize(length);
  if (full.compare(0, 4, L"\\\\?\\") == 0)
    return full;
  if (full.compare(0, 2, L"\\\\") == 0)
    return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace KVEL
