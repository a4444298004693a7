// The platform primitives under FileReplacement: file_replacement.cpp holds
// the sequence, file_replacement_posix.cpp and file_replacement_win32.cpp
// each give these steps for their platform. Every name here is a plain name
// (no separator) in a CheckedFolder.
#ifndef SUPPORT_FS_FILE_REPLACEMENT_PARTS_H
#define SUPPORT_FS_FILE_REPLACEMENT_PARTS_H

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "support/fs/file_replacement.h"

namespace KVEL {

namespace replacement {

// True for one replacement at a time in the process.
inline std::atomic<bool> replacing(false);

class OneAtATime {
public:
  OneAtATime() : acquired(!replacing.exchange(true)) {}
  ~OneAtATime() {
    if (acquired)
      replacing.store(false);
  }
  OneAtATime(const OneAtATime&) = delete;
  OneAtATime& operator=(const OneAtATime&) = delete;
  const bool acquired;
};

// How a step ended: Unavailable means it could not be used and the file is
// to be written in place.
enum class Outcome { Done, Failed, Unavailable };

inline std::string removalFailure(const std::string& name) {
  return "ERROR: Unable to remove temporary file " + name + ".";
}

// folder's name joined with name, for messages.
std::string displayPath(const CheckedFolder& folder, const std::string& name);

// ".~kvel.<process id>.<n>.<kind>".
std::string launchFileName(unsigned n, const char* kind);

// What a name in a folder is, its own (a link at it is not followed).
struct FileState {
  bool exists = false;
  bool regular = false;  // a regular file (not a link, device, FIFO...)
  bool directory = false;
  bool throughLink = false;  // Windows: reached through a reparse point,
                             // which only a write in place follows
  unsigned long long links = 0, size = 0;
  unsigned mode = 0;  // POSIX: permission bits
  unsigned long owner = 0, group = 0;
};

// --- Primitives: one definition per platform. ---

// The text of the last failed system call's error (errno, GetLastError()),
// without a final period.
std::string lastErrorText();

// An open file used only to take turns (see FileReplacement): opened for
// reading when `name` in folder is a regular file, never following a link at
// it and never blocking; -1 otherwise.
long long openToLock(const CheckedFolder& folder, const std::string& name);
// Tries to take the lock of an open file without waiting: a lock that those
// who only read the file never meet (an advisory lock on POSIX; on Windows a
// byte range far past the end). *unsupported when the file system has none.
bool tryLock(long long file, bool* unsupported);
// True when `name` in folder, a link at it not followed, is the open file.
bool stillNamed(const CheckedFolder& folder, const std::string& name, long long file);
void closeFile(long long file);

// False when the name cannot be looked at (other than by not existing).
bool inspect(const CheckedFolder& folder, const std::string& name, FileState* state);

// Whether a plain write would refuse the existing file, which is no
// directory; the reason in *err.
bool refused(const CheckedFolder& folder, const std::string& name, const FileState& state,
             std::string* err);

// False, with the reason in *err, when the file's path is too long for
// the programs that are to read it (Windows without long paths enabled).
bool usablePath(const CheckedFolder& folder, const std::string& name, std::string* err);

// The process id in temporary names.
unsigned long processId();

// Removes the temporaries in folder that a killed launch left: see
// file_replacement.h.
void removeStaleTemporaries(const CheckedFolder& folder);

// The interrupt and file-size-limit dispositions of one replacement (see
// file_replacement.h), put back when it ends; TempFile tells it the temporary
// to remove.
class InterruptScope {
public:
  InterruptScope();
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;
};

// A temporary file of this process in a folder, held while it exists.
class TempFile {
public:
  // ownerOnly: readable and writable by the running user alone (POSIX mode
  // 0600, Windows a protected access list), whatever the umask or the
  // folder's inheritable entries.
  explicit TempFile(const CheckedFolder& folder, bool ownerOnly = false)
      : folder_(folder), ownerOnly_(ownerOnly) {}
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates it under name (which must not exist), held and with the mode
  // and owner of old (null: an ordinary new file's, or the owner-only
  // one). Unavailable when it
  // cannot be made, with *taken telling whether the name was taken; Failed
  // when it was made but then could not be given the mode nor be removed.
  Outcome create(const std::string& name, const FileState* old, bool* taken, std::string* err);
  // Writes the pieces in text mode; false on failure, with *noRoom telling
  // whether the volume or quota was full.
  bool write(const std::vector<std::string_view>& pieces, bool* noRoom);
  bool close();
  // Renames it over target. False when that failed; *refused tells whether
  // the place is closed to renaming but perhaps open to a plain write.
  bool renameOver(const std::string& target, bool* refused);
  // Keeps it, held, beyond the replacement: an interrupt no longer removes
  // it (the cleaning of a later launch does, once this process has ended).
  void release();
  // Removes it (or what it left at its name); false, with *err, when it stays.
  bool remove(std::string* err);
  const std::string& name() const { return name_; }

private:
  const CheckedFolder& folder_;
  const bool ownerOnly_;
  std::string name_;
  bool made_ = false;    // something of this replacement is at name_
  long long file_ = -1;  // the open file
  long long lock_ = -1;  // POSIX: a second descriptor holding the lock
};

// A file opened to be written in place.
class InPlaceFile {
public:
  InPlaceFile() = default;
  ~InPlaceFile();
  InPlaceFile(const InPlaceFile&) = delete;
  InPlaceFile& operator=(const InPlaceFile&) = delete;

  // Opens name for reading and writing, creating it when missing, never
  // following a link at it and never blocking; refuses (false, with a reason
  // in *err) what is not a regular file.
  bool open(const CheckedFolder& folder, const std::string& name, std::string* err);
  bool created() const { return created_; }
  bool readable() const { return readable_; }
  unsigned long long size() const { return size_; }
  long long handle() const { return file_; }
  // Whether size bytes can be written from the start without running out of
  // room or past a file-size limit (false with the error set for
  // lastErrorText()).
  bool roomFor(unsigned long long size);
  bool readAll(std::string* content);
  // Writes from the start and cuts the file there: the pieces in text mode,
  // or bytes as they are.
  bool rewrite(const std::vector<std::string_view>& pieces);
  bool rewriteBytes(const std::string& bytes);
  bool close();
  // Removes the file it created.
  void removeCreated();

private:
  const CheckedFolder* folder_ = nullptr;
  std::string name_;
  long long file_ = -1;
  bool created_ = false, readable_ = true;
  unsigned long long size_ = 0;
};

// The size of the pieces on disk in text mode.
unsigned long long textSize(const std::vector<std::string_view>& pieces);

}  // namespace replacement
}  // namespace KVEL

#endif
