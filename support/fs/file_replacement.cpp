#include "support/fs/file_replacement.h"

#include <chrono>
#include <thread>
#include <utility>

#include "support/fs/file_replacement_parts.h"

namespace KVEL {

namespace replacement {

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

// Creates file under the first free name of the kind: the counter goes on
// while a name is taken (by another launch of the same process id, or left).
Outcome createUnderFreeName(TempFile* file, const char* kind, const FileState* old,
                            std::string* err) {
  Outcome made = Outcome::Unavailable;
  bool taken = true;
  for (unsigned n = 0; n < 100 && made == Outcome::Unavailable && taken; ++n)
    made = file->create(launchFileName(n, kind), old, &taken, err);
  return made;
}

// Sets *err, unless it holds a reason already, to the last system error for
// the file; returns false.
bool because(const CheckedFolder& folder, const std::string& name, std::string* err) {
  if (err->empty())
    *err = cannotWrite(displayPath(folder, name), lastErrorText());
  return false;
}

// How long a launch waits for its turn to write a file that another launch
// is writing.
const std::chrono::seconds kTurnWait(10);

// Writers of one file take turns: the lock is taken on the file the name
// holds, and taken again should the name meanwhile hold another file.
class WriteTurn {
public:
  WriteTurn() = default;
  ~WriteTurn() { closeFile(lock_); }
  WriteTurn(const WriteTurn&) = delete;
  WriteTurn& operator=(const WriteTurn&) = delete;

  // A missing file needs no turn (its creation is one step, and an in-place
  // write takes its turn on what it creates through on()).
  bool take(const CheckedFolder& folder, const std::string& name, std::string* err) {
    for (int again = 0; again < 100; ++again) {
      const long long file = openToLock(folder, name);
      if (file == -1)
        return true;
      if (!on(file, folder, name, err))
        return false;
      if (lock_ == -1 || stillNamed(folder, name, file))
        return true;
      closeFile(lock_);
      lock_ = -1;
    }
    return true;
  }
  // Takes the turn on the open file (which this keeps) unless one is held.
  bool on(long long file, const CheckedFolder& folder, const std::string& name, std::string* err) {
    if (lock_ != -1)
      return true;
    const auto deadline = std::chrono::steady_clock::now() + kTurnWait;
    bool unsupported = false;
    while (!tryLock(file, &unsupported)) {
      // Without locks the writes do not take turns: the room check and the
      // restore still keep the old content when one fails.
      if (unsupported)
        break;
      if (std::chrono::steady_clock::now() > deadline) {
        *err =
            cannotWrite(displayPath(folder, name), "another launch kept writing it for 10 seconds");
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    lock_ = unsupported ? -1 : file;
    return true;
  }

private:
  long long lock_ = -1;
};

Outcome throughTemporary(const CheckedFolder& folder, const std::string& name, const FileState& old,
                         const std::vector<std::string_view>& pieces, std::string* err) {
  // A second name of the file would keep the old content; writing in place
  // reaches it.
  if (old.exists && (old.links > 1 || old.throughLink))
    return Outcome::Unavailable;
  TempFile temporary(folder);
  const Outcome made =
      createUnderFreeName(&temporary, kTemporary, old.exists ? &old : nullptr, err);
  if (made != Outcome::Done)
    return made;
  bool noRoom = false;
  if (!temporary.write(pieces, &noRoom)) {
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

// Writes the file itself, as a plain write does, but keeps the old content
// until the new one fits: the room is made sure of first, and a write that
// still fails puts the old content back.
bool inPlace(const CheckedFolder& folder, const std::string& name,
             const std::vector<std::string_view>& pieces, WriteTurn* turn, std::string* err) {
  InPlaceFile file;
  if (!file.open(folder, name, err))
    return because(folder, name, err);
  if (!turn->on(file.handle(), folder, name, err))
    return false;
  std::string old;
  // Write-only: the room is still made sure of, the old content is not kept.
  const bool keep = !file.created() && file.readable();
  const bool kept = file.roomFor(textSize(pieces)) && (!keep || file.readAll(&old));
  bool written = (kept && file.rewrite(pieces)) || because(folder, name, err);
  if (!written && kept && keep)
    file.rewriteBytes(old);
  written = (file.close() || because(folder, name, err)) && written;
  if (!written)
    file.removeCreated();
  return written;
}

}  // namespace

std::string displayPath(const CheckedFolder& folder, const std::string& name) {
  return folder.name().empty() ? name : folder.name() + "/" + name;
}

std::string launchFileName(unsigned n, const char* kind) {
  return kTag + std::to_string(processId()) + "." + std::to_string(n) + "." + kind;
}

}  // namespace replacement

using namespace replacement;

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

FileReplacement::FileReplacement(const CheckedFolder& folder, std::string name)
    : folder_(folder), name_(std::move(name)) {}

namespace {

// Whether a plain write would refuse the file; the reason in *err.
bool refusedAsItIs(const CheckedFolder& folder, const std::string& name, const FileState& old,
                   std::string* err) {
  if (!old.exists)
    return false;
  if (old.directory) {
    *err = cannotWrite(displayPath(folder, name), "it is a directory");
    return true;
  }
  return refused(folder, name, old, err);
}

}  // namespace

bool FileReplacement::replace(const std::vector<std::string_view>& pieces, std::string* err) {
  err->clear();
  OneAtATime turn;
  if (!turn.acquired || !folder_.isOpen())
    return false;
  InterruptScope interrupts;
  // The file the running user's own links lead to, in a folder of its own.
  CheckedFolder linked;
  std::string name;
  if (!folder_.followLinks(name_, &linked, &name, err))
    return false;
  const CheckedFolder& folder = linked.isOpen() ? linked : folder_;
  if (!usablePath(folder, name, err))
    return false;
  FileState old;
  if (!inspect(folder, name, &old))
    return false;
  // A file that a plain write could not open stays as it is.
  if (refusedAsItIs(folder, name, old, err))
    return false;
  WriteTurn writers;
  if (!writers.take(folder, name, err))
    return false;
  removeStaleTemporaries(folder);
  const Outcome outcome = throughTemporary(folder, name, old, pieces, err);
  if (outcome != Outcome::Unavailable)
    return outcome == Outcome::Done || because(folder, name, err);
  return inPlace(folder, name, pieces, &writers, err);
}

bool FileReplacement::check(std::string* err) const {
  err->clear();
  CheckedFolder linked;
  std::string name;
  if (!folder_.isOpen() || !folder_.followLinks(name_, &linked, &name, err))
    return false;
  const CheckedFolder& folder = linked.isOpen() ? linked : folder_;
  FileState old;
  if (!usablePath(folder, name, err) || !inspect(folder, name, &old))
    return false;
  return !refusedAsItIs(folder, name, old, err);
}

LaunchFile::LaunchFile(const CheckedFolder& folder) : folder_(folder) {}

std::string LaunchFile::firstName() { return launchFileName(0, kOwnScript); }

LaunchFile::~LaunchFile() {
  std::string ignored;
  remove(&ignored);
}

bool LaunchFile::create(const std::vector<std::string_view>& pieces, std::string* err) {
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
  if (!file->write(pieces, &noRoom)) {
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
