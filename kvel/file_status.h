// File status queries of the launcher: the one place that knows the platform's
// status calls.
#ifndef KVEL_FILE_STATUS_H
#define KVEL_FILE_STATUS_H

#include <string>

namespace KVEL {

// True when the status of path can be read. A query that fails only because
// the file's size does not fit the status record (EOVERFLOW, files above 2 GiB
// with a 32-bit size field) still counts as accessible.
bool isAccessible(const std::string& path);

// False when reaching path (each of its parts, and path itself, in the way
// opening it resolves them) follows a symbolic link that belongs to another
// user than the one this process runs as. A link owned by root is trusted.
// Parts that do not exist yet are not links. Windows: always true (its
// symbolic links need a privilege to make).
bool symbolicLinksTrusted(const std::string& path);

}  // namespace KVEL

#endif
