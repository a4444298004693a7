// Commands the shell adds to or replaces in its Tcl interpreter.
#ifndef FRAMEWORK_STANDIN_SHELL_COMMANDS_H
#define FRAMEWORK_STANDIN_SHELL_COMMANDS_H

#include <cstddef>
#include <functional>
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
// the objects' text: like Tcl_Merge, except that a word holding a line break
// is written with backslash escapes instead of braces.
void appendQuotedWords(std::string& out, const char* prefix, std::size_t prefixLength, int count,
                       Tcl_Obj* const words[]);

// The same text and then suffix, handed to write in pieces of about
// pieceSize bytes, each ending at the end of a word (whole characters);
// false as soon as a write fails.
bool writeQuotedWords(const char* prefix, std::size_t prefixLength, int count,
                      Tcl_Obj* const words[], std::size_t pieceSize, const char* suffix,
                      const std::function<bool(const std::string&)>& write);

}  // namespace zekshell

#endif
