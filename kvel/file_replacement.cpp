#include "kvel/file_replacement.h"

#include <utility>

#include "kvel/file_replacement_parts.h"

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
    // Out of room for a second copy: in place needs only the difference.
    if (!temporary.remove(err))
      return Outcome::Failed;
    return noRoom ? Outcome::Unavailable : Outcome::Failed;
  }
  if (!temporary.close()) {
    temporary.remove(err);
    return Outcome::Failed;
  }
  bool refused = false;
  const bool moved = temporary.renameOver(name, &refused);
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
             const std::vector<std::string_view>& pieces, std::string* err) {
  InPlaceFile file;
  if (!file.open(folder, name, err))
    return false;
  std::string old;
  const bool room = file.roomFor(textSize(pieces));
  // Write-only: the room is still made sure of, the old content is not kept.
  const bool keep = !file.created() && file.readable();
  const bool kept = room && (!keep || file.readAll(&old));
  bool written = kept && file.rewrite(pieces);
  if (!written && kept && keep)
    file.rewriteBytes(old);
  written = file.close() && written;
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
  if (old.exists && refused(folder, name, old, err))
    return false;
  removeStaleTemporaries(folder);
  const Outcome outcome = throughTemporary(folder, name, old, pieces, err);
  if (outcome != Outcome::Unavailable)
    return outcome == Outcome::Done;
  return inPlace(folder, name, pieces, err);
}

LaunchFile::LaunchFile(const CheckedFolder& folder) : folder_(folder) {}

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
  InterruptScope interrupts;
  removeStaleTemporaries(folder_);
  auto file = std::make_unique<TempFile>(folder_);
  if (createUnderFreeName(file.get(), kOwnScript, nullptr, err) != Outcome::Done)
    return false;
  bool noRoom = false;
  if (!file->write(pieces, &noRoom) || !file->close()) {
    file->remove(err);
    return false;
  }
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
