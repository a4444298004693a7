// Sourcing a script file as Tcl's `source` does. A run script can be a single
// command of a million words: compiling it first, or tracking every word's
// line, costs more than the command itself. A script made only of calls of
// one given command with plain words is therefore evaluated straight from
// its parsed words; every other script goes to Tcl's own source.
#ifndef FRAMEWORK_STANDIN_SCRIPT_SOURCE_H
#define FRAMEWORK_STANDIN_SCRIPT_SOURCE_H

#include <tcl.h>

namespace zekshell {

// Sources the file `path` (UTF-8) with the result, errorInfo (ending in
// "(file ... line N)"), error line and `info script` of Tcl_EvalFile.
// A file that begins with a UTF-16 byte-order mark (FF FE little-endian, FE FF
// big-endian; as Windows PowerShell 5 and Notepad write scripts) is read as
// UTF-16 and evaluated from its text, with `info frame` reporting the text
// as an evaluation; one that is no valid UTF-16 (an odd number of bytes, a
// surrogate without its partner) is an error: "couldn't read file "<path>":
// not valid UTF-16: <problem>". When `command` is given and every command of
// the script is `command` with plain-text words (braced, quoted or bare,
// with nothing to substitute), the words become objects directly (a short
// switch word that repeats is one shared object) and each command is called
// in turn; otherwise, and when the file cannot be read, Tcl_EvalFile sources
// it. `command` must be one that cannot tell the two ways apart: it evaluates
// no script, looks at no frame, changes none of its words and returns TCL_OK
// or TCL_ERROR. `direct`, when not null, is set to whether the direct way was
// taken. A script whose text holds a character outside the Basic
// Multilingual Plane (an emoji) is never left to Tcl_EvalFile: Tcl 8.6's
// channel may misread such a character, so the text read here is evaluated,
// again with `info frame` reporting an evaluation.
int sourceScriptFile(Tcl_Interp* interp, const char* path, const char* command,
                     bool* direct = nullptr);

}  // namespace zekshell

#endif
