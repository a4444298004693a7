#include "kvel/launcher.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <new>
#include <sstream>

#include <boost/filesystem/path.hpp>
#include <boost/format.hpp>

#include "framework/event_flag_listener.h"
#include "framework/zekmain.h"
#include "kvel/account_output.h"
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
  // The last holders of the expanded arguments' text let it go.
  options.testplusarg.clear();
  options.tclbatch.clear();
  options.view.clear();
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

namespace {

// Whether two paths name the same place as written, "." steps and doubled
// separators aside (on Windows also letter case and the kind of separator):
// for a record that does not exist yet, which no file identity can tell.
bool samePath(const std::string& a, const std::string& b) {
  std::string first = boost::filesystem::path(a).lexically_normal().generic_string();
  std::string second = boost::filesystem::path(b).lexically_normal().generic_string();
#ifdef _WIN32
  for (std::string* text : {&first, &second}) {
    for (char& c : *text)
      c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
#endif
  return first == second;
}

// What the launch checks before the shell and can tell by looking only
// (RunScript::check), and a log that names the record where the record
// does not exist yet: the launch writes it, then refuses the log. False
// with the launch's message in *err; *toStandardError where the launch
// prints it there.
bool lookBeforeWriting(const std::string& snapshot, const std::string& log, std::string* err,
                       bool* toStandardError) {
  if (!RunScript::check(snapshot, log, err, toStandardError))
    return false;
  const std::string record = scriptDirectory(snapshot) + "/kvel_script.tcl";
  if (log.empty() || isAccessible(record) || !samePath(log, record))
    return true;
  *err = logIsRecordRefusal(log);
  *toStandardError = true;
  return false;
}

// The launch ends here, before the shell: the account, when there is one,
// is closed with the status and the message printed.
[[noreturn]] void endLaunch(LaunchAccount* account, int status, const std::string& message) {
  if (account != nullptr)
    account->end(status, message, false);
  std::exit(status);
}

// Prints message on standard error and ends with status 1: before the
// account, or after it where the account is being written there as it is
// produced (accountOnStandardError), so that nothing comes between its parts.
[[noreturn]] void refuseOnStandardError(LaunchAccount* account, bool accountOnStandardError,
                                        const std::string& message) {
  if (!accountOnStandardError)
    std::fprintf(stderr, "%s\n", message.c_str());
  if (account != nullptr)
    account->end(1, message, false);
  if (accountOnStandardError)
    std::fprintf(stderr, "%s\n", message.c_str());
  std::exit(1);
}

// Prints one "ERROR: " line (or any message) to standard output and ends.
[[noreturn]] void failLaunch(LaunchAccount* account, const std::string& message) {
  std::printf("%s\n", message.c_str());
  std::fflush(stdout);
  endLaunch(account, 1, message);
}

// The parser's message without the usage text that follows it.
std::string withoutUsage(const std::string& text) {
  const std::size_t usage = text.find("Kvel simulation executable\n");
  std::string message = text.substr(0, usage);
  while (!message.empty() && message.back() == '\n')
    message.pop_back();
  return message;
}

}  // namespace

int runSimulatorLauncher(int argc, char** argv) {
  CommandLineOptions options;
  const ExplainSetting explain = explainSettingOf(std::getenv("KVEL_EXPLAIN"));
  const bool dryRun = isDryRun(explain.mode);
  AccountOutput output;
  std::unique_ptr<LaunchAccount> account;
  if (explain.mode != ExplainMode::off)
    account = openLaunchAccount(explain, std::getenv("KVEL_EXPLAIN"),
                                std::getenv("KVEL_EXPLAIN_FILE"), output);
  LaunchAccount* const explaining = account.get();
  ParseTrace trace;
  ParseTrace* const tracing = explaining != nullptr ? &trace : nullptr;
  // With an account, the parser's messages are kept for it and passed on
  // after the part they follow.
  std::ostringstream parserText;
  if (tracing != nullptr) {
    trace.beforeError = [explaining](const CommandLineOptions& parsed, const ParseTrace& t) {
      std::cout.flush();
      std::fflush(stdout);
      explaining->arguments(parsed.expandedArguments, t);
    };
  }
  bool parsed = false;
  bool accountOnStandardError = false;  // written there as it is produced
  try {
    parsed =
        options.parse(argc, argv, std::cout, tracing != nullptr ? parserText : std::cerr, tracing);
    if (tracing != nullptr) {
      std::cerr << parserText.str() << std::flush;
      if (parsed) {
        std::cout.flush();
        std::fflush(stdout);
        accountOnStandardError = explaining->writeAsProduced();
        explaining->arguments(options.expandedArguments, trace);
      }
    }
  } catch (const std::bad_alloc&) {
    std::printf(kOutOfMemory, "reading the command line options");
    std::exit(1);
  }
  // The trace has been told; what it holds (a record per argument) would
  // otherwise sit beside the command text.
  if (parsed && tracing != nullptr)
    trace = ParseTrace();
  if (!parsed)
    endLaunch(explaining, 1, withoutUsage(parserText.str()));
  if (options.help)
    endLaunch(explaining, 0, "");
  if (options.version) {
    std::printf("%s %s\n", kProductName, kProductVersion);
    endLaunch(explaining, 1, "");
  }
  if (options.snapshot.empty())
    failLaunch(explaining, "ERROR: Simulation snapshot name missing from the command line.");
  std::string err;
  const std::string given = options.snapshot;
  const bool found = checkTarget(options.snapshot, &err);
  if (explaining != nullptr)
    explaining->target(given, options.snapshot, found);
  if (!found)
    failLaunch(explaining, err);

  const std::string argv0 = argc > 0 && argv[0] ? argv[0] : "";
  try {
    if (explaining != nullptr) {
      explaining->command(SimulationCommandText(options, options.snapshot), options.programName,
                          options.expandedArguments);
      if (dryRun) {
        // What the launch checks before the shell, by looking only.
        bool toStandardError = false;
        if (!lookBeforeWriting(options.snapshot, shellLogPath(options), &err, &toStandardError)) {
          if (toStandardError)
            refuseOnStandardError(explaining, accountOnStandardError, err);
          failLaunch(explaining, err);
        }
        explaining->shell(shellArguments(options, argv0, kOwnScriptPlaceholder));
        endLaunch(explaining, 0, "");
      }
    }
  } catch (const std::bad_alloc&) {
    std::printf(kOutOfMemory, "building the run script");
    std::exit(1);
  }

  // Nothing reads the argument lists after parsing; with a large command file
  // they would otherwise sit next to the command text for the whole launch.
  // The text of the values the list options keep stays until the scripts
  // are written.
  options.expandedArguments.clear();
  std::vector<std::string>().swap(options.rawArguments);

  std::string scriptPath;
  try {
    // The command text goes into the scripts as it is made: at a million
    // values, holding it whole would take nearly as much memory as the file.
    if (explaining == nullptr) {
      scriptPath = writeRunScript(options, options.snapshot);
    } else {
      // The same, with the account closed on the way out.
      if (!launchRunScript().write(options, options.snapshot, &err))
        failLaunch(explaining, err);
      scriptPath = launchRunScript().path();
    }
  } catch (const std::bad_alloc&) {
    std::printf(kOutOfMemory, "building the run script");
    std::exit(1);
  }
  // The shell reads only the script: the values now written into it would
  // otherwise stay next to the shell's own copy for the whole simulation.
  releaseScriptValues(options);
  // Opening the log empties it. The shell refuses a log that is the script
  // it sources; the record stands for that script, and is refused the same
  // way, word for word, before the shell starts.
  const std::string log = shellLogPath(options);
  if (!log.empty() && launchRunScript().isRecord(log)) {
    refuseOnStandardError(explaining, accountOnStandardError, logIsRecordRefusal(log));
  }

  std::vector<std::string> arguments = shellArguments(options, argv0, scriptPath);
  if (explaining != nullptr) {
    explaining->shell(arguments);
    explaining->end(0, "", true);
    account.reset();
    closeAccountOutput(output);
  }
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
