// The settings record of kvel: one variable per option, plus the program
// name, the joined command line and the raw and expanded argument lists.
#ifndef KVEL_OPTIONS_COMMAND_LINE_OPTIONS_H
#define KVEL_OPTIONS_COMMAND_LINE_OPTIONS_H

#include <string>
#include <vector>

#include "kvel/options/option_value.h"

namespace KVEL {

class CommandLineOptions {
public:
  CommandLineOptions();

  // Records, expands and parses the command line; prints its own messages
  // (and the usage text on error or help) to stderr. True when accepted.
  bool parse(int argc, char** argv);

  // Creates the visible (25) and hidden (11) options, writing their defaults.
  void registerOptions(OptionSet& visible);
  void registerHiddenOptions(OptionSet& hidden);

  // Writes the usage text for the visible options to stderr.
  void printUsage(const OptionSet& visible) const;

  // Appends arguments to output with every "-f FILE" / "--file FILE" pair
  // replaced by the file's arguments and single-dash long switches given a
  // second dash. False after an error message.
  static bool expandCommandFiles(const std::vector<std::string>& arguments,
                                 std::vector<std::string>& output);
  // Appends the arguments of one command file to output. False after an
  // error message.
  static bool readCommandFile(const std::string& fileName, std::vector<std::string>& output);

  std::string commandLine;
  std::string programName;
  bool gui;
  bool help;
  bool nolog;
  bool version;
  bool runall;
  bool tp;
  bool tl;
  bool nosignalhandlers;
  bool ieeewarnings;
  bool noieeewarnings;
  bool stats;
  bool quindle;
  int maxdeltaid;
  int simrunnum;
  int socket;
  std::string simmode;
  std::vector<std::string> tclbatch;
  std::vector<std::string> rawArguments;
  std::vector<std::string> expandedArguments;
  std::vector<std::string> testplusarg;
  std::string log;
  int maxlogsize;
  std::string vcdfile;
  std::string vcdunit;
  std::string wdb;
  std::vector<std::string> view;
  std::string onfinish;
  std::string onerror;
  std::string intstyle;
  std::string snapshot;
  unsigned int internaldebuglevel;
  std::string key;

  // --- command-file reader internals (owned by kvel/cmdfile) ---
};

}  // namespace KVEL

#endif
