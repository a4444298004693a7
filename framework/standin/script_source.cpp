#include "framework/standin/script_source.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace zekshell {
namespace {

// The words of one command as objects, each holding a reference.
class WordList {
public:
  WordList() = default;
  WordList(const WordList&) = delete;
  WordList& operator=(const WordList&) = delete;
  ~WordList() { clear(); }

  void add(Tcl_Obj* word) {
    Tcl_IncrRefCount(word);
    words_.push_back(word);
  }
  void clear() {
    for (Tcl_Obj* word : words_)
      Tcl_DecrRefCount(word);
    words_.clear();
  }
  // Gives back the memory of a large command once it has run.
  void release() {
    clear();
    std::vector<Tcl_Obj*>().swap(words_);
  }
  void reserve(int count) { words_.reserve(static_cast<std::size_t>(count)); }
  int size() const { return static_cast<int>(words_.size()); }
  Tcl_Obj** data() { return words_.data(); }

private:
  std::vector<Tcl_Obj*> words_;
};

// Frees a parse's token array on every way out.
class ParseHolder {
public:
  ParseHolder() = default;
  ParseHolder(const ParseHolder&) = delete;
  ParseHolder& operator=(const ParseHolder&) = delete;
  ~ParseHolder() { free(); }
  Tcl_Parse* get() { return &parse_; }
  void parsed() { held_ = true; }
  void free() {
    if (held_)
      Tcl_FreeParse(&parse_);
    held_ = false;
  }

private:
  Tcl_Parse parse_;
  bool held_ = false;
};

int readScript(Tcl_Interp* interp, Tcl_Obj* path, Tcl_Obj* text) {
  Tcl_StatBuf* status = Tcl_AllocStatBuf();
  const bool exists = Tcl_FSStat(path, status) == 0;
  Tcl_Free(reinterpret_cast<char*>(status));
  Tcl_Channel channel = nullptr;
  if (exists)
    channel = Tcl_FSOpenFileChannel(interp, path, "r", 0644);
  bool ok = channel != nullptr;
  if (ok) {
    // ^Z ends a script, as for Tcl's own source.
    Tcl_SetChannelOption(interp, channel, "-eofchar", "\32 {}");
    // A leading byte-order mark is read as the first character and then
    // replaced by the rest of the file.
    ok = Tcl_ReadChars(channel, text, 1, 0) >= 0;
  }
  if (ok) {
    int length = 0;
    const char* first = Tcl_GetStringFromObj(text, &length);
    const bool mark = length >= 3 && std::memcmp(first, "\xef\xbb\xbf", 3) == 0;
    ok = Tcl_ReadChars(channel, text, -1, mark ? 0 : 1) >= 0;
  }
  if (!ok) {
    if (!exists)
      Tcl_SetErrno(errno);
    Tcl_ResetResult(interp);
    Tcl_SetObjResult(interp, Tcl_ObjPrintf("couldn't read file \"%s\": %s", Tcl_GetString(path),
                                           Tcl_PosixError(interp)));
    if (channel)
      Tcl_Close(nullptr, channel);
    return TCL_ERROR;
  }
  return Tcl_Close(interp, channel);
}

// Substitutes one word (not plain text) and appends the result, or for
// {*}word its elements.
int substituteWord(Tcl_Interp* interp, const Tcl_Token* word, int index, WordList& words) {
  int code = Tcl_EvalTokensStandard(interp, const_cast<Tcl_Token*>(word + 1), word->numComponents);
  if (code != TCL_OK)
    return code;
  Tcl_Obj* value = Tcl_GetObjResult(interp);
  if (word->type != TCL_TOKEN_EXPAND_WORD) {
    words.add(value);
    return TCL_OK;
  }
  Tcl_IncrRefCount(value);
  int count = 0;
  Tcl_Obj** elements = nullptr;
  code = Tcl_ListObjGetElements(interp, value, &count, &elements);
  if (code != TCL_OK)
    Tcl_AppendObjToErrorInfo(interp, Tcl_ObjPrintf("\n    (expanding word %d)", index));
  for (int i = 0; code == TCL_OK && i < count; ++i)
    words.add(elements[i]);
  Tcl_DecrRefCount(value);
  return code;
}

// The words of a parsed command. Plain-text words become objects directly.
int collectWords(Tcl_Interp* interp, const Tcl_Parse& parse, WordList& words) {
  const Tcl_Token* token = parse.tokenPtr;
  for (int i = 0; i < parse.numWords; ++i) {
    if (token->type == TCL_TOKEN_SIMPLE_WORD) {
      words.add(Tcl_NewStringObj(token[1].start, token[1].size));
    } else {
      Tcl_ResetResult(interp);
      const int code = substituteWord(interp, token, i, words);
      if (code != TCL_OK)
        return code;
    }
    token += token->numComponents + 1;
  }
  return TCL_OK;
}

// A `return` at the script's top level: one level is used up by the script,
// as a procedure body uses one.
int finishReturn(Tcl_Interp* interp) {
  Tcl_Obj* options = Tcl_GetReturnOptions(interp, TCL_RETURN);
  Tcl_IncrRefCount(options);
  Tcl_Obj* key = Tcl_NewStringObj("-level", -1);
  Tcl_IncrRefCount(key);
  Tcl_Obj* levelObj = nullptr;
  int level = 1;
  if (Tcl_DictObjGet(nullptr, options, key, &levelObj) == TCL_OK && levelObj)
    Tcl_GetIntFromObj(nullptr, levelObj, &level);
  if (Tcl_IsShared(options)) {
    Tcl_Obj* copy = Tcl_DuplicateObj(options);
    Tcl_IncrRefCount(copy);
    Tcl_DecrRefCount(options);
    options = copy;
  }
  Tcl_DictObjPut(nullptr, options, key, Tcl_NewIntObj(level > 0 ? level - 1 : 0));
  Tcl_Obj* result = Tcl_GetObjResult(interp);
  Tcl_IncrRefCount(result);
  const int code = Tcl_SetReturnOptions(interp, options);
  Tcl_SetObjResult(interp, result);
  Tcl_DecrRefCount(result);
  Tcl_DecrRefCount(key);
  Tcl_DecrRefCount(options);
  return code;
}

// What a code other than TCL_OK becomes at the top level: `return` ends the
// script with the code it asks for; break, continue and other codes are
// errors.
int settleTopLevelCode(Tcl_Interp* interp, int code) {
  if (code == TCL_RETURN)
    code = finishReturn(interp);
  if (code == TCL_OK || code == TCL_ERROR)
    return code;
  Tcl_ResetResult(interp);
  if (code == TCL_BREAK)
    Tcl_SetObjResult(interp, Tcl_NewStringObj("invoked \"break\" outside of a loop", -1));
  else if (code == TCL_CONTINUE)
    Tcl_SetObjResult(interp, Tcl_NewStringObj("invoked \"continue\" outside of a loop", -1));
  else
    Tcl_SetObjResult(interp, Tcl_ObjPrintf("command returned bad code: %d", code));
  const std::string number = std::to_string(code);
  Tcl_SetErrorCode(interp, "TCL", "UNEXPECTED_RESULT_CODE", number.c_str(), nullptr);
  return TCL_ERROR;
}

// Evaluates the commands of script in order; stops at the first code other
// than TCL_OK and returns it. Errors name the command in errorInfo and set
// the error line, counted from the start of the script.
int evaluateScript(Tcl_Interp* interp, const char* script, int length) {
  const char* cursor = script;
  const char* const end = script + length;
  WordList words;
  Tcl_ResetResult(interp);
  while (cursor < end) {
    ParseHolder holder;
    Tcl_Parse& parse = *holder.get();
    if (Tcl_ParseCommand(interp, cursor, static_cast<int>(end - cursor), 0, &parse) != TCL_OK) {
      holder.parsed();
      Tcl_LogCommandInfo(interp, script, parse.commandStart,
                         static_cast<int>(parse.term + 1 - parse.commandStart));
      return TCL_ERROR;
    }
    holder.parsed();
    const char* const commandStart = parse.commandStart;
    int commandLength = parse.commandSize;
    // The terminator (line end or semicolon) is not part of the logged text.
    if (parse.term == commandStart + commandLength - 1)
      --commandLength;
    cursor = commandStart + parse.commandSize;
    if (parse.numWords == 0)
      continue;

    words.reserve(parse.numWords);
    int code = collectWords(interp, parse, words);
    holder.free();
    if (code == TCL_OK)
      code = Tcl_EvalObjv(interp, words.size(), words.data(), TCL_EVAL_NOERR);
    if (words.size() > 4096)
      words.release();
    else
      words.clear();
    if (code != TCL_OK) {
      code = settleTopLevelCode(interp, code);
      if (code == TCL_ERROR)
        Tcl_LogCommandInfo(interp, script, commandStart, commandLength);
      return code;
    }
  }
  return TCL_OK;
}

// What `info script` returns; set through the command itself, the only
// public way.
Tcl_Obj* scriptName(Tcl_Interp* interp) {
  Tcl_Obj* command[] = {Tcl_NewStringObj("::info", -1), Tcl_NewStringObj("script", -1)};
  for (Tcl_Obj* word : command)
    Tcl_IncrRefCount(word);
  Tcl_Obj* name = Tcl_EvalObjv(interp, 2, command, TCL_EVAL_GLOBAL) == TCL_OK
                      ? Tcl_GetObjResult(interp)
                      : Tcl_NewObj();
  Tcl_IncrRefCount(name);
  for (Tcl_Obj* word : command)
    Tcl_DecrRefCount(word);
  return name;
}

void setScriptName(Tcl_Interp* interp, Tcl_Obj* name) {
  Tcl_Obj* command[] = {Tcl_NewStringObj("::info", -1), Tcl_NewStringObj("script", -1), name};
  Tcl_IncrRefCount(command[0]);
  Tcl_IncrRefCount(command[1]);
  Tcl_EvalObjv(interp, 3, command, TCL_EVAL_GLOBAL);
  Tcl_DecrRefCount(command[0]);
  Tcl_DecrRefCount(command[1]);
}

}  // namespace

int sourceScriptFile(Tcl_Interp* interp, const char* path) {
  Tcl_Obj* pathObj = Tcl_NewStringObj(path, -1);
  Tcl_IncrRefCount(pathObj);
  Tcl_Obj* text = Tcl_NewObj();
  Tcl_IncrRefCount(text);
  int code = readScript(interp, pathObj, text);
  if (code == TCL_OK) {
    Tcl_Obj* previous = scriptName(interp);
    setScriptName(interp, pathObj);
    int length = 0;
    const char* script = Tcl_GetStringFromObj(text, &length);
    code = evaluateScript(interp, script, length);
    // The result and the error state survive restoring the name.
    Tcl_Obj* options = Tcl_GetReturnOptions(interp, code);
    Tcl_IncrRefCount(options);
    Tcl_Obj* result = Tcl_GetObjResult(interp);
    Tcl_IncrRefCount(result);
    setScriptName(interp, previous);
    Tcl_SetObjResult(interp, result);
    if (code != TCL_OK)
      Tcl_SetReturnOptions(interp, options);
    Tcl_DecrRefCount(result);
    Tcl_DecrRefCount(options);
    Tcl_DecrRefCount(previous);
    if (code == TCL_ERROR) {
      int pathLength = 0;
      const char* pathText = Tcl_GetStringFromObj(pathObj, &pathLength);
      const int limit = 150;
      const bool overflow = pathLength > limit;
      Tcl_AppendObjToErrorInfo(
          interp, Tcl_ObjPrintf("\n    (file \"%.*s%s\" line %d)", overflow ? limit : pathLength,
                                pathText, overflow ? "..." : "", Tcl_GetErrorLine(interp)));
    }
  }
  Tcl_DecrRefCount(text);
  Tcl_DecrRefCount(pathObj);
  return code;
}

}  // namespace zekshell
