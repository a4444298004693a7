// Windows: the system holds arguments and environment values as UTF-16 and
// converts them into the process code page for argv and getenv. A character
// that code page cannot hold is detected here, from the UTF-16 originals,
// instead of being passed on as a substitute.
#include "support/text_check.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace frontend {

namespace {

const char kAdvice[] =
    "; use Windows 10 version 1903 or later (where these programs run in UTF-8), "
    "or only characters of that code page.";

// True when `text` converts into the process code page without a substitute.
bool representable(const std::wstring& text) {
  if (text.empty())
    return true;
  const UINT codePage = ::GetACP();
  const int length = static_cast<int>(text.size());
  if (codePage == CP_UTF8)  // holds every character; refuses unpaired surrogates
    return ::WideCharToMultiByte(codePage, WC_ERR_INVALID_CHARS, text.data(), length, nullptr, 0,
                                 nullptr, nullptr) > 0;
  BOOL usedDefault = FALSE;
  int n = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0,
                                nullptr, &usedDefault);
  if (n == 0 && ::GetLastError() == ERROR_INVALID_FLAGS)
    n = ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, &usedDefault);
  return n > 0 && !usedDefault;
}

UINT previousOutputCodePage = 0;

void restoreOutputCodePage() {
  if (previousOutputCodePage != 0)
    ::SetConsoleOutputCP(previousOutputCodePage);
}

BOOL WINAPI restoreOnInterruption(DWORD) {
  restoreOutputCodePage();
  return FALSE;  // the next handler (or the default: end the process) decides
}

bool isConsole(DWORD which) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}

}  // namespace

bool argumentsIntact(int, char**, std::string* err) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide)
    return true;  // nothing to compare with; argv is all there is
  bool intact = true;
  for (int i = 0; i < count && intact; ++i) {
    if (!representable(wide[i])) {
      intact = false;
      if (err)
        *err = "ERROR: Argument " + std::to_string(i) +
               " of the command line holds a character that the system code page " +
               std::to_string(::GetACP()) + " cannot represent" + kAdvice;
    }
  }
  ::LocalFree(wide);
  return intact;
}

bool environmentIntact(const char* name, std::string* err) {
  // The name is in the process code page (a command file may name any
  // variable).
  const int nameLength = ::MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
  if (nameLength <= 0)
    return true;
  std::wstring wideName(static_cast<std::size_t>(nameLength), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, name, -1, &wideName[0], nameLength);
  wideName.resize(static_cast<std::size_t>(nameLength - 1));
  DWORD size = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0)
    return true;
  std::vector<wchar_t> value(size);
  DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
  if (length == 0 || length >= size || representable(std::wstring(value.data(), length)))
    return true;
  if (err)
    *err = std::string("ERROR: The environment variable ") + name +
           " holds a character that the system code page " + std::to_string(::GetACP()) +
           " cannot represent" + kAdvice;
  return false;
}

void showProcessTextOnConsole() {
  if (previousOutputCodePage != 0 || !(isConsole(STD_OUTPUT_HANDLE) || isConsole(STD_ERROR_HANDLE)))
    return;
  const UINT current = ::GetConsoleOutputCP();
  if (current == 0 || current == ::GetACP() || !::SetConsoleOutputCP(::GetACP()))
    return;
  // The output code page belongs to the console, which outlives this process:
  // put it back however the process ends short of a crash.
  previousOutputCodePage = current;
  std::atexit(restoreOutputCodePage);
  ::SetConsoleCtrlHandler(restoreOnInterruption, TRUE);
}

}  // namespace frontend
