#include "framework/standin/shell_commands.h"

#include <cstring>

namespace zekshell {
namespace {

bool isText(Tcl_Obj* obj, const char* text) {
  return std::strcmp(Tcl_GetString(obj), text) == 0;
}

// The process's standard output, under whatever name the script used.
bool isStandardOutput(Tcl_Channel channel) {
  Tcl_Channel out = Tcl_GetStdChannel(TCL_STDOUT);
  return out && Tcl_GetTopChannel(out) == Tcl_GetTopChannel(channel);
}

int callOriginalPuts(ShellCommandState& state, Tcl_Interp* interp, int objc,
                     Tcl_Obj* const objv[]) {
  const Tcl_CmdInfo& puts = state.originalPuts;
  return puts.objProc(puts.objClientData, interp, objc, objv);
}

// puts ?-nonewline? ?channelId? string, and the old form
// puts channelId string nonewline.
int putsCommand(ClientData data, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  ShellCommandState& state = *static_cast<ShellCommandState*>(data);
  Tcl_Obj* channelName = nullptr;
  Tcl_Obj* text = nullptr;
  bool newline = true;
  if (objc == 2) {
    text = objv[1];
  } else if (objc == 3 && isText(objv[1], "-nonewline")) {
    text = objv[2];
    newline = false;
  } else if (objc == 3) {
    channelName = objv[1];
    text = objv[2];
  } else if (objc == 4 && isText(objv[1], "-nonewline")) {
    channelName = objv[2];
    text = objv[3];
    newline = false;
  } else if (objc == 4 && isText(objv[3], "nonewline")) {
    channelName = objv[1];
    text = objv[2];
    newline = false;
  }
  if (!text)
    return callOriginalPuts(state, interp, objc, objv);  // reports the usage error

  const char* name = channelName ? Tcl_GetString(channelName) : "stdout";
  int mode = 0;
  Tcl_Channel channel = Tcl_GetChannel(interp, name, &mode);
  if (!channel || !isStandardOutput(channel) || !(mode & TCL_WRITABLE)) {
    Tcl_ResetResult(interp);
    return callOriginalPuts(state, interp, objc, objv);
  }

  int length = 0;
  const char* bytes = Tcl_GetStringFromObj(text, &length);
  bool ok = state.out.writeOut(channel, bytes, length);
  if (ok && newline)
    ok = state.out.writeOut(channel, "\n", 1);
  if (!ok) {
    Tcl_SetObjResult(interp, Tcl_ObjPrintf("error writing \"%s\": %s", name,
                                           Tcl_PosixError(interp)));
    return TCL_ERROR;
  }
  return TCL_OK;
}

// exit ?returnCode?: the shell returns the code; the process goes on.
int exitCommand(ClientData data, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  ShellCommandState& state = *static_cast<ShellCommandState*>(data);
  if (objc > 2) {
    Tcl_WrongNumArgs(interp, 1, objv, "?returnCode?");
    return TCL_ERROR;
  }
  int status = 0;
  if (objc == 2 && Tcl_GetIntFromObj(interp, objv[1], &status) != TCL_OK)
    return TCL_ERROR;
  state.exitRequested = true;
  state.exitStatus = status;
  // Unwinds every level of evaluation; `catch` cannot stop it.
  Tcl_CancelEval(interp, Tcl_NewStringObj("exit", -1), nullptr, TCL_CANCEL_UNWIND);
  return TCL_ERROR;
}

// kvel ARGS...: one line "kvel: " and the words re-quoted as a Tcl list,
// built from the words' own text and written piece by piece.
int kvelCommand(ClientData data, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  ShellCommandState& state = *static_cast<ShellCommandState*>(data);
  try {
    static const char kPrefix[] = "kvel: ";
    // In pieces: a command of a million words is not held as one line more.
    const std::size_t kPieceSize = 64 * 1024;
    const auto write = [&state](const std::string& piece) {
      return state.out.writeOut(Tcl_GetStdChannel(TCL_STDOUT), piece.data(),
                                static_cast<int>(piece.size()));
    };
    if (!writeQuotedWords(kPrefix, sizeof kPrefix - 1, objc - 1, objv + 1, kPieceSize, "\n",
                          write)) {
      Tcl_SetObjResult(interp, Tcl_ObjPrintf("error writing \"stdout\": %s",
                                             Tcl_PosixError(interp)));
      return TCL_ERROR;
    }
  } catch (...) {
    Tcl_SetObjResult(interp, Tcl_NewStringObj("kvel: out of memory", -1));
    return TCL_ERROR;
  }
  return TCL_OK;
}

// load_feature NAME...: accepted; nothing to load in this shell.
int loadFeatureCommand(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  if (objc < 2) {
    Tcl_WrongNumArgs(interp, 1, objv, "name ?name ...?");
    return TCL_ERROR;
  }
  return TCL_OK;
}

// current_fileset ?args?: accepted; this shell has no filesets.
int currentFilesetCommand(ClientData, Tcl_Interp*, int, Tcl_Obj* const[]) {
  return TCL_OK;
}

}  // namespace

void installShellCommands(Tcl_Interp* interp, ShellCommandState& state, bool kvelCommands) {
  // The built-in puts stays callable through its saved entry point.
  Tcl_GetCommandInfo(interp, "::puts", &state.originalPuts);
  Tcl_CreateObjCommand(interp, "::puts", putsCommand, &state, nullptr);
  Tcl_CreateObjCommand(interp, "::exit", exitCommand, &state, nullptr);
  if (kvelCommands) {
    Tcl_CreateObjCommand(interp, "::kvel", kvelCommand, &state, nullptr);
    Tcl_CreateObjCommand(interp, "::load_feature", loadFeatureCommand, nullptr, nullptr);
    Tcl_CreateObjCommand(interp, "::current_fileset", currentFilesetCommand, nullptr, nullptr);
  }
}

namespace {

// The flags and the most room a word needs as a list element. A word with a
// line break is escaped with backslashes, which at most doubles each byte.
int scanWord(const char* bytes, int length, int& flags) {
  flags = 0;
  const int needed = Tcl_ScanCountedElement(bytes, length, &flags);
  if (std::memchr(bytes, '\n', static_cast<std::size_t>(length)) ||
      std::memchr(bytes, '\r', static_cast<std::size_t>(length))) {
    flags |= TCL_DONT_USE_BRACES;
    return needed + 2 * length + 3;
  }
  return needed;
}

}  // namespace

bool writeQuotedWords(const char* prefix, std::size_t prefixLength, int count,
                      Tcl_Obj* const words[], std::size_t pieceSize, const char* suffix,
                      const std::function<bool(const std::string&)>& write) {
  std::string piece(prefix, prefixLength);
  for (int i = 0; i < count; ++i) {
    int length = 0;
    const char* bytes = Tcl_GetStringFromObj(words[i], &length);
    int flags = 0;
    const std::size_t needed = static_cast<std::size_t>(scanWord(bytes, length, flags));
    if (i)
      piece += ' ';
    const std::size_t start = piece.size();
    piece.resize(start + needed);
    const int written = Tcl_ConvertCountedElement(bytes, length, &piece[start], flags);
    piece.resize(start + static_cast<std::size_t>(written));
    if (piece.size() >= pieceSize && i + 1 < count) {
      if (!write(piece))
        return false;
      piece.clear();
    }
  }
  piece += suffix;
  return write(piece);
}

void appendQuotedWords(std::string& out, const char* prefix, std::size_t prefixLength, int count,
                       Tcl_Obj* const words[]) {
  writeQuotedWords(prefix, prefixLength, count, words, static_cast<std::size_t>(-1), "",
                   [&out](const std::string& piece) {
                     out += piece;
                     return true;
                   });
}

}  // namespace zekshell
