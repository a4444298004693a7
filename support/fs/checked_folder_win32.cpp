#include "support/fs/checked_folder.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "support/fs/file_owner.h"
#include "support/fs/file_system.h"
#include "support/fs/long_path.h"

namespace KVEL {

namespace {

HANDLE asHandle(long long handle) {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle));
}
long long fromHandle(HANDLE handle) {
  return static_cast<long long>(reinterpret_cast<std::intptr_t>(handle));
}


// The entry itself (a reparse point is not followed unless follow is set),
// held without delete sharing: it cannot be renamed or removed while the
// folder is open.
HANDLE openEntry(const std::wstring& path, bool follow = false) {
  return CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                     nullptr);
}

}  // namespace

CheckedFolder::~CheckedFolder() { close(); }

bool CheckedFolder::openSafePlace(const std::string& path, std::string* why) {
  if (open(path, false, why))
    return true;
  if (why->empty())
    *why = systemErrorText(GetLastError());
  else
    why->erase(0, 7);  // the reason without "ERROR: "
  return false;
}

bool CheckedFolder::openPrivate(const std::string& name, bool fresh, CheckedFolder* folder,
                                bool* taken, std::string* why) const {
  folder->close();
  *taken = false;
  const std::wstring path = native_ + L"\\" + toWide(name);
  if (!CreateDirectoryW(path.c_str(), static_cast<SECURITY_ATTRIBUTES*>(ownerOnlyAttributes())) &&
      (fresh || GetLastError() != ERROR_ALREADY_EXISTS)) {
    *taken = GetLastError() == ERROR_ALREADY_EXISTS;
    *why = systemErrorText(GetLastError());
    return false;
  }
  // Held without delete sharing, as the folders on the way are.
  HANDLE entry = CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (entry == INVALID_HANDLE_VALUE) {
    *why = systemErrorText(GetLastError());
    return false;
  }
  fs::Status status;
  const bool folderOfOurs = fs::statusOf(fromHandle(entry), &status) && status.directory &&
                            !status.link && status.owner == fs::Owner::runningUser;
  // One that stood gets the access list again: entries added since go.
  if (!folderOfOurs || !setOwnerOnly(entry)) {
    *taken = !folderOfOurs;
    *why = folderOfOurs ? systemErrorText(GetLastError())
                        : "not a folder of the user's own that only the user may enter";
    CloseHandle(entry);
    return false;
  }
  folder->held_.push_back(fromHandle(entry));
  folder->handle_ = folder->held_.back();
  folder->native_ = path;
  folder->name_ = name_ + "/" + name;
  return true;
}

bool CheckedFolder::removeEmptyFolder(const std::string& name) const {
  return RemoveDirectoryW((native_ + L"\\" + toWide(name)).c_str()) != 0;
}

void CheckedFolder::close() {
  for (long long held : held_)
    CloseHandle(asHandle(held));
  held_.clear();
  handle_ = -1;
  native_.clear();
}

bool CheckedFolder::open(const std::string& path, bool create, std::string* err) {
  close();
  err->clear();
  name_ = path;
  const std::wstring full = longPathForm(path), here = longPathForm("");
  if (full.empty() || here.empty())
    return false;
  // Checked from the working directory down; another path only where it ends.
  std::wstring reached = full;
  std::vector<std::wstring> parts;
  if (full.compare(0, here.size(), here) == 0 && full.size() > here.size() &&
      full[here.size()] == L'\\') {
    reached = here;
    for (std::size_t start = here.size() + 1; start <= full.size();) {
      std::size_t end = full.find(L'\\', start);
      if (end == std::wstring::npos)
        end = full.size();
      if (end > start)
        parts.push_back(full.substr(start, end - start));
      start = end + 1;
    }
  }
  parts.insert(parts.begin(), std::wstring());  // the starting folder itself
  // Holds entry until the folder is closed and reads its status through it.
  auto hold = [this](HANDLE entry, fs::Status* status) {
    if (entry == INVALID_HANDLE_VALUE)
      return false;
    held_.push_back(fromHandle(entry));
    return fs::statusOf(fromHandle(entry), status);
  };
  for (const std::wstring& part : parts) {
    if (!part.empty())
      reached += L"\\" + part;
    HANDLE entry = openEntry(reached);
    if (entry == INVALID_HANDLE_VALUE && create && !part.empty() &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND) &&
        (CreateDirectoryW(reached.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS))
      entry = openEntry(reached);
    fs::Status status;
    if (!hold(entry, &status)) {
      close();
      return false;
    }
    if (status.link) {
      // Junctions and symbolic links: another user's (one whose owner the
      // system tells) is not followed; the system follows a trusted one. The
      // link and the folder it leads to are both held, so neither can change.
      if (status.owner == fs::Owner::other) {
        *err = linkRefusal(path);
        close();
        return false;
      }
      if (!hold(openEntry(reached, true), &status)) {
        close();
        return false;
      }
    }
    if (!status.directory) {
      close();
      return false;
    }
  }
  handle_ = held_.back();
  native_ = reached;
  return true;
}

bool CheckedFolder::followLinks(const std::string& name, CheckedFolder* target,
                                std::string* targetName, std::string* err) const {
  err->clear();
  target->close();
  *targetName = name;
  // A link at the file is followed by the system when the file is written in
  // place; only its owner is checked here.
  HANDLE entry = openEntry(native_ + L"\\" + toWide(name));
  if (entry == INVALID_HANDLE_VALUE)
    return true;
  fs::Status status;
  const bool refused =
      fs::statusOf(fromHandle(entry), &status) && status.link && status.owner == fs::Owner::other;
  CloseHandle(entry);
  if (refused)
    *err = linkRefusal(name_.empty() ? name : name_ + "/" + name);
  return !refused;
}

}  // namespace KVEL
