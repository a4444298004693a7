// Commands the shell adds to or replaces in its Tcl interpreter.
#ifndef FRAMEWORK_STANDIN_SHELL_COMMANDS_H
#define FRAMEWORK_STANDIN_SHELL_COMMANDS_H

#include <cstddef>
#include <string>

#include <tcl.h>

#include "framework/standin/shell_output.h"

namespace zekshell {

// Shared by the commands of one interpreter; must outlive it.
struct ShellCommandState {
  explicit ShellCommandState(ShellOutput& output) : out(output) {}
  ShellOutput& out;
  bool exitRequested = false;
  int exitStatus = 0;
  Tcl_CmdInfo originalPuts = Tcl_CmdInfo();
};

// Replaces `puts` (output to stdout is mirrored into the log; everything else
// goes to Tcl's own puts) and `exit` (records the status and unwinds the
// evaluation instead of ending the process). With `kvelCommands` also adds
// `kvel`, `load_feature` and `current_fileset`.
void installShellCommands(Tcl_Interp* interp, ShellCommandState& state, bool kvelCommands);

// Appends prefix and then the words as a Tcl list on one line, straight from
// the objects' text, with one reservation for the whole: like Tcl_Merge,
// except that a word holding a line break is written with backslash escapes
// instead of braces.
void appendQuotedWords(std::string& out, const char* prefix, std::size_t prefixLength, int count,
                       Tcl_Obj* const words[]);

}  // namespace zekshell

#endif
