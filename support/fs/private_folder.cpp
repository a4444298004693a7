#include "support/fs/private_folder.h"

namespace KVEL {

using namespace privatefolder;

PrivateFolder::~PrivateFolder() { close(); }

void PrivateFolder::close() {
  folder_.close();
  if (!fresh_.empty())
    place_.removeEmptyFolder(fresh_);
  fresh_.clear();
  place_.close();
}

std::string PrivateFolder::firstCandidate() {
  const std::vector<std::string> tried = places();
  return (tried.empty() ? std::string("?") : tried.front()) + "/kvel-" + userTag();
}

bool PrivateFolder::open(bool lookOnly, std::string* err) {
  close();
  std::string reasons;
  const std::string fixed = "kvel-" + userTag();
  for (const std::string& place : places()) {
    std::string why;
    if (!place_.openSafePlace(place, &why)) {
      reasons += "; " + place + ": " + why;
      continue;
    }
    // A safe place holds a usable folder, or lets one be made.
    if (lookOnly)
      return true;
    bool taken = false;
    if (place_.openPrivate(fixed, false, &folder_, &taken, &why))
      return true;
    // Someone else's, or open to others: a fresh name of our own instead.
    for (int attempt = 0; taken && attempt < 10; ++attempt) {
      const std::string name = fixed + "-" + randomTag();
      taken = false;
      if (place_.openPrivate(name, true, &folder_, &taken, &why)) {
        fresh_ = name;
        return true;
      }
    }
    reasons += "; " + place + "/" + fixed + ": " + why;
    place_.close();
  }
  *err = "ERROR: No private folder for the launch's own run script could be had (" +
         (reasons.empty() ? std::string("no place to try") : reasons.substr(2)) + ").";
  return false;
}

}  // namespace KVEL
