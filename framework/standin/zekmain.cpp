// Shell entry: reads the shell's arguments, raises GUI event 61, opens the
// log and runs the Tcl shell.
#include "framework/zekmain.h"

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include <boost/any.hpp>
#include <tcl.h>

#include "framework/gui_event_broker.h"
#include "framework/standin/file_identity.h"
#include "framework/standin/shell_arguments.h"
#include "framework/standin/shell_output.h"
#include "framework/standin/tcl_shell.h"

namespace {

// Raised once before the log is opened; data item 0 is a bool* that a front
// end sets to say it is attached.
const int kFrontEndEvent = 61;

bool askForFrontEnd() {
  bool attached = false;
  DataGuiEvent event(std::vector<boost::any>{boost::any(&attached)});
  GuiEventBroker::dispatch(kFrontEndEvent, event);
  return attached;
}

// The -source value is UTF-8; file names are in the system encoding.
std::string toExternal(const std::string& utf8) {
  Tcl_DString ds;
  Tcl_UtfToExternalDString(nullptr, utf8.data(), static_cast<int>(utf8.size()), &ds);
  std::string external(Tcl_DStringValue(&ds), static_cast<std::size_t>(Tcl_DStringLength(&ds)));
  Tcl_DStringFree(&ds);
  return external;
}

std::string lowerCase(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

namespace zekmain {

int main(int argc, char** argv, const char* appName, TclInitProc initProc) {
  // Whatever the front end printed comes before the shell's own output.
  std::fflush(stdout);
  if (argc < 0 || !argv)
    argc = 0;
  const char* programPath = argc > 0 && argv[0] ? argv[0] : "";
  Tcl_FindExecutable(argc > 0 ? argv[0] : nullptr);

  zekshell::ShellArguments args;
  std::string error;
  if (!zekshell::parseShellArguments(argc, argv, args, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  // A listener's exception leaves here, before anything is opened.
  bool attached = askForFrontEnd();

  const std::string name = appName && *appName ? appName : "shell";
  zekshell::ShellOutput out;
  if (!args.noLog) {
    std::string logPath = args.hasLog ? args.logFile : lowerCase(name) + ".log";
    // Opening the log empties it: never when it is the script to run (by
    // file identity, so another spelling or a link is caught too).
    if (args.hasSource && zekshell::sameExistingFile(logPath, toExternal(args.sourceFile))) {
      std::fprintf(stderr, "ERROR: [shell] log file \"%s\" is the -source script; not overwritten\n",
                   logPath.c_str());
      return 1;
    }
    if (!out.openLog(logPath, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    out.writeLogHeader(name, argc, argv, attached);
  }
  if (args.mode == zekshell::ShellMode::Gui)
    out.writeOutLine("INFO: [shell] This shell has no graphical interface; running in Tcl mode.");

  int status = zekshell::runTclShell(args, programPath, name, initProc, out);
  out.flush();
  // A run whose log was lost does not end with success.
  if (!out.closeLog() && status == 0)
    status = 1;
  return status;
}

}  // namespace zekmain
