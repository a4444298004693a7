// Replacing a file as a whole, in a folder reached through checked handles
// (checked_folder.h): every step names the file relative to that handle.
//
// FileReplacement writes a file in such a folder: the new content goes into
// a temporary file beside it, which is then renamed over it in one step, so
// that a reader sees either the old file or the complete new one. What a
// plain write of the file (fopen with "w") would keep is kept:
// - a symbolic link of the running user's own (or root's) is followed, the
//   same way, and the file it points to is replaced;
// - the replaced file's permission bits, and its owner and group where this
//   process may set them, carry over to the new file;
// - a file that a plain write would refuse (no write permission, the
//   read-only attribute on Windows, held open by another process without
//   write sharing) is refused and left as it is, with the reason;
// - what is not a regular file (a FIFO, a socket, a device) is refused and
//   never opened for writing, so that nothing blocks on it;
// - where no temporary file can be made beside the file (a folder that is
//   not writable, no free inodes), the file has further names (hard links),
//   has an owner the new file cannot be given, or (on Windows) cannot be
//   replaced while another process holds it open, it is written in place.
//   The room for the new content is made sure of before the old content is
//   overwritten, and the old content is written back when a write fails.
// - launches that write the same file take turns: each takes a lock on the
//   file (flock on POSIX; on Windows a byte range far past its end, which
//   readers never meet), waits for it at most 10 seconds and then fails
//   with the reason. Where the file system has no locks, writes do not take
//   turns; the room check and the restore above still hold.
// Every refusal and failure comes with an "ERROR: " line of its reason.
//
// Temporary files are named ".~kvel.<process id>.<n>.tmp" (see
// isLaunchTemporary; a launch's own script, LaunchFile, is of the same
// form). While one exists it is held (an advisory lock on POSIX; on Windows
// the file is open and the process that made it runs); each replacement
// first removes, in the folder where it makes its temporary, the ones of
// exactly that form that are regular files of the running user with one
// name only and that no running launch holds: those of killed launches.
//
// An interrupt (SIGINT, SIGTERM, SIGHUP, SIGQUIT; on Windows the console's
// Ctrl+C, Ctrl+Break and close events) that arrives while the temporary file
// exists removes it before the process ends of it. Writes past a file-size
// limit fail instead of raising SIGXFSZ. These dispositions are changed only
// for the length of replace() and restored before it returns.
#ifndef SUPPORT_FS_FILE_REPLACEMENT_H
#define SUPPORT_FS_FILE_REPLACEMENT_H

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/fs/checked_folder.h"

namespace KVEL {

namespace replacement {
class TempFile;
}

// True for a name of exactly the form the files a launch makes for itself
// get: ".~kvel.<process id>.<n>.<kind>", the process id and n decimal without
// leading zeros, kind "tmp" (a replacement's temporary) or "tcl" (a launch's
// own script).
bool isLaunchTemporary(const std::string& name);

class FileReplacement {
public:
  // The file `name` (a name without separators) in folder, which must stay
  // open while the replacement is used.
  FileReplacement(const CheckedFolder& folder, std::string name);
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Makes the pieces, one after the other, the file's whole content (written
  // in text mode: on Windows each "\n" becomes CR LF). False on failure, with
  // the file as it was; *err then holds what to print before the caller's
  // own message ("ERROR: " lines: the reason the file was refused, or a
  // temporary that could not be removed), or stays empty. A call made while
  // another one runs (from a signal handler or another thread) fails.
  bool replace(const std::vector<std::string_view>& pieces, std::string* err);
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

  // Makes the file, with the pieces as its whole content (text mode), after
  // removing what killed launches left in the folder; one made before is
  // removed first. False when none can be made there (a folder closed to
  // new files, no room); *err then holds an "ERROR: " line where something
  // could not be removed, or stays empty.
  bool create(const std::vector<std::string_view>& pieces, std::string* err);
  // Its name in the folder; empty while there is none.
  const std::string& name() const;
  // The name the first try gets, for messages when none can be made.
  static std::string firstName();
  // Removes it; false, with *err, when it stays.
  bool remove(std::string* err);

private:
  const CheckedFolder& folder_;
  std::unique_ptr<replacement::TempFile> file_;
};

}  // namespace KVEL

#endif
