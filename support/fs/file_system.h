// The primitives of the file-system layer, one definition per platform
// (file_system_posix.cpp, file_system_win32.cpp): the calls on the one
// native handle type (fs::Handle, with the status calls in
// support/file_status.h), each doing what it says and deciding nothing. What a step
// means (which file is held, which is removed, when a file is written in
// place, what a refusal says) is decided once above them, in
// file_replacement.cpp and checked_folder.cpp. Every name is a plain name (no
// separator) in a CheckedFolder.
#ifndef SUPPORT_FS_FILE_SYSTEM_H
#define SUPPORT_FS_FILE_SYSTEM_H

#include <string>
#include <string_view>
#include <vector>

#include "support/file_status.h"
#include "support/fs/checked_folder.h"

namespace KVEL {
namespace fs {

bool closeHandle(Handle handle);
unsigned long processId();

// What the last failed call reported, in the terms the layer decides on.
enum class Failure { Missing, Exists, NoRoom, Denied, Busy, Loop, Other };
Failure lastFailure();
// The system's text for it, without a final period.
std::string lastErrorText();

#ifdef _WIN32
// Windows denies access for a moment to a file that another process is
// replacing or removing, writes text with CR LF line ends, and takes "\"
// for a separator, a drive for a path's root and drops a name's last
// blanks and dots.
constexpr bool kDeniedWhileReplaced = true;
constexpr bool kCarriageReturns = true;
constexpr bool kWindowsPaths = true;
// Its checked folder checks a reparse point at a file's name but leaves
// following it to the system (checked_folder.h).
constexpr bool kLinksLeftToTheSystem = true;
#else
constexpr bool kDeniedWhileReplaced = false;
constexpr bool kCarriageReturns = false;
constexpr bool kWindowsPaths = false;
constexpr bool kLinksLeftToTheSystem = false;
#endif

// Whether a plain write (fopen "w") may open the existing file name in
// folder: its permissions, and on Windows another process's sharing.
bool mayWrite(const CheckedFolder& folder, const std::string& name);

// How openAt opens. Every open is non-blocking and never makes a terminal
// the controlling one. Sharing (Windows): an open for writing lets others
// read and write (as fopen), with kKeepWritersOut read only; any other open
// lets others read, write and remove; kForRemoval lets nobody in.
constexpr unsigned kRead = 1;
constexpr unsigned kWrite = 2;
constexpr unsigned kCreateNew = 4;  // made new: fails when the name stands
// Made readable and writable by the running user alone (POSIX mode 0600,
// Windows a protected access list).
constexpr unsigned kOwnerOnly = 8;
// No other process may open it for writing while this handle is open:
// Windows by sharing; POSIX by making it with mode 0600 (givePermissions
// then sets the mode it keeps).
constexpr unsigned kKeepWritersOut = 16;
constexpr unsigned kFollow = 32;  // a link at the name is followed (never otherwise)
// Opened so that removeOpen may remove it.
constexpr unsigned kForRemoval = 64;
Handle openAt(const CheckedFolder& folder, const std::string& name, unsigned flags);

// A new file without a name that only this handle reaches, readable and
// writable by the running user alone, gone when closed: POSIX O_TMPFILE in
// TMPDIR or /tmp; Windows a file in the temporary folder shared with no one
// and deleted on close. kNoHandle when none can be made.
Handle openUnnamedTemporary();

bool writeAll(Handle file, std::string_view bytes);
// Reads from offset into buffer; *got is 0 at the end.
bool readAt(Handle file, unsigned long long offset, char* buffer, std::size_t size,
            std::size_t* got);
bool rewind(Handle file);
bool truncate(Handle file, unsigned long long size);

// Renames from over to, both in folder. POSIX (Linux): over a regular file
// the two names may be swapped instead (*swapped), which readers see as
// atomic as a rename and which does not force the new data out to disk
// first; from then names the old file.
bool renameAt(const CheckedFolder& folder, const std::string& from, const std::string& to,
              bool* swapped);
bool removeAt(const CheckedFolder& folder, const std::string& name);
// Removes the open file, which name in folder is.
bool removeOpen(const CheckedFolder& folder, const std::string& name, Handle file);
bool list(const CheckedFolder& folder, std::vector<std::string>* names);

// Takes, without waiting, a lock that those who only read or write the
// file's content never meet (POSIX flock; Windows a byte far past the end);
// *unsupported when the file system has none.
bool tryLock(Handle file, bool* unsupported);

// Gives the file made new the permissions and owner of old, or (old null)
// those of an ordinary new file. POSIX only: on Windows a file keeps the
// access list it was made with (its folder's, or the owner-only one).
bool givePermissions(Handle file, const Status* old);
// Reserves size bytes from the start without changing the file: false,
// *unsupported when the file system cannot.
bool reserve(Handle file, unsigned long long size, bool* unsupported);
// False (the error set) when a file of size bytes would pass the process's
// file-size limit (POSIX; Windows has none).
bool withinSizeLimit(unsigned long long size);
// The free room of the volume and the unit it is counted in; the error is
// then set to "no room" for the caller that finds too little.
bool freeRoom(const CheckedFolder& folder, Handle file, unsigned long long* bytes,
              unsigned long long* unit);
// Windows without long paths enabled: the programs that read a file are held
// to MAX_PATH; *length is the path's length as they count it. Always false
// on POSIX.
bool pathTooLong(const CheckedFolder& folder, const std::string& name, std::size_t* length);

}  // namespace fs
}  // namespace KVEL

#endif
