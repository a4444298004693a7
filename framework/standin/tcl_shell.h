// The Tcl part of the shell: one interpreter that runs the -source script or
// the commands read from standard input.
#ifndef FRAMEWORK_STANDIN_TCL_SHELL_H
#define FRAMEWORK_STANDIN_TCL_SHELL_H

#include <string>

#include "framework/standin/shell_arguments.h"
#include "framework/standin/shell_output.h"
#include "framework/zekmain.h"

namespace zekshell {

// Creates the interpreter, sets argv0, argv, argc and tcl_interactive, adds
// the shell's commands (the kvel commands for appName "kvel"), calls initProc
// when given, then evaluates. Returns 0 when the input ends, N after `exit N`,
// and 1 after a Tcl error, a failed Tcl_Init or a failed read of standard
// input, each reported as "ERROR: [shell] <message>" (an error of the
// -source script followed by the rest of its errorInfo). programPath is
// UTF-8. The interpreter is deleted before returning, as tclsh's exit ends a
// run: buffered output of the script's channels is flushed and pipeline
// children are left running, not waited for.
int runTclShell(const ShellArguments& args, const std::string& programPath,
                const std::string& appName, zekmain::TclInitProc initProc, ShellOutput& out);

}  // namespace zekshell

#endif
