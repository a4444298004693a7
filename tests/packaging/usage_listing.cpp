#include "tests/packaging/usage_listing.h"

#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace packagingtest {

std::vector<UsageEntry> parseUsageListing(const std::string& usageText) {
  static const std::string kIndent = "    --";
  static const std::string kSeparator = " : ";
  std::vector<UsageEntry> entries;
  std::istringstream lines(usageText);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, kIndent.size(), kIndent) != 0)
      continue;
    const std::string::size_type separator = line.find(kSeparator, kIndent.size());
    if (separator == std::string::npos)
      continue;
    std::string name = line.substr(kIndent.size(), separator - kIndent.size());
    name.erase(name.find_last_not_of(' ') + 1);
    entries.push_back({name, line.substr(separator + kSeparator.size())});
  }
  return entries;
}

std::string findInPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream directories(path ? path : "");
  std::string directory;
  while (std::getline(directories, directory, ':')) {
    const std::string candidate = (directory.empty() ? "." : directory) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return std::string();
}

}  // namespace packagingtest
