// The simulator launcher's main flow: parse, check the target, write the run
// script and hand over to the shell.
#ifndef KVEL_LAUNCHER_H
#define KVEL_LAUNCHER_H

#include <string>
#include <vector>

#include "kvel/options/command_line_options.h"

namespace KVEL {

extern const char* const kProductName;     // "Dravik Simulator"
extern const char* const kProductVersion;  // "2017.2"

// "kvel.dir/" + snapshot + "/kvelk.exe".
std::string kernelPath(const std::string& snapshot);

// True when the target names a waveform database file (case-sensitive ".wdb").
bool isWaveformDatabase(const std::string& snapshot);

// True when the target is an accessible database file or a snapshot with a
// kernel, its own or, retried, that of "work." + snapshot (a name that
// already begins with "work." gets no second prefix); a successful retry
// gives snapshot the prefix. Otherwise false with the message (one "ERROR: "
// line without its line end) in *err, and snapshot as it was. Prints nothing.
bool checkTarget(std::string& snapshot, std::string* err);

// The shell's arguments: argv0, "-log" and the log value when set, "-nolog"
// when set, "-mode" "tcl" unless gui, "-source" and the script path, braced
// when a brace pair can hold it, bare otherwise.
std::vector<std::string> shellArguments(const CommandLineOptions& options, const std::string& argv0,
                                        const std::string& scriptPath);

// The log the shell will open: the log value, "kvel.log" (the shell's own
// default for this program) when none is given, "" with nolog.
std::string shellLogPath(const CommandLineOptions& options);

// Releases what only the run script needed: the list options' values and
// the joined command line. Flags and single values stay.
void releaseScriptValues(CommandLineOptions& options);

// The whole launch; returns the shell's status. Every failure before the
// shell starts prints its message to standard output and exits with status
// 1 (help: 0): printed here, except for the parser's own messages and those
// of writeRunScript, which ends the process itself. The launch's own run
// script is removed when the shell returns.
int runSimulatorLauncher(int argc, char** argv);

}  // namespace KVEL

#endif
