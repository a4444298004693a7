// A folder reached through checked handles: opened one component at a time
// from the working directory (missing ones created on request), each
// component opened without following a symbolic link. A link met on the way
// is looked at through a handle of its own and followed only when it belongs
// to the running user or to root (Windows: a reparse point whose owner is
// the running user, SYSTEM or the administrators), by opening its target the
// same way. Every later step names files relative to the handle, never by a
// path resolved again, so that another user who may write into a folder on
// the way cannot redirect the steps elsewhere. Folders themselves may belong
// to anyone: a shared snapshot folder is normally a colleague's.
//
// Windows: the folder is held open without delete sharing (it cannot be
// renamed or removed meanwhile) and its files are reached by the folder's
// absolute "\\?\" path, so that no step fails for the path's length alone.
#ifndef SUPPORT_FS_CHECKED_FOLDER_H
#define SUPPORT_FS_CHECKED_FOLDER_H

#include <string>
#include <vector>

namespace KVEL {

class CheckedFolder {
public:
  CheckedFolder() = default;
  ~CheckedFolder();
  CheckedFolder(const CheckedFolder&) = delete;
  CheckedFolder& operator=(const CheckedFolder&) = delete;

  // Opens path (relative to the working directory, or absolute), creating
  // the missing components when create is set; a folder open before is
  // closed first. False with the reason, where one can be told, as an
  // "ERROR: " line in *err (empty otherwise).
  bool open(const std::string& path, bool create, std::string* err);

  // The file that writing `name` (no separators) in this folder reaches.
  // POSIX: the running user's own links (and root's) at it are followed as
  // above; on success *target is opened on the folder of that file, or left
  // closed when it is this folder, and *targetName is the file's name there.
  // Windows: a reparse point at it is only checked for its owner (*target
  // stays closed, *targetName is name); the system follows it when the file
  // is opened through it. False, with a reason in *err where one can be
  // told, when a link is refused or cannot be followed.
  bool followLinks(const std::string& name, CheckedFolder* target, std::string* targetName,
                   std::string* err) const;

  // Whether path (relative to the working directory, or absolute), followed
  // as a program opening it follows it, reaches the same existing file as
  // `name` in this folder does.
  bool sameFile(const std::string& name, const std::string& path) const;

  // Opens the absolute path as a place for a private folder
  // (private_folder.h): POSIX: no symbolic link followed, and every folder
  // from the root down belongs to the running user or root and is writable
  // by no one else, or only with the sticky bit. Windows: as open(), without
  // creating. False with the reason (no "ERROR: ") in *why.
  bool openSafePlace(const std::string& path, std::string* why);
  // Opens `name` in this folder as a private folder into *folder, creating
  // it where missing (fresh: it must be made new): POSIX mode 0700; Windows
  // with an access list for the running user alone (file_owner.h), set
  // again on one that stood. False, with the reason (no "ERROR: ") in *why,
  // when it cannot be had; *taken then tells whether the name stands but is
  // not a folder of the user's that only the user may enter (or, for fresh,
  // stands at all).
  bool openPrivate(const std::string& name, bool fresh, CheckedFolder* folder, bool* taken,
                   std::string* why) const;
  // Removes the folder `name` when it is empty; false when it stays.
  bool removeEmptyFolder(const std::string& name) const;
  void close();

  bool isOpen() const { return handle_ != -1; }
  // The folder as the user named it, for messages ("" for the working
  // directory itself).
  const std::string& name() const { return name_; }
  // POSIX: the directory descriptor; Windows: the folder's HANDLE.
  long long handle() const { return handle_; }
  // Windows: the folder's "\\?\" path; empty on POSIX.
  const std::wstring& nativePath() const { return native_; }

private:
  std::string name_;
  long long handle_ = -1;
  std::wstring native_;
  std::vector<long long> held_;  // Windows: the folders on the way, held
};

// The messages of a file step: a link of another user's refused on the way
// to path, and a file that cannot be written, with the reason.
inline std::string linkRefusal(const std::string& path) {
  return "ERROR: A symbolic link on the way to " + path +
         " belongs to another user and is not followed.";
}
inline std::string cannotWrite(const std::string& path, const std::string& reason) {
  return "ERROR: Cannot write " + path + ": " + reason + ".";
}

// The components of path, split where isPathSeparator says, without empty
// ones and ".".
std::vector<std::string> pathComponents(const std::string& path);

// True for a character that separates path components: "/", and on Windows
// also "\\".
bool isPathSeparator(char c);

// The length of path's root that names another volume or the top of one:
// on Windows a drive ("C:") and the separators at the start (as a UNC
// path's two); 0 on POSIX, where such a path inside a folder is a path there.
std::string::size_type rootLength(const std::string& path);

// True for a path component whose last blanks or dots the system drops, so
// that it names another folder than it says: on Windows one that ends in a
// blank or a dot and is neither "." nor a parent reference; never on POSIX.
bool losesItsEnd(const std::string& part);

// True for a path component that the system takes for the parent folder:
// "..", and on Windows, which drops trailing dots and blanks from names, any
// component of dots and blanks with at least two dots.
bool isParentReference(const std::string& part);

}  // namespace KVEL

#endif
