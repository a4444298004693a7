#include "support/fs/private_folder.h"

#include <windows.h>

#include <cstdlib>
#include <random>

#include "support/fs/file_owner.h"

namespace KVEL {
namespace privatefolder {

namespace {

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::vector<std::string> places() {
  const std::string local = variable("LOCALAPPDATA"), profile = variable("USERPROFILE");
  std::vector<std::string> tried;
  for (const std::string& place :
       {variable("TMP"), variable("TEMP"), local.empty() ? local : local + "\\Temp",
        profile.empty() ? profile : profile + "\\AppData\\Local\\Temp"}) {
    // Absolute only: a drive and a separator, or a UNC path.
    const bool absolute =
        place.size() > 2 && ((place[1] == ':' && (place[2] == '\\' || place[2] == '/')) ||
                             (place[0] == '\\' && place[1] == '\\'));
    bool seen = false;
    for (const std::string& earlier : tried)
      seen = seen || earlier == place;
    if (absolute && !seen)
      tried.push_back(place);
  }
  return tried;
}

std::string userTag() {
  // A name that needs no escaping in a path: letters, digits, '-', '_'.
  std::string tag;
  for (char c : runningUserName())
    tag += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                   c == '_'
               ? c
               : '_';
  return tag.empty() ? std::string("user") : tag;
}

std::string randomTag() {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::string tag;
  for (int i = 0; i < 12; ++i)
    tag += kLetters[(device() ^ GetTickCount() ^ (GetCurrentProcessId() << i)) %
                    (sizeof kLetters - 1)];
  return tag;
}

}  // namespace privatefolder
}  // namespace KVEL
