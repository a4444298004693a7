#include "support/fs/file_replacement.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "support/fs/interrupt_guard.h"

namespace KVEL {

using fs::Failure;
using fs::Handle;
using fs::kNoHandle;

namespace {

const char kTag[] = ".~kvel.";
// The kinds of file a launch makes under the tag: a replacement's temporary
// and a launch's own script.
const char kTemporary[] = "tmp";
const char kOwnScript[] = "tcl";
const char* const kKinds[] = {kTemporary, kOwnScript};

// Reads a decimal number without leading zeros from *p; false when none.
bool number(const char** p) {
  const char* start = *p;
  while (**p >= '0' && **p <= '9')
    ++*p;
  const long digits = *p - start;
  return digits > 0 && digits <= 10 && (digits == 1 || *start != '0');
}

// ".~kvel.<process id>.<n>.<kind>".
std::string launchFileName(unsigned n, const char* kind) {
  return kTag + std::to_string(fs::processId()) + "." + std::to_string(n) + "." + kind;
}

// folder's name joined with name, for messages.
std::string displayPath(const CheckedFolder& folder, const std::string& name) {
  return folder.name().empty() ? name : folder.name() + "/" + name;
}

// Sets *err, unless it holds a reason already, to the last system error for
// the file; returns false.
bool because(const CheckedFolder& folder, const std::string& name, std::string* err) {
  if (err->empty())
    *err = cannotWrite(displayPath(folder, name), fs::lastErrorText());
  return false;
}

// A failure that may pass: another process holds the file, or (Windows)
// is replacing or removing it.
bool passing(Failure failure) {
  return failure == Failure::Busy || (fs::kDeniedWhileReplaced && failure == Failure::Denied);
}

// Another launch's shell may hold the script open without delete sharing, and
// a file being replaced by another launch cannot be opened for a moment: such
// a step is tried again for up to two seconds before it counts as failed.
template <typename Step>
bool retryWhilePassing(Step step) {
  for (int attempt = 0;; ++attempt) {
    if (step())
      return true;
    if (attempt == 100 || !passing(fs::lastFailure()))
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// True when name in folder, a link at it not followed, is the open file.
bool names(const CheckedFolder& folder, const std::string& name, Handle file) {
  fs::Status held, named;
  return fs::statusOf(file, &held) && fs::statusAt(folder, name, false, &named) &&
         held.identity == named.identity;
}

// Counts what a text-mode write puts on disk.
class SizeSink final : public PieceSink {
public:
  bool put(std::string_view piece) override {
    size += piece.size();
    if (fs::kCarriageReturns)
      for (char c : piece)
        size += c == '\n';
    return true;
  }
  unsigned long long size = 0;
};

// Writes pieces as a text-mode write puts them on disk. Where line ends
// become CR LF the pieces go through a small buffer of their own.
class FileSink final : public PieceSink {
public:
  explicit FileSink(Handle file) : file_(file) {}
  bool put(std::string_view piece) override {
    if (!fs::kCarriageReturns)
      return send(piece);
    for (char c : piece) {
      if (used_ + 2 > sizeof buffer_ && !flush())
        return false;
      if (c == '\n')
        buffer_[used_++] = '\r';
      buffer_[used_++] = c;
    }
    return true;
  }
  // Writes what the buffer holds.
  bool flush() {
    const std::string_view rest(buffer_, used_);
    used_ = 0;
    return send(rest);
  }
  // Bytes handed to the file so far.
  unsigned long long size() const { return size_; }
  // A write to the file failed, as against the content not being made.
  bool failed() const { return failed_; }

private:
  bool send(std::string_view bytes) {
    size_ += bytes.size();
    failed_ = !bytes.empty() && !fs::writeAll(file_, bytes);
    return !failed_;
  }

  Handle file_;
  unsigned long long size_ = 0;
  bool failed_ = false;
  std::size_t used_ = 0;
  char buffer_[fs::kCarriageReturns ? 16384 : 2];
};

// Writes the content as a text-mode write puts it on disk; *size gets the
// bytes written, *failed whether a write failed (false: the content could
// not be made).
bool writeText(Handle file, const FileContent& content, unsigned long long* size, bool* failed) {
  FileSink sink(file);
  const bool written = content.produce(sink) && sink.flush();
  *size = sink.size();
  *failed = sink.failed();
  return written;
}

// The size of the content on disk in text mode; false when it could not be
// made.
bool textSize(const FileContent& content, unsigned long long* size) {
  SizeSink sink;
  const bool made = content.produce(sink);
  *size = sink.size;
  return made;
}

// True for one replacement at a time in the process.
std::atomic<bool> replacing(false);

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

// The interrupts held back while a file and its guard come or go together.
class InterruptsHeld {
public:
  InterruptsHeld() { fs::holdInterrupts(); }
  ~InterruptsHeld() { fs::resumeInterrupts(); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

// The interrupt dispositions of one file step, put back when it ends.
class InterruptScope {
public:
  InterruptScope() { fs::catchInterrupts(); }
  ~InterruptScope() { fs::releaseInterrupts(); }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;
};

// Creates file under the first free name of the kind: the counter goes on
// while a name is taken (by another launch of the same process id, or left).
Outcome createUnderFreeName(TempFile* file, const char* kind, const fs::Status* old,
                            std::string* err) {
  Outcome made = Outcome::Unavailable;
  bool taken = true;
  for (unsigned n = 0; n < 100 && made == Outcome::Unavailable && taken; ++n)
    made = file->create(launchFileName(n, kind), old, &taken, err);
  return made;
}

// A temporary of a killed launch: of the launches' name form, a regular file
// of the running user with one name, that nobody holds (open, or locked).
// The name is checked to still be the held file when it is removed.
void removeStaleTemporaries(const CheckedFolder& folder) {
  std::vector<std::string> listed;
  if (!fs::list(folder, &listed))
    return;
  for (const std::string& name : listed) {
    fs::Status status;
    // Only a regular file is opened: a FIFO or a device is never touched.
    if (!isLaunchTemporary(name) || !fs::statusAt(folder, name, false, &status) ||
        !status.regular)
      continue;
    const Handle file = fs::openAt(folder, name, fs::kRead | fs::kForRemoval);
    if (file == kNoHandle)
      continue;
    bool unsupported = false;
    if (fs::statusOf(file, &status) && status.regular && status.owner == fs::Owner::runningUser &&
        status.links == 1 && fs::tryLock(file, &unsupported) && names(folder, name, file))
      fs::removeOpen(folder, name, file);
    fs::closeHandle(file);
  }
}

// What name in folder is. A link that the checked folder left at it for the
// system to follow (Windows) is looked through; any other link there came
// after the folder's check and is refused as not a regular file. A file held
// so that it cannot even be looked at (Windows) counts as a regular file of
// one name, whose plain-write check then tells.
bool inspect(const CheckedFolder& folder, const std::string& name, fs::Status* status,
             bool* exists) {
  *exists = false;
  if (!fs::statusAt(folder, name, false, status))
    return fs::lastFailure() == Failure::Missing;
  *exists = true;
  if (status->link && fs::kLinksLeftToTheSystem) {
    fs::Status target;
    retryWhilePassing([&] { return fs::statusAt(folder, name, true, &target); });
    if (target.detailed && (target.regular || target.directory)) {
      target.link = true;
      *status = target;
    }
  }
  if (!status->detailed && !status->directory) {
    status->regular = true;
    status->links = 1;
  }
  return true;
}

// Whether a plain write would refuse the file; the reason in *err.
bool refusedAsItIs(const CheckedFolder& folder, const std::string& name, bool exists,
                   const fs::Status& old, std::string* err) {
  if (!exists)
    return false;
  const std::string shown = displayPath(folder, name);
  if (old.directory)
    *err = cannotWrite(shown, "it is a directory");
  else if (!old.regular)
    *err = cannotWrite(shown, "not a regular file");
  else if (old.readOnly)
    *err = cannotWrite(shown, "it has the read-only attribute");
  else if (retryWhilePassing([&] {
             return fs::mayWrite(folder, name) || fs::lastFailure() == Failure::Missing;
           }))
    return false;
  else
    *err = cannotWrite(shown, fs::lastFailure() == Failure::Busy ? "it is in use by another process"
                                                                 : fs::lastErrorText());
  return true;
}

// False, with the reason in *err, when the file's path is too long for the
// programs that are to read it.
bool usablePath(const CheckedFolder& folder, const std::string& name, std::string* err) {
  std::size_t length = 0;
  if (!fs::pathTooLong(folder, name, &length))
    return true;
  *err = "ERROR: The path " + displayPath(folder, name) + " is too long (" +
         std::to_string(length) + " characters; long paths are not enabled on this system).";
  return false;
}

// How long a launch waits for its turn to write a file that another launch
// is writing.
const std::chrono::seconds kTurnWait(30);

// Writers in place of one file take turns (a rename replaces the file in one
// step and needs none): the lock is taken on the file the name holds, and
// taken again should the name meanwhile hold another file.
class WriteTurn {
public:
  WriteTurn() = default;
  ~WriteTurn() {
    if (owned_)
      fs::closeHandle(lock_);
  }
  WriteTurn(const WriteTurn&) = delete;
  WriteTurn& operator=(const WriteTurn&) = delete;

  // Takes the turn unless one is held. A missing file needs no turn (its
  // creation is one step, and an in-place write takes its turn on what it
  // creates through on()).
  bool take(const CheckedFolder& folder, const std::string& name, std::string* err) {
    const auto deadline = std::chrono::steady_clock::now() + kTurnWait;
    while (lock_ == kNoHandle) {
      Handle file = openToLock(folder, name);
      if (file == kNoHandle)
        return true;
      owned_ = true;
      if (!wait(&file, folder, name, deadline, err))
        return false;
    }
    return true;
  }
  // Takes the turn on the open file (its owner closes it) unless one is held.
  bool on(Handle file, const CheckedFolder& folder, const std::string& name, std::string* err) {
    if (lock_ != kNoHandle)
      return true;
    owned_ = false;
    return wait(&file, folder, name, std::chrono::steady_clock::now() + kTurnWait, err);
  }

private:
  // The file `name` holds, opened only to take turns: never a link at it,
  // never what is not a regular file.
  static Handle openToLock(const CheckedFolder& folder, const std::string& name) {
    const Handle file = fs::openAt(folder, name, fs::kRead);
    fs::Status status;
    if (file != kNoHandle && (!fs::statusOf(file, &status) || !status.regular)) {
      fs::closeHandle(file);
      return kNoHandle;
    }
    return file;
  }

  // Waits for the lock of *file. Leaves lock_ unset, and an owned file
  // closed, when the name came to hold another file meanwhile.
  bool wait(Handle* file, const CheckedFolder& folder, const std::string& name,
            std::chrono::steady_clock::time_point deadline, std::string* err) {
    bool unsupported = false;
    while (!fs::tryLock(*file, &unsupported)) {
      // Without locks the writes do not take turns: the room check and the
      // restore still keep a whole file.
      if (unsupported)
        break;
      // A file replaced meanwhile needs no turn any more.
      if (!names(folder, name, *file))
        break;
      if (std::chrono::steady_clock::now() > deadline) {
        if (owned_)
          fs::closeHandle(*file);
        *err =
            cannotWrite(displayPath(folder, name), "another launch kept writing it for 30 seconds");
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (unsupported || names(folder, name, *file)) {
      lock_ = *file;  // held, or the file system has no locks
    } else if (owned_) {
      fs::closeHandle(*file);
    } else {
      lock_ = *file;  // written where it is, as a plain write would
    }
    return true;
  }

  Handle lock_ = kNoHandle;
  bool owned_ = false;  // lock_ was opened for the turn alone
};

Outcome throughTemporary(const CheckedFolder& folder, const std::string& name, bool exists,
                         const fs::Status& old, const FileContent& content, std::string* err) {
  // A second name of the file would keep the old content, and a link left
  // at it would be replaced itself; writing in place reaches the file.
  if (exists && (old.links > 1 || old.link))
    return Outcome::Unavailable;
  TempFile temporary(folder, false);
  const Outcome made = createUnderFreeName(&temporary, kTemporary, exists ? &old : nullptr, err);
  if (made != Outcome::Done)
    return made;
  bool noRoom = false;
  if (!temporary.write(content, &noRoom)) {
    because(folder, name, err);
    // Out of room for a second copy: in place needs only the difference.
    if (!temporary.remove(err))
      return Outcome::Failed;
    if (noRoom)
      err->clear();
    return noRoom ? Outcome::Unavailable : Outcome::Failed;
  }
  if (!temporary.close()) {
    because(folder, name, err);
    temporary.remove(err);
    return Outcome::Failed;
  }
  bool refused = false;
  const bool moved = temporary.renameOver(name, &refused);
  if (!moved && !refused)
    because(folder, name, err);
  if (!temporary.remove(err))
    return Outcome::Failed;
  if (moved)
    return Outcome::Done;
  return refused ? Outcome::Unavailable : Outcome::Failed;
}

// Whether size bytes can be written from the start of the open file, which
// holds had bytes, without running out of room or past a file-size limit
// (false with the error set).
bool roomFor(const CheckedFolder& folder, Handle file, unsigned long long had,
             unsigned long long size) {
  if (!fs::withinSizeLimit(size))
    return false;
  if (size <= had)
    return true;
  // Reserved, the blocks are there whatever else is written meanwhile.
  bool unsupported = false;
  if (fs::reserve(file, size, &unsupported))
    return true;
  if (!unsupported)
    return false;
  unsigned long long free = 0, unit = 0;
  return fs::freeRoom(folder, file, &free, &unit) && free >= size - had + unit;
}

// A file's old content, kept in pieces: each below the C library's mapping
// threshold, since a large block, once freed, would raise that threshold for
// the rest of the process.
class KeptContent {
public:
  // Reads the whole file, which held size bytes when it was opened.
  bool read(Handle file, unsigned long long size) {
    unsigned long long done = 0;
    while (done < size) {
      std::string piece(static_cast<std::size_t>(std::min<unsigned long long>(kPiece, size - done)),
                        '\0');
      std::size_t filled = 0, got = 0;
      while (filled < piece.size()) {
        if (!fs::readAt(file, done + filled, &piece[filled], piece.size() - filled, &got))
          return false;
        // Cut meanwhile by a writer that takes no turn: what it holds is kept.
        if (got == 0) {
          piece.resize(filled);
          size = done + filled;
        }
        filled += got;
      }
      done += piece.size();
      pieces_.push_back(std::move(piece));
    }
    return true;
  }
  // Writes it back from the start of the file and cuts the file there.
  bool restore(Handle file) const {
    unsigned long long size = 0;
    if (!fs::rewind(file))
      return false;
    for (const std::string& piece : pieces_) {
      if (!fs::writeAll(file, piece))
        return false;
      size += piece.size();
    }
    return fs::truncate(file, size);
  }

private:
  static constexpr std::size_t kPiece = 64u << 10;
  std::vector<std::string> pieces_;
};

// Opens name to be written in place, creating it where missing, and refuses
// (*handle left unset, the reason in *err) what is not a regular file.
bool openInPlace(const CheckedFolder& folder, const std::string& name, unsigned follow,
                 Handle* handle, fs::Status* status, bool* created, bool* readable,
                 std::string* err) {
  // Never opened unless a regular file: a FIFO would block or swallow the
  // script, and opening a device may act on it.
  const std::string notRegular = cannotWrite(displayPath(folder, name), "not a regular file");
  if (fs::statusAt(folder, name, follow != 0, status) && !status->regular) {
    *err = notRegular;
    return false;
  }
  *handle = fs::openAt(folder, name, fs::kWrite | fs::kCreateNew | follow);
  *created = *handle != kNoHandle;
  if (!*created && fs::lastFailure() == Failure::Exists) {
    *handle = fs::openAt(folder, name, fs::kRead | fs::kWrite | follow);
    if (*handle == kNoHandle && fs::lastFailure() == Failure::Denied) {
      *readable = false;
      *handle = fs::openAt(folder, name, fs::kWrite | follow);
    }
  }
  if (*handle == kNoHandle)
    return false;
  if (!fs::statusOf(*handle, status) || !status->regular) {
    *err = notRegular;
    return false;
  }
  return true;
}

// Writes the file itself, as a plain write does, but keeps the old content
// until the new one fits: the room is made sure of first, and a write that
// still fails puts the old content back.
bool inPlace(const CheckedFolder& folder, const std::string& name, bool throughLink,
             const FileContent& content, WriteTurn* turn, std::string* err) {
  if (!turn->take(folder, name, err))
    return false;
  Handle file = kNoHandle;
  fs::Status opened;
  bool created = false, readable = true;
  if (!openInPlace(folder, name, throughLink ? fs::kFollow : 0, &file, &opened, &created,
                   &readable, err)) {
    fs::closeHandle(file);
    return because(folder, name, err);
  }
  if (!turn->on(file, folder, name, err)) {
    fs::closeHandle(file);
    return false;
  }
  KeptContent old;
  // Write-only: the room is still made sure of, the old content is not kept.
  const bool keep = !created && readable;
  // The content is made once to learn its size, before anything is touched.
  unsigned long long size = 0, wrote = 0;
  bool failed = false;
  const bool kept = textSize(content, &size) && roomFor(folder, file, opened.size, size) &&
                    (!keep || old.read(file, opened.size));
  bool written = (kept && fs::rewind(file) && writeText(file, content, &wrote, &failed) &&
                  fs::truncate(file, wrote)) ||
                 because(folder, name, err);
  if (!written && kept && keep)
    old.restore(file);
  written = (fs::closeHandle(file) || because(folder, name, err)) && written;
  if (!written && created)
    fs::removeAt(folder, name);
  return written;
}

}  // namespace

bool isLaunchTemporary(const std::string& name) {
  if (name.compare(0, sizeof kTag - 1, kTag) != 0)
    return false;
  const char* p = name.c_str() + sizeof kTag - 1;
  if (!number(&p) || *p++ != '.' || !number(&p) || *p++ != '.')
    return false;
  for (const char* kind : kKinds)
    if (std::string(p) == kind)
      return true;
  return false;
}

TempFile::~TempFile() {
  std::string ignored;
  remove(&ignored);
}

Outcome TempFile::create(const std::string& name, const fs::Status* old, bool* taken,
                         std::string* err) {
  name_ = name;
  const unsigned how = fs::kRead | fs::kWrite | fs::kCreateNew | fs::kKeepWritersOut |
                       (ownerOnly_ ? fs::kOwnerOnly : 0);
  Failure failure = Failure::Other;
  {
    InterruptsHeld held;
    file_ = fs::openAt(folder_, name_, how);
    failure = fs::lastFailure();
    guarded_ = file_ != kNoHandle;
    if (guarded_)
      fs::guard(&folder_, name_.c_str());
  }
  *taken = file_ == kNoHandle && failure == Failure::Exists;
  if (file_ == kNoHandle)
    return Outcome::Unavailable;
  made_ = true;
  // Held by a lock on a handle of its own, which stays when the written one
  // is closed. A file system without locks leaves the file unlocked; the
  // cleaning cannot lock it either and leaves it alone.
  lock_ = fs::openAt(folder_, name_, fs::kRead);
  bool unsupported = false;
  const bool contested = lock_ != kNoHandle && !fs::tryLock(lock_, &unsupported) && !unsupported;
  if (contested || !names(folder_, name_, file_)) {
    // Another launch's cleaning took it between its creation and the lock:
    // that launch removes it, this one tries the next name.
    made_ = false;
    remove(err);
    *taken = true;
    return Outcome::Unavailable;
  }
  bool given = false;
  fs::Status own;
  if (!ownerOnly_) {
    given = fs::givePermissions(file_, old);
  } else if (fs::statusOf(file_, &own)) {
    own.mode = 0600;  // whatever the umask took from it
    given = fs::givePermissions(file_, &own);
  }
  if (given)
    return Outcome::Done;
  return remove(err) ? Outcome::Unavailable : Outcome::Failed;
}

bool TempFile::write(const FileContent& content, bool* noRoom) {
  unsigned long long size = 0;
  bool failed = false;
  if (writeText(file_, content, &size, &failed))
    return true;
  *noRoom = failed && fs::lastFailure() == Failure::NoRoom;
  return false;
}

bool TempFile::close() {
  const Handle file = file_;
  file_ = kNoHandle;
  return fs::closeHandle(file);
}

bool TempFile::renameOver(const std::string& target, bool* refused) {
  bool swapped = false;
  if (retryWhilePassing([&] { return fs::renameAt(folder_, name_, target, &swapped); })) {
    made_ = swapped;  // a swap leaves the old file at name_
    return true;
  }
  // A sticky folder lets only the file's owner replace it, and a file held
  // open by another process may not be replaced: a plain write may still be
  // allowed.
  *refused = fs::lastFailure() == Failure::Denied || fs::lastFailure() == Failure::Busy;
  return false;
}

void TempFile::release() {
  // An interrupt waiting to end the process finds the file gone.
  if (fs::interruptWaiting()) {
    std::string ignored;
    remove(&ignored);
  }
  InterruptsHeld held;
  if (guarded_)
    fs::guard(nullptr, nullptr);
  guarded_ = false;
}

bool TempFile::remove(std::string* err) {
  close();
  bool removed = true;
  {
    InterruptsHeld held;
    // Removed while still locked, so that no cleaning takes it meanwhile.
    if (made_)
      removed = fs::removeAt(folder_, name_) || fs::lastFailure() == Failure::Missing;
    if (guarded_)
      fs::guard(nullptr, nullptr);
    guarded_ = false;
  }
  fs::closeHandle(lock_);
  lock_ = kNoHandle;
  if (!removed)
    *err = "ERROR: Unable to remove temporary file " + displayPath(folder_, name_) + ".";
  made_ = false;
  return removed;
}

FileReplacement::FileReplacement(const CheckedFolder& folder, std::string name)
    : folder_(folder), name_(std::move(name)) {}

namespace {

// What the replacement of name in folder writes: the file the running user's
// own links lead to (*linked is opened on its folder when that is another),
// and what stands there. False, with the reason in *err where one can be
// told, when a plain write would refuse it.
bool locate(const CheckedFolder& folder, const std::string& name, CheckedFolder* linked,
            std::string* target, fs::Status* old, bool* exists, std::string* err) {
  if (!folder.isOpen() || !folder.followLinks(name, linked, target, err))
    return false;
  const CheckedFolder& reached = linked->isOpen() ? *linked : folder;
  return usablePath(reached, *target, err) && inspect(reached, *target, old, exists) &&
         !refusedAsItIs(reached, *target, *exists, *old, err);
}

}  // namespace

bool FileReplacement::replace(const FileContent& content, std::string* err) {
  err->clear();
  OneAtATime turn;
  if (!turn.acquired)
    return false;
  InterruptScope interrupts;
  CheckedFolder linked;
  std::string name;
  fs::Status old;
  bool exists = false;
  if (!locate(folder_, name_, &linked, &name, &old, &exists, err))
    return false;
  const CheckedFolder& folder = linked.isOpen() ? linked : folder_;
  WriteTurn writers;
  removeStaleTemporaries(folder);
  const Outcome outcome = throughTemporary(folder, name, exists, old, content, err);
  if (outcome != Outcome::Unavailable)
    return outcome == Outcome::Done || because(folder, name, err);
  return inPlace(folder, name, exists && old.link, content, &writers, err);
}

bool FileReplacement::check(std::string* err) const {
  err->clear();
  CheckedFolder linked;
  std::string name;
  fs::Status old;
  bool exists = false;
  return locate(folder_, name_, &linked, &name, &old, &exists, err);
}

LaunchFile::LaunchFile(const CheckedFolder& folder) : folder_(folder) {}

std::string LaunchFile::firstName() { return launchFileName(0, kOwnScript); }

LaunchFile::~LaunchFile() {
  std::string ignored;
  remove(&ignored);
}

bool LaunchFile::create(const FileContent& content, std::string* err) {
  err->clear();
  if (!remove(err))
    return false;
  OneAtATime turn;
  if (!turn.acquired || !folder_.isOpen())
    return false;
  // The longest name it may get is checked against the path limit.
  if (!usablePath(folder_, launchFileName(99, kOwnScript), err))
    return false;
  InterruptScope interrupts;
  removeStaleTemporaries(folder_);
  auto file = std::make_unique<TempFile>(folder_, true);
  if (createUnderFreeName(file.get(), kOwnScript, nullptr, err) != Outcome::Done)
    return because(folder_, launchFileName(0, kOwnScript), err);
  bool noRoom = false;
  if (!file->write(content, &noRoom)) {
    because(folder_, file->name(), err);
    file->remove(err);
    return false;
  }
  // Held open (on Windows with read sharing only) until it is removed.
  file->release();
  file_ = std::move(file);
  return true;
}

const std::string& LaunchFile::name() const {
  static const std::string none;
  return file_ ? file_->name() : none;
}

bool LaunchFile::remove(std::string* err) {
  std::unique_ptr<TempFile> file = std::move(file_);
  return !file || file->remove(err);
}

}  // namespace KVEL
