#include "framework/standin/script_source.h"

#include <cstring>
#include <vector>

namespace zekshell {
namespace {

// Holds one reference to each object it is given.
class ObjectList {
public:
  ObjectList() = default;
  ObjectList(const ObjectList&) = delete;
  ObjectList& operator=(const ObjectList&) = delete;
  ~ObjectList() {
    for (Tcl_Obj* object : objects_)
      Tcl_DecrRefCount(object);
  }
  void add(Tcl_Obj* object) {
    Tcl_IncrRefCount(object);
    objects_.push_back(object);
  }
  void reserveMore(int count) {
    objects_.reserve(objects_.size() + static_cast<std::size_t>(count));
  }
  std::size_t size() const { return objects_.size(); }
  Tcl_Obj** at(std::size_t index) { return objects_.data() + index; }

private:
  std::vector<Tcl_Obj*> objects_;
};

// Frees a parse's token array on every way out.
class ParseHolder {
public:
  ParseHolder() = default;
  ParseHolder(const ParseHolder&) = delete;
  ParseHolder& operator=(const ParseHolder&) = delete;
  ~ParseHolder() {
    if (held_)
      Tcl_FreeParse(&parse_);
  }
  Tcl_Parse* get() { return &parse_; }
  void parsed() { held_ = true; }

private:
  Tcl_Parse parse_;
  bool held_ = false;
};

// The file's text as Tcl's source reads it: system encoding, ^Z ends the
// text, a leading byte-order mark is dropped. False when it cannot be read.
bool readScript(Tcl_Obj* path, Tcl_Obj* text) {
  Tcl_Channel channel = Tcl_FSOpenFileChannel(nullptr, path, "r", 0644);
  if (!channel)
    return false;
  Tcl_SetChannelOption(nullptr, channel, "-eofchar", "\32 {}");
  // A leading byte-order mark is read as the first character and then
  // replaced by the rest of the file.
  bool ok = Tcl_ReadChars(channel, text, 1, 0) >= 0;
  if (ok) {
    int length = 0;
    const char* first = Tcl_GetStringFromObj(text, &length);
    const bool mark = length >= 3 && std::memcmp(first, "\xef\xbb\xbf", 3) == 0;
    ok = Tcl_ReadChars(channel, text, -1, mark ? 0 : 1) >= 0;
  }
  return Tcl_Close(nullptr, channel) == TCL_OK && ok;
}

// One command of the script: where its text is and where its words are.
struct PlainCommand {
  const char* start;
  int length;  // without the terminating line end or semicolon
  std::size_t firstWord;
  int wordCount;
};

// Parses the whole script. True when every command is `name` with plain
// words only; their words are then in `words`.
bool collectPlainCommands(const char* script, int length, const char* name,
                          std::vector<PlainCommand>& commands, ObjectList& words) {
  const char* cursor = script;
  const char* const end = script + length;
  const std::size_t nameLength = std::strlen(name);
  while (cursor < end) {
    ParseHolder holder;
    Tcl_Parse& parse = *holder.get();
    const int code = Tcl_ParseCommand(nullptr, cursor, static_cast<int>(end - cursor), 0, &parse);
    holder.parsed();
    if (code != TCL_OK)
      return false;
    cursor = parse.commandStart + parse.commandSize;
    if (parse.numWords == 0)
      continue;
    const Tcl_Token* token = parse.tokenPtr;
    if (token->type != TCL_TOKEN_SIMPLE_WORD ||
        static_cast<std::size_t>(token[1].size) != nameLength ||
        std::memcmp(token[1].start, name, nameLength) != 0)
      return false;
    PlainCommand command{parse.commandStart, parse.commandSize, words.size(), parse.numWords};
    // The terminator (line end or semicolon) is not part of the logged text.
    if (parse.term == command.start + command.length - 1)
      --command.length;
    words.reserveMore(parse.numWords);
    for (int i = 0; i < parse.numWords; ++i) {
      if (token->type != TCL_TOKEN_SIMPLE_WORD)
        return false;
      words.add(Tcl_NewStringObj(token[1].start, token[1].size));
      token += token->numComponents + 1;
    }
    commands.push_back(command);
  }
  return true;
}

// Calls the commands in order; stops at the first error. The error names
// the command in errorInfo and sets the error line, counted from the start
// of the script, as Tcl's own evaluation does.
int callCommands(Tcl_Interp* interp, const char* script, const std::vector<PlainCommand>& commands,
                 ObjectList& words) {
  Tcl_ResetResult(interp);
  for (const PlainCommand& command : commands) {
    const int code =
        Tcl_EvalObjv(interp, command.wordCount, words.at(command.firstWord), TCL_EVAL_NOERR);
    if (code != TCL_OK) {
      if (code == TCL_ERROR)
        Tcl_LogCommandInfo(interp, script, command.start, command.length);
      return code;
    }
  }
  return TCL_OK;
}

// `info script`, read and set through the command's own implementation:
// nothing the script may have put in the place of `info` is called.
class ScriptName {
public:
  explicit ScriptName(Tcl_Interp* interp) : interp_(interp) {
    found_ = Tcl_GetCommandInfo(interp, "::tcl::info::script", &info_) && info_.objProc;
  }
  bool found() const { return found_; }
  // The current name, with a reference held by the caller.
  Tcl_Obj* get() {
    Tcl_Obj* name = call(1, nullptr) == TCL_OK ? Tcl_GetObjResult(interp_) : Tcl_NewObj();
    Tcl_IncrRefCount(name);
    return name;
  }
  void set(Tcl_Obj* name) { call(2, name); }

private:
  int call(int objc, Tcl_Obj* name) {
    Tcl_Obj* objv[] = {Tcl_NewStringObj("::tcl::info::script", -1), name};
    Tcl_IncrRefCount(objv[0]);
    const int code = info_.objProc(info_.objClientData, interp_, objc, objv);
    Tcl_DecrRefCount(objv[0]);
    return code;
  }

  Tcl_Interp* interp_;
  Tcl_CmdInfo info_ = Tcl_CmdInfo();
  bool found_ = false;
};

int sourceDirectly(Tcl_Interp* interp, Tcl_Obj* path, const char* script,
                   const std::vector<PlainCommand>& commands, ObjectList& words,
                   ScriptName& scriptName) {
  Tcl_Obj* previous = scriptName.get();
  scriptName.set(path);
  const int code = callCommands(interp, script, commands, words);
  // The result and the error state survive restoring the name.
  Tcl_Obj* options = Tcl_GetReturnOptions(interp, code);
  Tcl_IncrRefCount(options);
  Tcl_Obj* result = Tcl_GetObjResult(interp);
  Tcl_IncrRefCount(result);
  scriptName.set(previous);
  Tcl_SetObjResult(interp, result);
  if (code != TCL_OK)
    Tcl_SetReturnOptions(interp, options);
  Tcl_DecrRefCount(result);
  Tcl_DecrRefCount(options);
  Tcl_DecrRefCount(previous);
  if (code == TCL_ERROR) {
    int pathLength = 0;
    const char* pathText = Tcl_GetStringFromObj(path, &pathLength);
    const int limit = 150;
    const bool overflow = pathLength > limit;
    Tcl_AppendObjToErrorInfo(
        interp, Tcl_ObjPrintf("\n    (file \"%.*s%s\" line %d)", overflow ? limit : pathLength,
                              pathText, overflow ? "..." : "", Tcl_GetErrorLine(interp)));
  }
  return code;
}

}  // namespace

int sourceScriptFile(Tcl_Interp* interp, const char* path, const char* command, bool* direct) {
  if (direct)
    *direct = false;
  {
    Tcl_Obj* pathObj = Tcl_NewStringObj(path, -1);
    Tcl_IncrRefCount(pathObj);
    Tcl_Obj* text = Tcl_NewObj();
    Tcl_IncrRefCount(text);
    std::vector<PlainCommand> commands;
    ObjectList words;
    ScriptName scriptName(interp);
    bool plain = scriptName.found() && readScript(pathObj, text);
    int length = 0;
    const char* script = Tcl_GetStringFromObj(text, &length);
    plain = plain && collectPlainCommands(script, length, command, commands, words);
    int code = TCL_OK;
    if (plain)
      code = sourceDirectly(interp, pathObj, script, commands, words, scriptName);
    Tcl_DecrRefCount(text);
    Tcl_DecrRefCount(pathObj);
    if (plain) {
      if (direct)
        *direct = true;
      return code;
    }
  }
  // The words collected so far are freed before Tcl reads the script again.
  return Tcl_EvalFile(interp, path);
}

}  // namespace zekshell
