// The run script that the shell sources: kvel.dir/<snapshot>/kvel_script.tcl.
#ifndef KVEL_RUN_SCRIPT_H
#define KVEL_RUN_SCRIPT_H

#include <string>

#include "kvel/options/command_line_options.h"

namespace KVEL {

// "kvel.dir/" + snapshot, relative and unnormalised.
std::string snapshotDirectory(const std::string& snapshot);

// Creates the snapshot directory and writes the script: with gui the lines
// "load_feature core" and "current_fileset", then "kvel " + commandText.
// Returns the script path. On failure prints an "ERROR: " line to stdout and
// exits with status 1.
std::string writeRunScript(const CommandLineOptions& options, const std::string& snapshot,
                           const std::string& commandText);

}  // namespace KVEL

#endif
