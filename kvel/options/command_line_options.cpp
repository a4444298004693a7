#include "kvel/options/command_line_options.h"

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "kvel/cmdfile/command_file_reader.h"
#include "kvel/options/argument_parser.h"

namespace KVEL {

namespace {

template <typename T>
void addOption(OptionSet& set, const std::string& name, const std::string& description, T* target) {
  set.insert(std::shared_ptr<OptionValue>(new RefOptionValue<T>(name, description, target)));
}

template <typename T>
void addOption(OptionSet& set, const std::string& name, const std::string& description, T* target,
               const T& defaultValue) {
  set.insert(
      std::shared_ptr<OptionValue>(new RefOptionValue<T>(name, description, target, defaultValue)));
}

void addList(OptionSet& set, const std::string& name, const std::string& description,
             ValueList* target) {
  set.insert(
      std::shared_ptr<OptionValue>(new RefOptionValueList<ValueList>(name, description, target)));
}

void addUnbound(OptionSet& set, const std::string& name, const std::string& description) {
  set.insert(std::shared_ptr<OptionValue>(new OptionValue(name, description)));
}

// Writes the message of a failed command-file step, flushed, and passes the
// outcome on: where an error reported through *err is printed.
bool reported(bool ok, const std::string& err, std::ostream& stream) {
  if (!ok)
    stream << err << std::endl;
  return ok;
}

}  // namespace

// Every field starts with the value its registration writes, so the record
// is consistent even before (or without) the registrations.
CommandLineOptions::CommandLineOptions()
    : gui(false),
      help(false),
      nolog(false),
      version(false),
      runall(false),
      tp(false),
      tl(false),
      nosignalhandlers(false),
      ieeewarnings(false),
      noieeewarnings(true),
      stats(false),
      quindle(false),
      maxdeltaid(10000),
      simrunnum(0),
      socket(0),
      maxlogsize(-1),
      intstyle("default"),
      internaldebuglevel(0) {}

bool CommandLineOptions::parse(int argc, char** argv) {
  return parse(argc, argv, std::cout, std::cerr);
}

namespace {

ParseTrace::Kind kindOf(const OptionValue& option) {
  using Kind = ParseTrace::Kind;
  if (option.isFlag())
    return Kind::flag;
  if (dynamic_cast<const RefOptionValue<int>*>(&option) != nullptr)
    return Kind::integer;
  if (dynamic_cast<const RefOptionValue<unsigned int>*>(&option) != nullptr)
    return Kind::unsignedInteger;
  if (dynamic_cast<const RefOptionValue<std::string>*>(&option) != nullptr)
    return Kind::text;
  if (dynamic_cast<const RefOptionValueList<ValueList>*>(&option) != nullptr ||
      dynamic_cast<const RefOptionValueList<std::vector<std::string>>*>(&option) != nullptr)
    return Kind::list;
  return Kind::unbound;
}

}  // namespace

bool CommandLineOptions::parse(int argc, char** argv, std::ostream& out, std::ostream& err,
                               ParseTrace* trace) {
  // The arguments end at argc or at the first null entry, whichever comes first.
  int count = 0;
  if (argv != nullptr) {
    while (count < argc && argv[count] != nullptr)
      ++count;
  }
  programName = count > 0 ? argv[0] : "";
  commandLine = programName;
  rawArguments.reserve(rawArguments.size() + (count > 0 ? count - 1 : 0));
  for (int i = 1; i < count; ++i) {
    commandLine += ' ';
    commandLine += argv[i];
    rawArguments.emplace_back(argv[i]);
  }

  std::string message;
  const bool expanded = cmdfile::expandArguments(rawArguments, expandedArguments, out, &message,
                                                 trace != nullptr ? &trace->origins : nullptr);
  if (!expanded && trace != nullptr && trace->beforeError)
    trace->beforeError(*this, *trace);
  if (!reported(expanded, message, err))
    return false;
  if (trace != nullptr)
    trace->expanded = true;

  OptionSet visible;
  OptionSet hidden;
  OptionSet all;
  registerOptions(visible);
  registerHiddenOptions(hidden);
  all.insert(visible.begin(), visible.end());
  all.insert(hidden.begin(), hidden.end());

  // The parser reads the expanded list where it stands, behind the program
  // name: no second copy of a list of millions of arguments.
  ArgumentParser parser(programName, expandedArguments, &all);
  if (trace != nullptr) {
    for (const auto& option : all)
      trace->options.push_back({option->name(), kindOf(*option)});
    parser.uses = &trace->uses;
  }
  if (!parser.parse(&message)) {
    if (trace != nullptr && trace->beforeError)
      trace->beforeError(*this, *trace);
    err << message << "\n";
    // With an account, the argument parsing stopped at, as for the command files.
    if (trace != nullptr && !trace->origins.origins.empty()) {
      const std::size_t at = std::min(trace->uses.size(), trace->origins.origins.size() - 1);
      err << "  (at " << trace->origins.place(trace->origins.origins[at]) << ")\n";
    }
    err << usageText(visible);
    return false;
  }

  snapshot = parser.positionalArgument;
  if (help) {
    err << usageText(visible);
  } else if (!view.empty() && !gui) {
    err << "WARNING: '-view' switch ignored in command line mode. It should be used together "
           "with '-gui' switch.\n";
  }
  return true;
}

std::string CommandLineOptions::usageText(const OptionSet& visible) const {
  // Formatted apart so that no stream flag is left set on the stream it goes to.
  std::ostringstream text;
  text << "Kvel simulation executable\n"
       << "Usage: " << programName << " [options]\n"
       << "(Switches with double dash '--' can also be used with a single dash '-')";
  for (const auto& option : visible) {
    text << "\n    " << std::left << std::setw(20) << ("--" + option->name()) << " : "
         << option->description();
  }
  text << "\n";
  return text.str();
}

// The operations that print their own messages (see the header).

void CommandLineOptions::printUsage(const OptionSet& visible) const {
  std::cerr << usageText(visible);
}

bool CommandLineOptions::expandCommandFiles(const std::vector<std::string>& arguments,
                                            std::vector<std::string>& output) {
  // What was expanded before a failure is handed back too, as the list form does.
  cmdfile::ArgumentList expanded;
  const bool ok = expandCommandFiles(arguments, expanded);
  for (std::string_view argument : expanded)
    output.emplace_back(argument);
  return ok;
}

bool CommandLineOptions::expandCommandFiles(const std::vector<std::string>& arguments,
                                            cmdfile::ArgumentList& output) {
  std::string err;
  return reported(cmdfile::expandArguments(arguments, output, std::cout, &err), err, std::cerr);
}

bool CommandLineOptions::readCommandFile(const std::string& fileName,
                                         std::vector<std::string>& output) {
  std::string err;
  cmdfile::ArgumentList read;
  const bool ok = reported(cmdfile::readFile(fileName, read, std::cout, &err), err, std::cerr);
  for (std::string_view argument : read)
    output.emplace_back(argument);
  return ok;
}

void CommandLineOptions::registerOptions(OptionSet& visible) {
  const std::string commandFile = "Take command line options from a file";
  const std::string guiText = "Run with interactive GUI";
  const std::string helpText = "Print help message and exit";
  const std::string runallText = "Run simulation till end i.e. do 'run all;quit'";
  const std::string tclbatchText = "Specify the TCL file for batch mode execution";

  addUnbound(visible, "f", commandFile);
  addUnbound(visible, "file", commandFile);
  addOption(visible, "gui", guiText, &gui, false);
  addOption(visible, "g", guiText, &gui, false);
  addOption(visible, "h", helpText, &help, false);
  addOption(visible, "help", helpText, &help, false);
  addOption(visible, "log", "Specify the log file name", &log, std::string());
  addOption(visible, "maxlogsize",
            "Set the maximum size a log file can reach in MB. The default setting is unlimited",
            &maxlogsize, -1);
  addOption(visible, "maxdeltaid",
            "Specify the maximum delta number. Will report error if it exceeds maximum "
            "simulation loops at the same time",
            &maxdeltaid, 10000);
  addOption(visible, "nolog", "Suppress log file generation", &nolog, false);
  addOption(visible, "onfinish", "Specify behavior at end of simulation: quit|stop", &onfinish,
            std::string());
  addOption(visible, "onerror", "Specify behavior upon simulation run-time error: quit|stop",
            &onerror, std::string());
  addOption(visible, "runall", runallText, &runall, false);
  addOption(visible, "R", runallText, &runall, false);
  addList(visible, "tclbatch", tclbatchText, &tclbatch);
  addList(visible, "t", tclbatchText, &tclbatch);
  addList(visible, "testplusarg",
          "Specify plus args to be used by $test$plusargs and $value$plusargs system functions",
          &testplusarg);
  addOption(visible, "tl",
            "Enable printing of file name and line number of statements being executed.", &tl,
            false);
  addOption(visible, "tp", "Enable printing of hierarchical names of process being executed.", &tp,
            false);
  addOption(visible, "version", "Print the simulator version and quit.", &version, false);
  addList(visible, "view",
          "Open a wave configuration file. This switch should be used together with -gui "
          "switch",
          &view);
  addOption(visible, "wdb", "Specify the waveform database output file.", &wdb);
  addOption(visible, "nosignalhandlers",
            "Run with no signal handlers to avoid conflict with security software.",
            &nosignalhandlers, false);
  addOption(visible, "ieeewarnings", "Enable warnings from VHDL IEEE functions", &ieeewarnings,
            false);
  addOption(visible, "stats", "Display memory and cpu stats upon exiting", &stats, false);
}

void CommandLineOptions::registerHiddenOptions(OptionSet& hidden) {
  addOption(hidden, "intstyle",
            "Display messages according to specified style: ulm|pyrun|silent|default", &intstyle,
            std::string("default"));
  addOption(hidden, "simrunnum", "Specify the number used for creating shared memory", &simrunnum,
            0);
  addOption(hidden, "simmode", "Specify the database write mode: gui|test|standalone", &simmode,
            std::string());
  addOption(hidden, "socket",
            "Specify the TCP port number on which the simulation client is listening", &socket, 0);
  addOption(hidden, "snapshot",
            "Specify the name of simulation snapshot to launch or WDB file to open", &snapshot);
  addOption(hidden, "vcdfile", "Specify the vcd output file", &vcdfile);
  addOption(hidden, "vcdunit",
            "Specify the vcd output unit. Default is the same as the engine precision unit",
            &vcdunit);
  addOption(hidden, "internaldebuglevel",
            "Specify how much internal debug info to display.  For Quorim staff only",
            &internaldebuglevel, 0U);
  addOption(hidden, "key", "Specify the simulation key for Dravik", &key);
  addOption(hidden, "quindle", "Enable quindle transmit for kvel", &quindle, false);
  addOption(hidden, "noieeewarnings", "Disable warnings from VHDL IEEE functions", &noieeewarnings,
            true);
}

}  // namespace KVEL
