// The settings record of kvel: one variable per option, plus the program
// name, the joined command line and the raw and expanded argument lists.
#ifndef KVEL_OPTIONS_COMMAND_LINE_OPTIONS_H
#define KVEL_OPTIONS_COMMAND_LINE_OPTIONS_H

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "kvel/cmdfile/argument_list.h"
#include "kvel/cmdfile/argument_origins.h"
#include "kvel/options/argument_parser.h"
#include "kvel/options/option_value.h"
#include "kvel/options/value_list.h"

namespace KVEL {

class CommandLineOptions;

// What parse learns on request for an account of the launch: where each
// expanded argument came from and what it was to the parser.
struct ParseTrace {
  enum class Kind : std::uint8_t { flag, text, integer, unsignedInteger, list, unbound };
  struct OptionInfo {
    std::string name;
    Kind kind;
  };
  cmdfile::ArgumentOrigins origins;
  std::vector<OptionInfo> options;  // in the order ArgumentUse::option counts
  PageArray<ArgumentUse> uses;    // one per expanded argument the parser handled
  bool expanded = false;            // the command files were read without error
  // Called when parse fails, before it writes its message.
  std::function<void(const CommandLineOptions&, const ParseTrace&)> beforeError;
};

class CommandLineOptions {
public:
  CommandLineOptions();

  // Records, expands and parses the command line; writes its messages (and
  // the usage text on error or help) to stderr and the command files'
  // warnings to stdout. True when accepted.
  bool parse(int argc, char** argv);
  // The same, writing to out and err instead; with a trace, also recording
  // where each argument came from and what it set.
  bool parse(int argc, char** argv, std::ostream& out, std::ostream& err,
             ParseTrace* trace = nullptr);

  // Creates the visible (25) and hidden (11) options, writing their defaults.
  void registerOptions(OptionSet& visible);
  void registerHiddenOptions(OptionSet& hidden);

  // The usage text for the visible options.
  std::string usageText(const OptionSet& visible) const;

  // The operations that print their own messages, for callers that want the
  // text on the process's streams rather than handed back; kvel itself uses
  // parse, usageText and the *err forms of kvel/cmdfile/command_file_reader.h
  // and prints once. (OptionValue::setValue is the option objects' one.)
  //
  // Writes the usage text for the visible options to stderr.
  void printUsage(const OptionSet& visible) const;
  // The command-file operations of kvel/cmdfile/command_file_reader.h, with
  // the error written to stderr and warnings to stdout. False after the
  // error.
  static bool expandCommandFiles(const std::vector<std::string>& arguments,
                                 std::vector<std::string>& output);
  static bool expandCommandFiles(const std::vector<std::string>& arguments,
                                 cmdfile::ArgumentList& output);
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
  // The list options' values: references into expandedArguments' text,
  // which they keep after that list is cleared (value_list.h).
  ValueList tclbatch;
  std::vector<std::string> rawArguments;
  // Compact: the arguments' text and an offset each (argument_list.h).
  cmdfile::ArgumentList expandedArguments;
  ValueList testplusarg;
  std::string log;
  int maxlogsize;
  std::string vcdfile;
  std::string vcdunit;
  std::string wdb;
  ValueList view;
  std::string onfinish;
  std::string onerror;
  std::string intstyle;
  std::string snapshot;
  unsigned int internaldebuglevel;
  std::string key;
};

}  // namespace KVEL

#endif
