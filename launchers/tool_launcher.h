// Shared body of the dravik and quindle launchers: hand the whole command
// line to the shell under an application name, with a catch-all.
#ifndef LAUNCHERS_TOOL_LAUNCHER_H
#define LAUNCHERS_TOOL_LAUNCHER_H

// Refuses (message on standard error, 1) an argument or a Tcl environment
// value that lost a character to the process code page. Then registers the
// event-61 listener when withFlagListener is set, then calls
// zekmain::main(argc, argv, appName, nullptr) and returns its result
// unchanged. Any exception from either step writes "Unknown error\n" to
// standard error and gives 1. No exception leaves this function.
int runToolLauncher(int argc, char** argv, const char* appName, bool withFlagListener);

#endif
