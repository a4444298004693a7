// File status queries of the launcher: the one place that knows the platform's
// status call.
#ifndef KVEL_FILE_STATUS_H
#define KVEL_FILE_STATUS_H

#include <string>

namespace KVEL {

// True when the status of path can be read. A query that fails only because
// the file's size does not fit the status record (EOVERFLOW, files above 2 GiB
// with a 32-bit size field) still counts as accessible.
bool isAccessible(const std::string& path);

}  // namespace KVEL

#endif
