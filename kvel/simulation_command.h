// The argument text of the Tcl command `kvel` that the run script issues.
#ifndef KVEL_SIMULATION_COMMAND_H
#define KVEL_SIMULATION_COMMAND_H

#include <string>

#include "kvel/options/command_line_options.h"

namespace KVEL {

// The snapshot in braces, then every simulation option that is set or differs
// from its default, in a fixed order. Values are inserted byte for byte; no
// escaping. No leading or trailing blank.
std::string buildSimulationCommand(const CommandLineOptions& options, const std::string& snapshot);

}  // namespace KVEL

#endif
