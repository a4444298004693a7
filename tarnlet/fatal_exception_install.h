// Installs the fatal-exception report as the process's last-resort handler.
#ifndef TARNLET_FATAL_EXCEPTION_INSTALL_H
#define TARNLET_FATAL_EXCEPTION_INSTALL_H

namespace tarnlet {

// On Windows: the top-level unhandled-exception filter, with stack kept back
// for a stack-overflow report, a 5 s watchdog on the report, and no re-entry
// (a fault inside the report ends the process with the first exception's
// code). Elsewhere: handlers for SIGSEGV, SIGBUS, SIGFPE and SIGILL on an
// alternate signal stack; after the report the process dies by the signal it
// received. Call once, on the main thread, before anything else.
void installFatalExceptionReport();

}  // namespace tarnlet

#endif
