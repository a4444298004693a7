// Replacing a file as a whole, in a folder reached through checked handles
// (checked_folder.h): every step names the file relative to that handle.
//
// FileReplacement writes a file in such a folder: the new content goes into
// a temporary file beside it, which is then renamed over it in one step, so
// that a reader sees either the old file or the complete new one. What a
// plain write of the file (fopen with "w") would keep is kept:
// - a symbolic link of the running user's own (or root's) is followed: on
//   POSIX the file it points to is replaced the same way; on Windows, where
//   the checked folder checks a reparse point's owner but does not resolve
//   it, the file is written in place through it;
// - POSIX: the replaced file's permission bits, and its owner and group
//   where this process may set them, carry over to the new file. Windows:
//   the new file gets the access list its folder passes down;
// - a file that a plain write would refuse (no write permission, the
//   read-only attribute on Windows, held open by another process without
//   write sharing) is refused and left as it is, with the reason;
// - what is not a regular file (a FIFO, a socket, a device) is refused and
//   never opened for writing, so that nothing blocks on it;
// - where no temporary file can be made beside the file (a folder that is
//   not writable, no free inodes), the file has further names (hard links),
//   has an owner the new file cannot be given, or cannot be replaced while
//   another process holds it open, it is written in place. The room for the
//   new content is made sure of before the old content is overwritten, and
//   the old content is written back when a write fails.
// - launches that write the same file in place take turns (a rename needs
//   none: it replaces the file in one step): each takes a lock on the
//   file (flock on POSIX; on Windows a byte range far past its end, which
//   readers never meet), waits for it at most 30 seconds and then fails
//   with the reason. Where the file system has no locks, writes do not take
//   turns; the room check and the restore above still hold.
// Every refusal and failure comes with an "ERROR: " line of its reason.
//
// Temporary files are named ".~kvel.<process id>.<n>.tmp" (see
// isLaunchTemporary; a launch's own script, LaunchFile, is of the same
// form). While one exists it is held: open, and locked where the file system
// has locks. Each replacement first removes, in the folder where it makes
// its temporary, the ones of exactly that form that are regular files of the
// running user with one name only and that nobody holds: those of killed
// launches.
//
// An interrupt that arrives while the temporary file exists removes it
// before the process ends of it (interrupt_guard.h); the dispositions are
// changed only for the length of replace() and restored before it returns.
#ifndef SUPPORT_FS_FILE_REPLACEMENT_H
#define SUPPORT_FS_FILE_REPLACEMENT_H

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/fs/checked_folder.h"
#include "support/fs/file_content.h"
#include "support/fs/file_system.h"

namespace KVEL {

// True for a name of exactly the form the files a launch makes for itself
// get: ".~kvel.<process id>.<n>.<kind>", the process id and n decimal without
// leading zeros, kind "tmp" (a replacement's temporary) or "tcl" (a launch's
// own script).
bool isLaunchTemporary(const std::string& name);

// How a step ended: Unavailable means it could not be used (the file is
// then written in place, or the next name tried).
enum class Outcome { Done, Failed, Unavailable };

// A temporary file of this process in a folder, held (open, and locked where
// the file system has locks) while it exists, and removed when this ends
// unless kept by release().
class TempFile {
public:
  // ownerOnly: readable and writable by the running user alone (POSIX mode
  // 0600, Windows a protected access list), whatever the umask or the
  // folder's inheritable entries; kept open with read sharing only.
  TempFile(const CheckedFolder& folder, bool ownerOnly) : folder_(folder), ownerOnly_(ownerOnly) {}
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates it under name (which must not exist), held, with the
  // permissions of old (null: an ordinary new file's, or the owner-only
  // ones). Unavailable when it cannot be made, with *taken telling whether
  // the name was taken; Failed when it was made but then could not be given
  // the permissions nor be removed.
  Outcome create(const std::string& name, const fs::Status* old, bool* taken, std::string* err);
  // Writes the content in text mode as it is made; false on failure, with
  // *noRoom telling whether the volume or quota was full (false also when
  // the content could not be made).
  bool write(const FileContent& content, bool* noRoom);
  // Closes the handle it was written through; the lock stays.
  bool close();
  // Renames it over target. False when that failed; *refused tells whether
  // the place is closed to renaming but perhaps open to a plain write.
  bool renameOver(const std::string& target, bool* refused);
  // Keeps it, held, beyond the replacement: an interrupt no longer removes
  // it (the cleaning of a later launch does, once this process has ended).
  void release();
  // Removes it (or what a swap left at its name); false, with *err, when it
  // stays.
  bool remove(std::string* err);
  const std::string& name() const { return name_; }

private:
  const CheckedFolder& folder_;
  const bool ownerOnly_;
  std::string name_;
  bool made_ = false;     // something of this file is at name_
  bool guarded_ = false;  // an interrupt removes it
  fs::Handle file_ = fs::kNoHandle, lock_ = fs::kNoHandle;
};

class FileReplacement {
public:
  // The file `name` (a name without separators) in folder, which must stay
  // open while the replacement is used.
  FileReplacement(const CheckedFolder& folder, std::string name);
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Makes the content the file's whole content, written in text mode (on
  // Windows each "\n" becomes CR LF) as it is made, never held whole here.
  // The content is made again where the write falls back to the file in
  // place, once more before that to learn its size. False on failure, with
  // the file as it was; *err then holds what to print before the caller's
  // own message ("ERROR: " lines: the reason the file was refused, or a
  // temporary that could not be removed), or stays empty. Where the content
  // itself could not be made, *err may hold a reason that does not apply:
  // the caller, which made the content, knows. A call made while another one
  // runs (from a signal handler or another thread) fails.
  bool replace(const FileContent& content, std::string* err);
  // The pieces, one after the other, as the content.
  bool replace(const std::vector<std::string_view>& pieces, std::string* err) {
    return replace(PieceList(pieces), err);
  }
  // Looks, without writing or removing anything, for what replace() would
  // refuse before writing: a link that is not followed, a link loop, a
  // directory, what is not a regular file, a file a plain write refuses, a
  // path too long. False with the same *err replace() would give.
  bool check(std::string* err) const;

private:
  const CheckedFolder& folder_;
  std::string name_;
};

// A file of one launch's own in a folder, which no other launch writes:
// made new under the name ".~kvel.<process id>.<n>.tcl" (never over anything
// that is there), readable and writable by the running user alone, held as
// a temporary is while it exists and kept open (on Windows with read sharing
// only, so that no other process may write or remove it, while a reader
// may still open it), and removed by remove() or when this ends. One that a
// killed launch left is removed by the cleaning of a later one. The folder
// must stay open meanwhile.
class LaunchFile {
public:
  explicit LaunchFile(const CheckedFolder& folder);
  ~LaunchFile();
  LaunchFile(const LaunchFile&) = delete;
  LaunchFile& operator=(const LaunchFile&) = delete;

  // Makes the file, with the content as its whole content (text mode,
  // written as it is made), after removing what killed launches left in the
  // folder; one made before is removed first. False when none can be made
  // there (a folder closed to new files, no room) or the content could not
  // be made; *err then holds an "ERROR: " line where something could not be
  // removed, or stays empty.
  bool create(const FileContent& content, std::string* err);
  bool create(const std::vector<std::string_view>& pieces, std::string* err) {
    return create(PieceList(pieces), err);
  }
  // Its name in the folder; empty while there is none.
  const std::string& name() const;
  // The name the first try gets, for messages when none can be made.
  static std::string firstName();
  // Removes it; false, with *err, when it stays.
  bool remove(std::string* err);

private:
  const CheckedFolder& folder_;
  std::unique_ptr<TempFile> file_;
};

}  // namespace KVEL

#endif
