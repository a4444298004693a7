#include "framework/standin/file_size_limit.h"

namespace zekshell {

// Windows has no file-size limit signal: a write past a limit fails with an
// error already.
FileSizeLimitScope::FileSizeLimitScope() = default;
FileSizeLimitScope::~FileSizeLimitScope() = default;

}  // namespace zekshell
