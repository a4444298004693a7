#include "framework/standin/tcl_shell.h"

#include <algorithm>
#include <string>

#include <tcl.h>

#include "framework/standin/exit_channels.h"
#include "framework/standin/script_source.h"
#include "framework/standin/shell_commands.h"
#include "framework/standin/shell_error.h"
#include "framework/standin/terminal.h"

namespace zekshell {
namespace {

Tcl_Obj* textObj(const std::string& utf8) {
  return Tcl_NewStringObj(utf8.data(), static_cast<int>(utf8.size()));
}

// Deletes the interpreter on every way out.
class Interpreter {
public:
  Interpreter() : interp_(Tcl_CreateInterp()) {}
  ~Interpreter() { Tcl_DeleteInterp(interp_); }
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;
  Tcl_Interp* get() const { return interp_; }

private:
  Tcl_Interp* interp_;
};

void setScriptVariables(Tcl_Interp* interp, const ShellArguments& args,
                        const std::string& programPath, bool interactive) {
  Tcl_Obj* argvList = Tcl_NewListObj(0, nullptr);
  for (const std::string& arg : args.tclArgs)
    Tcl_ListObjAppendElement(nullptr, argvList, textObj(arg));
  Tcl_SetVar2Ex(interp, "argv0", nullptr, textObj(programPath), TCL_GLOBAL_ONLY);
  Tcl_SetVar2Ex(interp, "argv", nullptr, argvList, TCL_GLOBAL_ONLY);
  Tcl_SetVar2Ex(interp, "argc", nullptr, Tcl_NewIntObj(static_cast<int>(args.tclArgs.size())),
                TCL_GLOBAL_ONLY);
  Tcl_SetVar2Ex(interp, "tcl_interactive", nullptr, Tcl_NewIntObj(interactive ? 1 : 0),
                TCL_GLOBAL_ONLY);
}

void reportError(Tcl_Interp* interp, ShellOutput& out) {
  out.writeErrorLine(std::string(kShellErrorPrefix) + Tcl_GetStringResult(interp));
}

// The error line, then the rest of errorInfo ("while executing ...",
// "(procedure ...)", "(file ... line N)") as tclsh shows it, so that the
// failing line of a long script can be found. errorInfo begins with the
// message, which the error line holds already; one that does not (set by
// the script) is written whole.
void reportScriptError(Tcl_Interp* interp, ShellOutput& out) {
  const std::string message = Tcl_GetStringResult(interp);
  Tcl_Obj* options = Tcl_GetReturnOptions(interp, TCL_ERROR);
  Tcl_IncrRefCount(options);
  Tcl_Obj* key = Tcl_NewStringObj("-errorinfo", -1);
  Tcl_IncrRefCount(key);
  Tcl_Obj* infoObj = nullptr;
  std::string info;
  if (Tcl_DictObjGet(nullptr, options, key, &infoObj) == TCL_OK && infoObj)
    info = Tcl_GetString(infoObj);
  Tcl_DecrRefCount(key);
  Tcl_DecrRefCount(options);
  out.writeErrorLine(kShellErrorPrefix + message);
  if (info.compare(0, message.size(), message) == 0 &&
      (info.size() == message.size() || info[message.size()] == '\n'))
    info.erase(0, std::min(info.size(), message.size() + 1));
  if (!info.empty())
    out.writeErrorLine(info);
}

// What an application's shell offers and how it sources its -source script.
struct ShellProfile {
  // Adds `kvel`, `load_feature` and `current_fileset`.
  bool kvelCommands;
  // When set, a script made only of plain calls of this command is evaluated
  // directly (see sourceScriptFile); otherwise, and for any other script,
  // Tcl's own source runs it (a UTF-16 script is read as such either way).
  const char* directCommand;
};

// The kvel application sources the run script kvel wrote, a command line
// that may hold millions of words. Other applications source any script the
// user gives with Tcl's own source.
ShellProfile profileFor(const std::string& appName) {
  if (appName == "kvel")
    return ShellProfile{true, "kvel"};
  return ShellProfile{false, nullptr};
}

int runSourceFile(Tcl_Interp* interp, const ShellArguments& args, ShellCommandState& state,
                  const ShellProfile& profile) {
  int code = sourceScriptFile(interp, args.sourceFile.c_str(), profile.directCommand);
  if (state.exitRequested)
    return state.exitStatus;
  if (code == TCL_OK || code == TCL_RETURN)
    return 0;
  reportScriptError(interp, state.out);
  return 1;
}

// Reads complete commands from standard input until its end. Interactive use
// (a terminal) gets a prompt, sees results and goes on after an error; other
// input stops at the first error, as a sourced script does. The channel is
// looked up again before each read, as tclsh does: a command may close
// standard input (which ends the reading) or replace it.
int runStandardInput(Tcl_Interp* interp, ShellCommandState& state, bool interactive) {
  Tcl_Obj* command = Tcl_NewObj();
  Tcl_IncrRefCount(command);
  int status = 0;
  bool done = false;
  while (!done) {
    Tcl_Channel in = Tcl_GetStdChannel(TCL_STDIN);
    if (!in)
      break;
    if (interactive) {
      if (Tcl_Channel out = Tcl_GetStdChannel(TCL_STDOUT)) {
        if (Tcl_GetCharLength(command) == 0) {
          Tcl_WriteChars(out, "% ", -1);
          Tcl_Flush(out);
        }
      }
    }
    Tcl_Obj* line = Tcl_NewObj();
    Tcl_IncrRefCount(line);
    bool atEnd = Tcl_GetsObj(in, line) < 0;
    if (!atEnd) {
      if (Tcl_IsShared(command)) {
        Tcl_DecrRefCount(command);
        command = Tcl_DuplicateObj(command);
        Tcl_IncrRefCount(command);
      }
      Tcl_AppendObjToObj(command, line);
      Tcl_AppendToObj(command, "\n", 1);
    }
    Tcl_DecrRefCount(line);
    if (atEnd && !Tcl_Eof(in)) {
      state.out.writeErrorLine(std::string(kShellErrorPrefix) +
                               "error reading \"stdin\": " + Tcl_ErrnoMsg(Tcl_GetErrno()));
      status = 1;
      break;
    }
    if (atEnd) {
      // Text left without its end (say a missing close-brace) is evaluated
      // so that Tcl reports it, rather than being dropped in silence.
      int length = 0;
      const char* rest = Tcl_GetStringFromObj(command, &length);
      if (length == 0 || Tcl_CommandComplete(rest))
        break;
      done = true;
    } else if (!Tcl_CommandComplete(Tcl_GetString(command))) {
      continue;
    }
    int code = Tcl_EvalObjEx(interp, command, TCL_EVAL_GLOBAL);
    Tcl_DecrRefCount(command);
    command = Tcl_NewObj();
    Tcl_IncrRefCount(command);
    if (state.exitRequested) {
      status = state.exitStatus;
      break;
    }
    if (code != TCL_OK && code != TCL_RETURN) {
      reportError(interp, state.out);
      if (!interactive) {
        status = 1;
        break;
      }
    } else if (interactive && *Tcl_GetStringResult(interp)) {
      state.out.writeOutLine(Tcl_GetStringResult(interp));
    }
  }
  Tcl_DecrRefCount(command);
  return status;
}

}  // namespace

int runTclShell(const ShellArguments& args, const std::string& programPath,
                const std::string& appName, zekmain::TclInitProc initProc, ShellOutput& out) {
  // The commands' state outlives the interpreter that refers to it.
  ShellCommandState state(out);
  Interpreter interpreter;
  Tcl_Interp* interp = interpreter.get();
  // Without its script library Tcl lacks `clock`, packages and the encoding
  // files: the shell does not run without it.
  if (Tcl_Init(interp) != TCL_OK) {
    reportError(interp, out);
    return 1;
  }

  // Tcl's own `interp` command, whatever the script makes of the name.
  Tcl_CmdInfo interpCommand = Tcl_CmdInfo();
  Tcl_GetCommandInfo(interp, "::interp", &interpCommand);

  const ShellProfile profile = profileFor(appName);
  bool interactive = !args.hasSource && standardInputIsTerminal();
  setScriptVariables(interp, args, programPath, interactive);
  installShellCommands(interp, state, profile.kvelCommands);

  int status = 1;
  if (initProc && initProc(interp) != TCL_OK) {
    reportError(interp, out);
  } else {
    status = args.hasSource ? runSourceFile(interp, args, state, profile)
                            : runStandardInput(interp, state, interactive);
  }
  // However the run ended (tclsh ends every run through its exit): what the
  // script left buffered is written, and its pipelines' children go on
  // running instead of holding the shell.
  prepareChannelsForExit(interp, interpCommand);
  return status;
}

}  // namespace zekshell
