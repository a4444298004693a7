// The run script that the shell sources: kvel.dir/<snapshot>/kvel_script.tcl.
#ifndef KVEL_RUN_SCRIPT_H
#define KVEL_RUN_SCRIPT_H

#include <string>

#include "kvel/options/command_line_options.h"

namespace KVEL {

// "kvel.dir/" + snapshot, relative and unnormalised.
std::string snapshotDirectory(const std::string& snapshot);

// The folder the script goes to: snapshotDirectory(snapshot) with every ".."
// component written "%2E%2E" (on Windows every component of dots and blanks
// that the system would take for "..", each dot as "%2E"), so that it stays
// beneath kvel.dir.
std::string scriptDirectory(const std::string& snapshot);

// Creates the script's directory and writes the script: with gui the lines
// "load_feature core" and "current_fileset", then "kvel " + commandText.
// True with the script path in *scriptPath. False with what to print in *err:
// a line with the reason, where one can be told, then the directory's or the
// script's "ERROR: " line, without the last line end.
// Prints nothing.
bool createRunScript(const CommandLineOptions& options, const std::string& snapshot,
                     const std::string& commandText, std::string* scriptPath, std::string* err);

// createRunScript for the main flow: returns the script path, or prints the
// error text to stdout and exits with status 1.
std::string writeRunScript(const CommandLineOptions& options, const std::string& snapshot,
                           const std::string& commandText);

}  // namespace KVEL

#endif
