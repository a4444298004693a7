// Maps a fatal POSIX signal to the exception code the report is made with.
// POSIX only: signal_exception_code_posix.cpp has no Windows twin, as only the
// POSIX installation of the report calls it (Windows reports the exception's
// own code).
#ifndef TARNLET_SIGNAL_EXCEPTION_CODE_H
#define TARNLET_SIGNAL_EXCEPTION_CODE_H

#include <cstdint>

namespace tarnlet {

// The exception code for signal signalNumber with si_code signalCode.
// stackOverflow is honoured only for a kernel-detected SIGSEGV.
std::uint32_t exceptionCodeForSignal(int signalNumber, int signalCode, bool stackOverflow);

}  // namespace tarnlet

#endif
