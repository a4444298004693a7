#include "support/fs/checked_folder.h"

#include "support/fs/file_system.h"

namespace KVEL {

bool CheckedFolder::sameFile(const std::string& name, const std::string& path) const {
  fs::Status inFolder, named;
  return fs::statusAt(*this, name, true, &inFolder) && fs::statusOfPath(path, true, &named) &&
         inFolder.identity == named.identity;
}

std::vector<std::string> pathComponents(const std::string& path) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (std::string::size_type i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !isPathSeparator(path[i]))
      continue;
    if (i > start && path.compare(start, i - start, ".") != 0)
      parts.push_back(path.substr(start, i - start));
    start = i + 1;
  }
  return parts;
}

bool isPathSeparator(char c) { return c == '/' || (fs::kWindowsPaths && c == '\\'); }

bool isParentReference(const std::string& part) {
  if (!fs::kWindowsPaths)
    return part == "..";
  int dots = 0;
  for (char c : part) {
    if (c != '.' && c != ' ')
      return false;
    dots += c == '.';
  }
  return dots >= 2;
}

std::string::size_type rootLength(const std::string& path) {
  if (!fs::kWindowsPaths)
    return 0;
  std::string::size_type length = 0;
  if (path.size() >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
    length = 2;
  while (length < path.size() && isPathSeparator(path[length]))
    ++length;
  return length;
}

bool losesItsEnd(const std::string& part) {
  return fs::kWindowsPaths && !part.empty() && (part.back() == '.' || part.back() == ' ') &&
         part != "." && !isParentReference(part);
}

}  // namespace KVEL
