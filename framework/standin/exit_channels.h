// The shell's end as tclsh's exit makes it: the channels the script left
// open are flushed, and a command pipeline whose child still runs does not
// hold the shell until the child ends.
#ifndef FRAMEWORK_STANDIN_EXIT_CHANNELS_H
#define FRAMEWORK_STANDIN_EXIT_CHANNELS_H

#include <tcl.h>

namespace zekshell {

// For every channel registered in `interp` or in any of its child
// interpreters, other than the standard ones: switches it to blocking mode
// and flushes what it has buffered (errors are ignored, as Tcl's exit
// ignores them); a command pipeline is then switched to non-blocking mode,
// so that deleting the interpreter closes it without waiting for its
// children, which go on running. `interpCommand` is Tcl's `interp` command
// as it was before any script ran (one that may have been renamed since);
// without it (no objProc) child interpreters are not looked at. Replaces the
// interpreters' results.
void prepareChannelsForExit(Tcl_Interp* interp, const Tcl_CmdInfo& interpCommand);

}  // namespace zekshell

#endif
