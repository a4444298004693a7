// The fatal-exception report: what the probe tells the message manager when
// the process dies of a hardware exception, and the usage-statistics switch-off.
#ifndef TARNLET_FATAL_EXCEPTION_REPORT_H
#define TARNLET_FATAL_EXCEPTION_REPORT_H

#include <cstdint>

namespace tarnlet {

// Source location the report names: the probe's main source file.
extern const char* const kProbeSourcePath;

// Value of EXCEPTION_EXECUTE_HANDLER: the process ends without further handlers.
const long kExceptionExecuteHandler = 1;

// Reports an exception with the given code: the code's scoped message with its
// table line, usage statistics switched off, then the closing message (line
// 77). Returns kExceptionExecuteHandler. A failing framework call is skipped
// so that the rest of the report still goes out; nothing is thrown.
long fatalExceptionFilter(std::uint32_t exceptionCode);

}  // namespace tarnlet

#endif
