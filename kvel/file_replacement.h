// Replacing a file as a whole: the new content is written under a temporary
// name beside the file and then moved over it in one step, so that a reader
// sees either the old file or the complete new one.
//
// What a plain write of the file (fopen with "w") would keep is kept:
// - a symbolic link is followed, and the file it points to is replaced;
// - the replaced file's permission bits, and its owner and group where this
//   process may set them, carry over to the new file;
// - where no temporary file can be made beside the file (a directory that is
//   not writable, no free inodes), the file has further names (hard links), is
//   not a regular file, or has an owner the new file cannot be given, the file
//   is written in place instead.
// On Windows a file held open by another process (a shell sourcing the script)
// cannot be replaced; each such step is tried again for up to two seconds.
// While the temporary file exists, an interrupt (SIGINT, SIGTERM, SIGHUP,
// SIGQUIT; on Windows the console's Ctrl+C, Ctrl+Break and close events)
// removes it before the process ends of it.
#ifndef KVEL_FILE_REPLACEMENT_H
#define KVEL_FILE_REPLACEMENT_H

#include <cstdio>
#include <string>
#include <vector>

namespace KVEL {

class FileReplacement {
public:
  explicit FileReplacement(std::string path);
  ~FileReplacement();  // discard()
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Opens the stream to write, in text mode: a new temporary file, or the
  // file itself (created or truncated) when it is written in place. Null when
  // neither can be opened.
  std::FILE* open();

  // True when open() gave the file itself rather than a temporary file.
  bool inPlace() const { return inPlace_; }

  // Flushes and closes the stream, every step checked, and moves the
  // temporary file into place. False on any failure; a temporary file is
  // then removed and the file is as it was.
  bool commit();

  // Closes the stream and removes an uncommitted temporary file.
  void discard();

private:
  bool closeStream();
  void removeTemporary();

  std::string path_;
  std::string target_;           // path_ with symbolic links followed
  std::vector<char> temporary_;  // the temporary file's name, NUL-terminated; empty: none
  std::FILE* file_ = nullptr;
  bool inPlace_ = false;
};

}  // namespace KVEL

#endif
