#include "kvel/launcher.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>

#include <boost/format.hpp>

#include "framework/event_flag_listener.h"
#include "framework/zekmain.h"
#include "kvel/launch_account.h"
#include "kvel/run_script.h"
#include "kvel/simulation_command.h"
#include "support/file_status.h"

namespace KVEL {

const char* const kProductName = "Dravik Simulator";
const char* const kProductVersion = "2017.2";

namespace {

const std::string kLibraryPrefix = "work.";

// Printed with the stage as it is: building a message could itself run out
// of memory.
const char kOutOfMemory[] = "ERROR: Out of memory while %s.\n";

// The account goes to standard error after what standard output holds so far.
void writeArguments(const CommandLineOptions& options, const ParseTrace& trace) {
  std::cout.flush();
  std::fflush(stdout);
  writeArgumentAccount(stderr, options.expandedArguments.strings(), trace);
}

}  // namespace

bool checkTarget(std::string& snapshot, std::string* err) {
  // The kernel check and the script folder would name different folders.
  *err = droppedEndRefusal(snapshot);
  if (!err->empty())
    return false;
  if (isWaveformDatabase(snapshot)) {
    if (isAccessible(snapshot))
      return true;
    *err = "ERROR: Can't access WDB file \"" + snapshot +
           "\". Please check that the file exists and you have read permission.";
    return false;
  }
  const std::string firstKernel = kernelPath(snapshot);
  if (isAccessible(firstKernel))
    return true;
  std::string retried = snapshot;
  if (retried.compare(0, kLibraryPrefix.size(), kLibraryPrefix) != 0)
    retried = kLibraryPrefix + retried;
  if (isAccessible(kernelPath(retried))) {
    snapshot = retried;
    return true;
  }
  *err =
      "ERROR: Please check the snapshot name which is created during 'plenk',the current "
      "snapshot name \"" +
      firstKernel + "\" does not exist ";
  return false;
}

std::string shellLogPath(const CommandLineOptions& options) {
  if (options.nolog)
    return "";
  return options.log.empty() ? "kvel.log" : options.log;
}

void releaseScriptValues(CommandLineOptions& options) {
  std::vector<std::string>().swap(options.testplusarg);
  std::vector<std::string>().swap(options.tclbatch);
  std::vector<std::string>().swap(options.view);
  std::string().swap(options.commandLine);
}

std::string kernelPath(const std::string& snapshot) {
  return snapshotDirectory(snapshot) + "/kvelk.exe";
}

bool isWaveformDatabase(const std::string& snapshot) {
  static const std::string suffix = ".wdb";
  return snapshot.size() >= suffix.size() &&
         snapshot.compare(snapshot.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::vector<std::string> shellArguments(const CommandLineOptions& options, const std::string& argv0,
                                        const std::string& scriptPath) {
  std::vector<std::string> arguments{argv0};
  if (!options.log.empty()) {
    arguments.push_back("-log");
    arguments.push_back(options.log);
  }
  if (options.nolog)
    arguments.push_back("-nolog");
  if (!options.gui) {
    arguments.push_back("-mode");
    arguments.push_back("tcl");
  }
  arguments.push_back("-source");
  // One braced Tcl word for the shell, which unwraps it. A path that braces
  // cannot hold goes bare: an absolute path never begins with a brace, so
  // the shell never takes it for a braced word and uses it as it is.
  if (braceCanHold(scriptPath))
    arguments.push_back((boost::format("{%s}") % scriptPath).str());
  else
    arguments.push_back(scriptPath);
  return arguments;
}

int runSimulatorLauncher(int argc, char** argv) {
  CommandLineOptions options;
  const ExplainMode explain = explainModeOf(std::getenv("KVEL_EXPLAIN"));
  ParseTrace trace;
  ParseTrace* const tracing = explain == ExplainMode::off ? nullptr : &trace;
  if (tracing != nullptr)
    trace.beforeError = writeArguments;
  bool parsed = false;
  try {
    parsed = options.parse(argc, argv, std::cout, std::cerr, tracing);
    if (parsed && tracing != nullptr)
      writeArguments(options, trace);
  } catch (const std::bad_alloc&) {
    std::printf(kOutOfMemory, "reading the command line options");
    std::exit(1);
  }
  if (!parsed)
    std::exit(1);
  if (options.help)
    std::exit(0);
  if (options.version) {
    std::printf("%s %s\n", kProductName, kProductVersion);
    std::exit(1);
  }
  if (options.snapshot.empty()) {
    std::printf("ERROR: Simulation snapshot name missing from the command line.\n");
    std::exit(1);
  }
  std::string err;
  const std::string given = options.snapshot;
  const bool found = checkTarget(options.snapshot, &err);
  if (tracing != nullptr)
    writeTargetAccount(stderr, given, options.snapshot, found);
  if (!found) {
    std::printf("%s\n", err.c_str());
    std::exit(1);
  }

  std::string commandText;
  try {
    if (tracing != nullptr) {
      commandText = buildSimulationCommand(options, options.snapshot);
      writeCommandAccount(stderr, commandText, options.programName,
                          options.expandedArguments.strings());
      if (explain == ExplainMode::dryRun) {
        std::fprintf(stderr, "KVEL_EXPLAIN: dry run: no run script written, no shell started\n");
        std::exit(0);
      }
      trace = ParseTrace();
    }
  } catch (const std::bad_alloc&) {
    std::printf(kOutOfMemory, "building the run script");
    std::exit(1);
  }

  // Nothing reads the argument lists after parsing; with a large command file
  // they would otherwise sit next to the command text for the whole launch.
  options.expandedArguments.clear();
  std::vector<std::string>().swap(options.rawArguments);

  std::string scriptPath;
  try {
    if (commandText.empty())
      commandText = buildSimulationCommand(options, options.snapshot);
    scriptPath = writeRunScript(options, options.snapshot, commandText);
  } catch (const std::bad_alloc&) {
    std::printf(kOutOfMemory, "building the run script");
    std::exit(1);
  }
  // The shell reads only the script: the values now written into it, and the
  // command text, would otherwise stay next to the shell's own copy for the
  // whole simulation.
  releaseScriptValues(options);
  std::string().swap(commandText);
  // Opening the log empties it. The shell refuses a log that is the script
  // it sources; the record stands for that script, and is refused the same
  // way, word for word, before the shell starts.
  const std::string log = shellLogPath(options);
  if (!log.empty() && launchRunScript().isRecord(log)) {
    std::fprintf(stderr, "%s\n", logIsRecordRefusal(log).c_str());
    std::exit(1);
  }

  const std::string argv0 = argc > 0 && argv[0] ? argv[0] : "";
  std::vector<std::string> arguments = shellArguments(options, argv0, scriptPath);
  std::vector<char*> pointers;
  for (std::string& argument : arguments)
    pointers.push_back(&argument[0]);
  // A terminating null entry after the last argument, as for any argv.
  pointers.push_back(nullptr);
  const int shellArgc = static_cast<int>(arguments.size());

  registerFlagListener();
  const int status = zekmain::main(shellArgc, pointers.data(), "kvel", nullptr);
  if (!launchRunScript().end(&err))
    std::printf("%s\n", err.c_str());
  return status;
}

}  // namespace KVEL
