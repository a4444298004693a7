// The interrupt guard of the file-system layer, one definition per platform
// (interrupt_guard_posix.cpp, interrupt_guard_win32.cpp): while a file step
// runs, an interrupt removes the file it guards before the process ends.
#ifndef SUPPORT_FS_INTERRUPT_GUARD_H
#define SUPPORT_FS_INTERRUPT_GUARD_H

#include "support/fs/checked_folder.h"

namespace KVEL {
namespace fs {

// An interrupt (SIGINT, SIGTERM, SIGHUP, SIGQUIT; Windows the console's
// control events) between catchInterrupts and releaseInterrupts ends the
// process without leaving the guarded file. POSIX: the handler removes it
// and ends the process at once. Windows: the handler runs on a thread of its
// own while the file may be open, so it only notes the event; the step goes
// on to put its file in place or remove it, and releaseInterrupts then ends
// the process (a console closing waits up to 4 s for the guard to be let
// go). POSIX: writes past a file-size limit fail instead of raising SIGXFSZ
// meanwhile.
void catchInterrupts();
void releaseInterrupts();
// Whether an interrupt is waiting for releaseInterrupts (Windows).
bool interruptWaiting();
// The file an interrupt removes (name's storage must outlive the guard),
// or none. Call while the interrupts are held back.
void guard(const CheckedFolder* folder, const char* name);
// Hold the interrupts back (POSIX blocks them; Windows has no need), so
// that a file and its guard come and go together.
void holdInterrupts();
void resumeInterrupts();

}  // namespace fs
}  // namespace KVEL

#endif
