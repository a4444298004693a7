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
  std::string sourceFile;  // the -source file name, in Tcl's UTF-8
  bool hasLog = false;
  std::string logFile;               // the -log file name, in Tcl's UTF-8
  bool noLog = false;                // -nolog; wins over -log
  std::vector<std::string> tclArgs;  // every argument after -tclargs, in Tcl's UTF-8
};

// Reads argv[1] .. argv[argc-1] (argv[argc] need not be a null pointer; a
// null entry reads as an empty text). A later -mode, -source or -log replaces
// an earlier one. On a bad argument returns false and sets *err to the whole
// message line, without a line end. A -source or -log value is the
// file name as it stands, unless the whole value is one braced Tcl word,
// whose text between the braces is the name. Every value must be text in
// the system encoding (converted exactly); Tcl's subsystems must therefore
// be initialised (Tcl_FindExecutable) first.
bool parseShellArguments(int argc, char** argv, ShellArguments& out, std::string* err);

}  // namespace zekshell

#endif
