// The shell's own command line: -mode, -source, -log, -nolog, -tclargs.
#ifndef FRAMEWORK_STANDIN_SHELL_ARGUMENTS_H
#define FRAMEWORK_STANDIN_SHELL_ARGUMENTS_H

#include <string>
#include <vector>

namespace zekshell {

enum class ShellMode { Tcl, Gui, Batch };

struct ShellArguments {
  ShellMode mode = ShellMode::Gui;
  bool hasSource = false;
  std::string sourceFile;            // the one Tcl word of the -source value, in UTF-8
  bool hasLog = false;
  std::string logFile;               // the -log value as given
  bool noLog = false;                // -nolog; wins over -log
  std::vector<std::string> tclArgs;  // every argument after -tclargs, as given
};

// Reads argv[1] .. argv[argc-1] (argv[argc] need not be a null pointer; a
// null entry reads as an empty text). A later -mode, -source or -log replaces
// an earlier one. On a bad argument returns false and sets `error` to the
// whole message line, without a line end. Tcl's subsystems must be
// initialised (Tcl_FindExecutable) first: the -source value is read as a Tcl
// word in the system encoding.
bool parseShellArguments(int argc, char** argv, ShellArguments& out, std::string& error);

}  // namespace zekshell

#endif
