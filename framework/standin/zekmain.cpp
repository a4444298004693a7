// Shell entry: reads the shell's arguments, raises GUI event 61, opens the
// log and runs the Tcl shell.
#include "framework/zekmain.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <tcl.h>
#include <boost/any.hpp>

#include "framework/gui_event_broker.h"
#include "framework/standin/file_identity.h"
#include "framework/standin/shell_arguments.h"
#include "framework/standin/shell_error.h"
#include "framework/standin/shell_output.h"
#include "framework/standin/system_text.h"
#include "framework/standin/tcl_shell.h"

namespace {

bool askForFrontEnd() {
  bool attached = false;
  DataGuiEvent event(std::vector<boost::any>{boost::any(&attached)});
  GuiEventBroker::dispatch(kFlagEventNumber, event);
  return attached;
}

// Tcl gives up through this on a fault it cannot recover from (memory
// exhausted): one error line and status 1 instead of an abort. It uses no
// more memory than the stack holds.
[[noreturn]] void reportPanic(const char* format, ...) {
  char message[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  std::fflush(stdout);
  std::fprintf(stderr, "%s%s\n", zekshell::kShellErrorPrefix, message);
  std::fflush(stderr);
  std::_Exit(1);
}

// Tcl's panic handler is the shell's while the shell runs, and Tcl's own
// default again when it returns.
class PanicScope {
public:
  PanicScope() { Tcl_SetPanicProc(reportPanic); }
  ~PanicScope() { Tcl_SetPanicProc(nullptr); }
  PanicScope(const PanicScope&) = delete;
  PanicScope& operator=(const PanicScope&) = delete;
};

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
  Tcl_FindExecutable(argc > 0 ? argv[0] : nullptr);
  PanicScope panic;

  zekshell::ShellArguments args;
  std::string err;
  if (!zekshell::parseShellArguments(argc, argv, args, &err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  const std::string programPathGiven = argc > 0 && argv[0] ? argv[0] : "";
  std::string programPath;
  if (!zekshell::systemToUtf8(programPathGiven, programPath)) {
    std::fprintf(stderr, "%s\n",
                 zekshell::notSystemTextError("program path", programPathGiven).c_str());
    return 1;
  }

  // Tcl's script library lies under the program's folder: one Tcl cannot
  // open fails Tcl_Init, or a later package, with a misleading message.
  if (!zekshell::programFolderUsable(&err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }

  // A listener's exception leaves here, before anything is opened.
  bool attached = askForFrontEnd();

  const std::string name = appName && *appName ? appName : "shell";
  zekshell::ShellOutput out;
  if (!args.noLog) {
    const std::string logPath = args.hasLog ? args.logFile : lowerCase(name) + ".log";
    // Names in messages as the user typed them (exact: they were checked).
    const std::string shownLog = zekshell::utf8ToSystem(logPath);
    // Opening the log empties it: never when it is the script to run (by
    // file identity of the names both are opened by, so another spelling
    // or a link is caught too).
    if (args.hasSource && zekshell::sameExistingFile(logPath, args.sourceFile)) {
      std::fprintf(stderr, "%slog file \"%s\" is the -source script; not overwritten\n",
                   zekshell::kShellErrorPrefix, shownLog.c_str());
      return 1;
    }
    if (!out.openLog(logPath, shownLog, &err)) {
      std::fprintf(stderr, "%s\n", err.c_str());
      return 1;
    }
    out.writeLogHeader(name, argc, argv, attached);
  }
  if (args.mode == zekshell::ShellMode::Gui)
    out.writeOutLine("INFO: [shell] This shell has no graphical interface; running in Tcl mode.");

  int status = zekshell::runTclShell(args, programPath, name, initProc, out);
  // Output that never reached standard output fails the run, as a failed
  // `puts` does.
  if (!out.flush()) {
    out.writeErrorLine(std::string(zekshell::kShellErrorPrefix) +
                       "error writing \"stdout\": " + Tcl_ErrnoMsg(Tcl_GetErrno()));
    if (status == 0)
      status = 1;
  }
  // A run whose log was lost does not end with success.
  if (!out.closeLog() && status == 0)
    status = 1;
  return status;
}

}  // namespace zekmain
