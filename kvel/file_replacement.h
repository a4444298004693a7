// Replacing a file as a whole: the new content is written under a temporary
// name beside the file and then moved over it in one step, so that a reader
// sees either the old file or the complete new one. Whatever fails, the file
// is left as the whole old one or the whole new one.
//
// What a plain write of the file (fopen with "w") would keep is kept:
// - a symbolic link is followed, and the file it points to is replaced;
// - the replaced file's permission bits, and its owner and group where this
//   process may set them, carry over to the new file;
// - a file that a plain write would refuse (no write permission, the
//   read-only attribute on Windows) is refused and left as it is;
// - where no temporary file can be made beside the file (a directory that is
//   not writable, no free inodes, a temporary name past the path limits), the
//   file has further names (hard links), is not a regular file, has an owner
//   the new file cannot be given, or (on Windows) cannot be replaced while
//   another process holds it open, the file is written in place instead. The
//   room for the new content is made sure of before the old content is
//   overwritten, and the old content is written back when a write fails.
//
// Temporary files are named "<file>.<process id>.<n>". While one exists it is
// locked (an advisory lock on POSIX; on Windows the process that made it is
// running), and each replacement first removes the temporaries beside the file
// that no running replacement holds: those of killed processes.
//
// An interrupt (SIGINT, SIGTERM, SIGHUP, SIGQUIT; on Windows the console's
// Ctrl+C, Ctrl+Break and close events) that arrives while the temporary file
// exists removes it before the process ends of it. Writes past a file-size
// limit fail instead of raising SIGXFSZ. These signal dispositions are changed
// only for the length of replace() and restored before it returns.
#ifndef KVEL_FILE_REPLACEMENT_H
#define KVEL_FILE_REPLACEMENT_H

#include <string>
#include <string_view>
#include <vector>

namespace KVEL {

class FileReplacement {
public:
  explicit FileReplacement(std::string path);
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Makes the pieces, one after the other, the file's whole content (written
  // in text mode: on Windows each "\n" becomes CR LF). False on failure, with
  // the file as it was. A temporary file that could not be removed is named
  // in *err as an "ERROR: " line; otherwise *err stays empty. Any number of
  // instances may exist; replace() holds process-wide state (signal
  // dispositions) only while it runs, and a call made while another one runs
  // (from a signal handler or another thread) fails.
  bool replace(const std::vector<std::string_view>& pieces, std::string* err);

private:
  std::string path_;
};

}  // namespace KVEL

#endif
