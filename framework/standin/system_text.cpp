#include "framework/standin/system_text.h"

#include <algorithm>

#include <tcl.h>

#include "framework/standin/shell_error.h"
namespace zekshell {

bool systemToUtf8(const std::string& external, std::string& utf8) {
  Tcl_DString ds;
  Tcl_ExternalToUtfDString(nullptr, external.data(), static_cast<int>(external.size()), &ds);
  utf8.assign(Tcl_DStringValue(&ds), static_cast<std::size_t>(Tcl_DStringLength(&ds)));
  Tcl_DStringFree(&ds);
  return utf8ToSystem(utf8) == external;
}

std::string utf8ToSystem(const std::string& utf8) {
  Tcl_DString ds;
  Tcl_UtfToExternalDString(nullptr, utf8.data(), static_cast<int>(utf8.size()), &ds);
  std::string external(Tcl_DStringValue(&ds), static_cast<std::size_t>(Tcl_DStringLength(&ds)));
  Tcl_DStringFree(&ds);
  return external;
}

std::string notSystemTextError(const std::string& what, const std::string& value) {
  return kShellErrorPrefix + what + " \"" + value + "\" is not text in the system encoding (" +
         Tcl_GetEncodingName(nullptr) + "); it cannot be passed on unchanged";
}

bool hasCharacterOutsideBmp(const std::string& utf8) {
  return hasCharacterOutsideBmp(utf8.data(), utf8.size());
}

bool hasCharacterOutsideBmp(const char* utf8, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0xF0)
      return true;
    if (c == 0xED && i + 1 < length && static_cast<unsigned char>(utf8[i + 1]) >= 0xA0)
      return true;
  }
  return false;
}

bool programFolderUsable(std::string* err) {
  if (!kTclOpensBmpNamesOnly)
    return true;
  const char* executable = Tcl_GetNameOfExecutable();
  if (!executable)
    return true;
  std::string folder = executable;
  const std::string::size_type slash = folder.find_last_of("/\\");
  folder.erase(slash == std::string::npos ? 0 : slash);
  if (!hasCharacterOutsideBmp(folder))
    return true;
  // Tcl writes the name with "/"; shown as Windows writes folders.
  std::replace(folder.begin(), folder.end(), '/', '\\');
  *err = kShellErrorPrefix + std::string("the program's folder \"") + utf8ToSystem(folder) +
         "\" holds a character outside the Basic Multilingual Plane (such as an emoji): Tcl 8.6 "
         "cannot open files under such a path on Windows, so the shell cannot load its script "
         "library; install the programs in a folder without one";
  return false;
}

bool unwrapBracedWord(const std::string& value, std::string& word) {
  if (value.empty() || value[0] != '{')
    return false;
  int depth = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\\') {
      ++i;  // the next character is quoted and never closes the word
    } else if (c == '{') {
      ++depth;
    } else if (c == '}' && --depth == 0) {
      if (i + 1 != value.size())
        return false;
      word = value.substr(1, value.size() - 2);
      return true;
    }
  }
  return false;
}

}  // namespace zekshell
