// A folder of the running user's own, where a launch makes the files that
// no other user may change: its own run script. It is opened through checked
// handles (checked_folder.h) and used only when no other user can write into
// it, nor replace or remove it or any folder on the way to it:
// - POSIX: the folder belongs to the running user and has no permission for
//   group or others (made with mode 0700); every folder on the way belongs
//   to the user or root and is writable by no one else, or only with the
//   sticky bit; no symbolic link is followed on the way.
// - Windows: the folder belongs to the running user and gets an access list
//   that lets only that user in, protected from the entries the folder above
//   would pass down; it and the folders on the way are held open without
//   delete sharing while it is in use, and only trusted reparse points are
//   followed on the way (checked_folder.h).
//
// The places tried, in order (a place that is unset, not absolute or not
// safe as above is passed over):
// - POSIX: $TMPDIR, /tmp, /var/tmp, each holding "kvel-<uid>".
// - Windows: %TMP%, %TEMP%, %LOCALAPPDATA%\Temp, %USERPROFILE%\AppData\Local\Temp,
//   each holding "kvel-<user name>". With TMP and TEMP unset the system's own
//   temporary-path lookup falls back to the profile or the Windows folder;
//   these are not asked for.
// In each place, the fixed name is used when it is a folder of the user's
// that no one else may enter; a name found taken, or not private, is passed
// over for a fresh one, "kvel-<uid or user>-<random>", made new and removed
// (when empty) as the folder is closed.
#ifndef SUPPORT_FS_PRIVATE_FOLDER_H
#define SUPPORT_FS_PRIVATE_FOLDER_H

#include <string>
#include <vector>

#include "support/fs/checked_folder.h"

namespace KVEL {

class PrivateFolder {
public:
  PrivateFolder() = default;
  // Removes a fresh folder made by open() if it is empty.
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  // Opens (creating it where missing) the first usable private folder.
  // False when none can be had; *err then holds one "ERROR: " line that
  // names each place tried and why it was passed over. With lookOnly set
  // nothing is created or opened beyond the places: true when a place is
  // safe, so that a folder there is used or could be made.
  bool open(bool lookOnly, std::string* err);
  const CheckedFolder& folder() const { return folder_; }
  // Where open() would try first, for messages: "<place>/<name>".
  static std::string firstCandidate();

private:
  void close();

  CheckedFolder place_, folder_;
  std::string fresh_;  // the name of a folder made new by open(), or ""
};

// --- Primitives, one definition per platform (private_folder_*.cpp). ---
namespace privatefolder {

// The places to try, in order, as absolute paths; unset ones left out.
std::vector<std::string> places();
// The user's part of the folder's name: the uid, or the user name.
std::string userTag();
// Random letters and digits for a fresh name.
std::string randomTag();

}  // namespace privatefolder
}  // namespace KVEL

#endif
