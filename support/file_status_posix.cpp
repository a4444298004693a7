#include "support/file_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/fs/checked_folder.h"

namespace KVEL {
namespace fs {

namespace {

bool fromStat(int result, const struct stat& st, Status* status) {
  *status = Status();
  if (result != 0)
    return false;
  status->regular = S_ISREG(st.st_mode);
  status->directory = S_ISDIR(st.st_mode);
  status->link = S_ISLNK(st.st_mode);
  status->links = st.st_nlink;
  status->size = static_cast<unsigned long long>(st.st_size);
  status->identity.device = static_cast<unsigned long long>(st.st_dev);
  status->identity.fileNumber = static_cast<unsigned long long>(st.st_ino);
  status->owner = st.st_uid == ::geteuid() ? Owner::runningUser
                  : st.st_uid == 0         ? Owner::systemOrRoot
                                           : Owner::other;
  status->mode = st.st_mode & 07777;
  status->ownerId = st.st_uid;
  status->group = st.st_gid;
  return true;
}

}  // namespace

Handle handleOf(int descriptor) { return descriptor; }

bool statusAt(const CheckedFolder& folder, const std::string& name, bool follow, Status* status) {
  struct stat st;
  const int result =
      ::fstatat(static_cast<int>(folder.handle()), name.c_str(), &st, follow ? 0 : AT_SYMLINK_NOFOLLOW);
  return fromStat(result, st, status);
}

bool statusOf(Handle file, Status* status) {
  struct stat st;
  return fromStat(::fstat(static_cast<int>(file), &st), st, status);
}

bool statusOfPath(const std::string& path, bool follow, Status* status) {
  struct stat st;
  return fromStat(follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st), st, status);
}

bool accessible(const std::string& path) {
  errno = 0;
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 || errno == EOVERFLOW;
}

}  // namespace fs
}  // namespace KVEL
