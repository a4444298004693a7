// Ending the process by a signal from inside its handler, as if no handler had
// been installed: the parent sees the signal, not an exit status. POSIX only:
// signal_death_posix.cpp has no Windows twin, as only POSIX code calls it
// (kvel's file replacement and tarnlet's fatal-signal report).
#ifndef SUPPORT_SIGNAL_DEATH_H
#define SUPPORT_SIGNAL_DEATH_H

namespace frontend {

// Puts back the default action of signalNumber (an empty mask, no flags),
// unblocks it and raises it. Should the default action not end the process,
// exits with status 128 + signalNumber. Async-signal-safe.
[[noreturn]] void dieBySignal(int signalNumber);

}  // namespace frontend

#endif
