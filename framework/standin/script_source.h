// Sourcing a script file as Tcl's `source` does, with the commands evaluated
// straight from their parsed words. A run script can be a single command of a
// million words: compiling it first, or tracking every word's line, costs
// more than the command itself.
#ifndef FRAMEWORK_STANDIN_SCRIPT_SOURCE_H
#define FRAMEWORK_STANDIN_SCRIPT_SOURCE_H

#include <tcl.h>

namespace zekshell {

// Reads the file (system encoding, ^Z ends the text, a leading byte-order
// mark is dropped), makes it what `info script` returns while it runs, and
// evaluates its commands in order until one does not return TCL_OK. Returns
// the Tcl code; the result, errorInfo (ending in "(file ... line N)") and a
// top-level `return` come out as with Tcl_EvalFile. Plain-text words become
// objects directly; other words go through Tcl's own substitution.
int sourceScriptFile(Tcl_Interp* interp, const char* path);

}  // namespace zekshell

#endif
