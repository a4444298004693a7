#include "support/long_path.h"

#include <windows.h>

namespace KVEL {

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
