#include "framework/standin/script_source.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "framework/standin/system_text.h"

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

// The rest of an open channel's bytes into `bytes`. 0, or the errno of a
// failed read.
int readRemainingBytes(Tcl_Channel channel, std::string& bytes) {
  char block[65536];
  int read = 0;
  while ((read = Tcl_Read(channel, block, sizeof block)) > 0)
    bytes.append(block, static_cast<std::size_t>(read));
  return read < 0 ? Tcl_GetErrno() : 0;
}

// Tcl's source reads a text up to the first U+001A, with CR LF and a lone CR
// as LF; the text is cut and translated in place, and its new size returned.
std::size_t endAndTranslateLines(char* text, std::size_t size) {
  const void* eof = std::memchr(text, '\x1a', size);
  if (eof != nullptr)
    size = static_cast<std::size_t>(static_cast<const char*>(eof) - text);
  std::size_t out = 0;
  for (std::size_t in = 0; in < size; ++in) {
    const char c = text[in];
    if (c == '\r' && in + 1 < size && text[in + 1] == '\n')
      continue;  // the LF that follows is the line end
    text[out++] = c == '\r' ? '\n' : c;
  }
  return out;
}

// The file's text as Tcl's source reads it: system encoding, ^Z ends the
// text, a leading byte-order mark is dropped. False when it cannot be read.
// The bytes are converted whole rather than through the channel: Tcl 8.6's
// channel decoder misreads a 4-byte UTF-8 character (an emoji) that the end
// of its 4 KB read buffer cuts after its third byte, giving the character's
// bytes as Latin-1 characters; a conversion of the whole text cuts none.
bool readScript(Tcl_Obj* path, Tcl_Obj* text) {
  Tcl_Channel channel = Tcl_FSOpenFileChannel(nullptr, path, "r", 0644);
  if (!channel)
    return false;
  Tcl_SetChannelOption(nullptr, channel, "-translation", "binary");
  std::string bytes;
  const bool read = readRemainingBytes(channel, bytes) == 0;
  if (Tcl_Close(nullptr, channel) != TCL_OK || !read ||
      bytes.size() > static_cast<std::size_t>(INT_MAX))
    return false;
  Tcl_DString ds;
  Tcl_ExternalToUtfDString(nullptr, bytes.data(), static_cast<int>(bytes.size()), &ds);
  std::string().swap(bytes);
  char* const converted = Tcl_DStringValue(&ds);
  const std::size_t size =
      endAndTranslateLines(converted, static_cast<std::size_t>(Tcl_DStringLength(&ds)));
  const std::size_t skip = size >= 3 && std::memcmp(converted, "\xef\xbb\xbf", 3) == 0 ? 3 : 0;
  Tcl_AppendToObj(text, converted + skip, static_cast<int>(size - skip));
  Tcl_DStringFree(&ds);
  return true;
}

// The words of a command as objects. A run script's command repeats a few
// switches ("-testplusarg") up to millions of times: each such word is one
// shared object, as the same literal is in a compiled script, instead of an
// object and a string of its own for every occurrence. Other words get
// objects of their own. Sharing is safe because the command called with them
// does not modify its words.
class SwitchWords {
public:
  SwitchWords() = default;
  SwitchWords(const SwitchWords&) = delete;
  SwitchWords& operator=(const SwitchWords&) = delete;
  ~SwitchWords() {
    for (Tcl_Obj* object : kept_)
      Tcl_DecrRefCount(object);
  }
  Tcl_Obj* word(const char* text, int length) {
    if (length < 2 || length > kLongest || text[0] != '-')
      return Tcl_NewStringObj(text, length);
    for (Tcl_Obj* object : kept_) {
      int keptLength = 0;
      const char* kept = Tcl_GetStringFromObj(object, &keptLength);
      if (keptLength == length && std::memcmp(kept, text, static_cast<std::size_t>(length)) == 0)
        return object;
    }
    Tcl_Obj* object = Tcl_NewStringObj(text, length);
    if (kept_.size() < kMostKept) {
      Tcl_IncrRefCount(object);
      kept_.push_back(object);
    }
    return object;
  }

private:
  static const int kLongest = 32;
  static const std::size_t kMostKept = 32;
  std::vector<Tcl_Obj*> kept_;
};

// A word's text in the script.
struct WordSpan {
  int offset;
  int length;
};

// One command of the script: where its text is and where its words are.
struct PlainCommand {
  const char* start;
  int length;  // without the terminating line end or semicolon
  std::size_t firstWord;
  int wordCount;
};

// A byte that Tcl reads as itself anywhere in a bare word: no blank, line
// end, control character or character that starts a substitution, a quote
// or a brace. Bytes of characters beyond ASCII are such bytes.
bool isBareByte(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  if (byte >= 0x80)
    return true;
  if (byte <= ' ' || byte == 0x7f)
    return false;
  return std::strchr(";$[]\\{}\"", c) == nullptr;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The commands and words of a script in the form kvel writes, found without
// Tcl's parser, which holds two 24-byte tokens for every word of a command
// at once (48 MB for a command of a million words). The form: commands
// ended by line ends or semicolons, whose words, separated by blanks and
// tabs, are bare (isBareByte) or in braces without a brace, backslash or
// line end inside. False for any other script, which Tcl's parser then
// reads: this way never decides what Tcl would read differently. With
// commands null, only counts the words into *wordCount.
bool scanPlainCommands(const char* script, int length, const char* name,
                       std::vector<PlainCommand>* commands, std::vector<WordSpan>* spans,
                       std::size_t* wordCount) {
  const char* p = script;
  const char* const end = script + length;
  const std::size_t nameLength = std::strlen(name);
  *wordCount = 0;
  while (p < end) {
    while (p < end && (isBlank(*p) || *p == '\n' || *p == ';'))
      ++p;
    if (p == end)
      break;
    if (*p == '#')
      return false;
    PlainCommand command{p, 0, *wordCount, 0};
    while (p < end && *p != '\n' && *p != ';') {
      const bool braced = *p == '{';
      const char* const word = braced ? p + 1 : p;
      p = word;
      if (braced) {
        while (p < end && *p != '}' && *p != '{' && *p != '\\' && *p != '\n')
          ++p;
        if (p == end || *p != '}')
          return false;
      } else {
        while (p < end && isBareByte(*p))
          ++p;
        if (p == word)
          return false;
      }
      const int wordLength = static_cast<int>(p - word);
      if (braced)
        ++p;  // the closing brace
      if (p < end && !isBlank(*p) && *p != '\n' && *p != ';')
        return false;
      if (command.wordCount == 0 &&
          (static_cast<std::size_t>(wordLength) != nameLength ||
           std::memcmp(word, name, nameLength) != 0))
        return false;
      if (spans)
        spans->push_back({static_cast<int>(word - script), wordLength});
      ++command.wordCount;
      ++*wordCount;
      while (p < end && isBlank(*p))
        ++p;
    }
    command.length = static_cast<int>(p - command.start);
    if (commands)
      commands->push_back(command);
  }
  return true;
}

// Parses the whole script. True when every command is `name` with plain
// words only; their words are then in `words`.
bool collectPlainCommands(const char* script, int length, const char* name,
                          std::vector<PlainCommand>& commands, ObjectList& words) {
  SwitchWords switches;
  // The form kvel writes first, counted, then read.
  std::size_t wordCount = 0;
  if (scanPlainCommands(script, length, name, nullptr, nullptr, &wordCount)) {
    std::vector<WordSpan> spans;
    spans.reserve(wordCount);
    scanPlainCommands(script, length, name, &commands, &spans, &wordCount);
    words.reserveMore(static_cast<int>(spans.size()));
    for (const WordSpan& span : spans)
      words.add(switches.word(script + span.offset, span.length));
    return true;
  }
  const char* cursor = script;
  const char* const end = script + length;
  const std::size_t nameLength = std::strlen(name);
  // Where each word of a command stands in the script. The words become
  // objects once the command's parse is freed: its tokens (two per word) and
  // the words' objects are never held at once.
  std::vector<WordSpan> spans;
  while (cursor < end) {
    spans.clear();
    {
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
      spans.reserve(static_cast<std::size_t>(parse.numWords));
      for (int i = 0; i < parse.numWords; ++i) {
        if (token->type != TCL_TOKEN_SIMPLE_WORD)
          return false;
        spans.push_back({static_cast<int>(token[1].start - script), token[1].size});
        token += token->numComponents + 1;
      }
      commands.push_back(command);
    }
    words.reserveMore(static_cast<int>(spans.size()));
    for (const WordSpan& span : spans)
      words.add(switches.word(script + span.offset, span.length));
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

// Runs `run` with `info script` naming `path`, as Tcl's source does: the
// result and the error state survive restoring the name, and an error ends
// its errorInfo with "(file ... line N)".
template <class Run>
int runAsSourcedFile(Tcl_Interp* interp, Tcl_Obj* path, ScriptName& scriptName, Run run) {
  Tcl_Obj* previous = scriptName.get();
  scriptName.set(path);
  const int code = run();
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

// A `return` at the top of a sourced file ends the file: one level of the
// return is used up here, as Tcl's source does (`return -code error` becomes
// an error, a plain `return` success).
int endOfFileReturn(Tcl_Interp* interp) {
  Tcl_Obj* options = Tcl_GetReturnOptions(interp, TCL_RETURN);
  Tcl_IncrRefCount(options);
  Tcl_Obj* key = Tcl_NewStringObj("-level", -1);
  Tcl_IncrRefCount(key);
  Tcl_Obj* levelObj = nullptr;
  int level = 1;
  if (Tcl_DictObjGet(nullptr, options, key, &levelObj) == TCL_OK && levelObj)
    Tcl_GetIntFromObj(nullptr, levelObj, &level);
  Tcl_DictObjPut(nullptr, options, key, Tcl_NewIntObj(level > 0 ? level - 1 : 0));
  const int code = Tcl_SetReturnOptions(interp, options);
  Tcl_DecrRefCount(key);
  Tcl_DecrRefCount(options);
  return code;
}

// What reading a UTF-16 script gave.
enum class Utf16Script { kNot, kRead, kFailed };

// The code units of UTF-16 bytes in the given order, read as Tcl's source
// reads text: up to the first U+001A, with CR LF and a lone CR as LF. False,
// with the problem in *err, for an odd number of bytes or a surrogate without
// its partner.
bool decodeUtf16(const std::string& bytes, bool bigEndian, std::u16string& units,
                 std::string* err) {
  const int high = bigEndian ? 0 : 1;
  const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data());
  units.clear();
  units.reserve(bytes.size() / 2);
  std::size_t i = 0;
  bool afterCr = false;
  for (; i + 1 < bytes.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>((data[i + high] << 8) | data[i + 1 - high]);
    if (unit == 0x1A)
      break;
    if (unit == u'\n' && afterCr) {
      afterCr = false;
      continue;
    }
    afterCr = unit == u'\r';
    units.push_back(afterCr ? u'\n' : unit);
  }
  if (i + 1 == bytes.size()) {
    *err = "it has an odd number of bytes (" + std::to_string(bytes.size() + 2) + ")";
    return false;
  }
  for (std::size_t k = 0; k < units.size(); ++k) {
    const char16_t unit = units[k];
    if (unit < 0xD800 || unit > 0xDFFF)
      continue;
    if (unit <= 0xDBFF && k + 1 < units.size() && units[k + 1] >= 0xDC00 &&
        units[k + 1] <= 0xDFFF) {
      ++k;
      continue;
    }
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(unit));
    const std::size_t line = 1 + static_cast<std::size_t>(std::count(
                                     units.begin(), units.begin() + static_cast<long>(k), u'\n'));
    *err = std::string("an unpaired surrogate ") + name + " (line " + std::to_string(line) + ")";
    return false;
  }
  return true;
}

// A regular file that begins with a UTF-16 byte-order mark (FF FE, or FE FF
// for big-endian) is read here, through the one channel that found the mark,
// and converted to Tcl's text in `text`. Any other file, or one that cannot
// be opened, is left to Tcl's own source (kNot). kFailed leaves the error in
// the interpreter's result.
Utf16Script readUtf16Script(Tcl_Interp* interp, Tcl_Obj* path, Tcl_Obj* text) {
  Tcl_StatBuf* stat = Tcl_AllocStatBuf();
  const bool regular = Tcl_FSStat(path, stat) == 0 && S_ISREG(Tcl_GetModeFromStat(stat));
  Tcl_Free(reinterpret_cast<char*>(stat));
  if (!regular)
    return Utf16Script::kNot;
  Tcl_Channel channel = Tcl_FSOpenFileChannel(nullptr, path, "r", 0644);
  if (!channel)
    return Utf16Script::kNot;
  Tcl_SetChannelOption(nullptr, channel, "-translation", "binary");
  char mark[2];
  const int got = Tcl_Read(channel, mark, 2);
  const bool little = got == 2 && mark[0] == '\xFF' && mark[1] == '\xFE';
  const bool big = got == 2 && mark[0] == '\xFE' && mark[1] == '\xFF';
  if (!little && !big) {
    Tcl_Close(nullptr, channel);
    return Utf16Script::kNot;
  }
  std::string bytes;
  const int readError = readRemainingBytes(channel, bytes);
  Tcl_Close(nullptr, channel);
  std::string problem;
  std::u16string units;
  if (readError != 0) {
    problem = Tcl_ErrnoMsg(readError);
  } else if (decodeUtf16(bytes, big, units, &problem)) {
    // Tcl's "unicode" encoding is UTF-16 in the machine's order, which the
    // units are in now.
    Tcl_Encoding unicode = Tcl_GetEncoding(nullptr, "unicode");
    Tcl_DString ds;
    Tcl_ExternalToUtfDString(unicode, reinterpret_cast<const char*>(units.data()),
                             static_cast<int>(units.size() * sizeof(char16_t)), &ds);
    Tcl_FreeEncoding(unicode);
    Tcl_AppendToObj(text, Tcl_DStringValue(&ds), Tcl_DStringLength(&ds));
    Tcl_DStringFree(&ds);
    return Utf16Script::kRead;
  } else {
    problem = "not valid UTF-16: " + problem;
  }
  Tcl_SetObjResult(
      interp, Tcl_ObjPrintf("couldn't read file \"%s\": %s", Tcl_GetString(path), problem.c_str()));
  return Utf16Script::kFailed;
}

// Evaluates a script's text read here as Tcl's source evaluates a file's.
int evaluateText(Tcl_Interp* interp, Tcl_Obj* path, ScriptName& scriptName, Tcl_Obj* text) {
  int length = 0;
  const char* script = Tcl_GetStringFromObj(text, &length);
  return runAsSourcedFile(interp, path, scriptName, [&] {
    const int evaluated = Tcl_EvalEx(interp, script, length, 0);
    return evaluated == TCL_RETURN ? endOfFileReturn(interp) : evaluated;
  });
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
    int code = TCL_OK;
    bool done = false;
    switch (scriptName.found() ? readUtf16Script(interp, pathObj, text) : Utf16Script::kNot) {
      case Utf16Script::kFailed:
        code = TCL_ERROR;
        done = true;
        break;
      case Utf16Script::kRead:
        code = evaluateText(interp, pathObj, scriptName, text);
        done = true;
        break;
      case Utf16Script::kNot:
        if (scriptName.found() && readScript(pathObj, text)) {
          int length = 0;
          const char* script = Tcl_GetStringFromObj(text, &length);
          if (command && collectPlainCommands(script, length, command, commands, words)) {
            code = runAsSourcedFile(interp, pathObj, scriptName,
                                    [&] { return callCommands(interp, script, commands, words); });
            done = true;
            if (direct)
              *direct = true;
          } else if (hasCharacterOutsideBmp(script, static_cast<std::size_t>(length))) {
            // Tcl's source would read the file through its channel again.
            code = evaluateText(interp, pathObj, scriptName, text);
            done = true;
          }
        }
        break;
    }
    Tcl_DecrRefCount(text);
    Tcl_DecrRefCount(pathObj);
    if (done)
      return code;
  }
  // The words collected so far are freed before Tcl reads the script again.
  return Tcl_EvalFile(interp, path);
}

}  // namespace zekshell
