// The argument text of the Tcl command `kvel` that the run script issues.
#ifndef KVEL_SIMULATION_COMMAND_H
#define KVEL_SIMULATION_COMMAND_H

#include <string>

#include "kvel/options/command_line_options.h"
#include "support/fs/file_content.h"

namespace KVEL {

// The snapshot as one Tcl word, then every simulation option that is set or
// differs from its default, in a fixed order. The snapshot and the values of
// -vcdfile, -vcdunit, -wdb, -view and -tclbatch are written with tclWord, so
// the simulator receives each exactly; the other values are Tcl text and are
// inserted byte for byte. No leading or trailing blank.
std::string buildSimulationCommand(const CommandLineOptions& options, const std::string& snapshot);

// The same text handed to sink as it is made, in pieces of at most 64 KB
// (a longer value is a piece of its own), never held whole. False when sink
// refused a piece; the rest of the text is then not handed on. Throws
// std::bad_alloc when memory runs out.
bool writeSimulationCommand(const CommandLineOptions& options, const std::string& snapshot,
                            PieceSink& sink);

// The same text as content that is made again each time it is asked for,
// for a reader that need not hold it whole. Throws std::bad_alloc as above.
class SimulationCommandText final : public FileContent {
public:
  SimulationCommandText(const CommandLineOptions& options, const std::string& snapshot)
      : options_(options), snapshot_(snapshot) {}
  bool produce(PieceSink& sink) const override {
    return writeSimulationCommand(options_, snapshot_, sink);
  }

private:
  const CommandLineOptions& options_;
  const std::string& snapshot_;
};

// True when "{" value "}" reads back in Tcl as exactly value: the braces in it
// balance (a brace after an odd run of backslashes does not count), it does
// not end in an odd run of backslashes and holds no backslash-newline.
bool braceCanHold(const std::string& value);

// value as one Tcl word that reads back as exactly value: in braces when they
// can hold it, otherwise with every character special to Tcl backslashed.
std::string tclWord(const std::string& value);

}  // namespace KVEL

#endif
