#include "framework/standin/shell_arguments.h"

#include "framework/standin/shell_error.h"
#include "framework/standin/system_text.h"

namespace zekshell {
namespace {

std::string argumentAt(char** argv, int index) {
  const char* arg = argv[index];
  return arg ? arg : "";
}

}  // namespace

bool parseShellArguments(int argc, char** argv, ShellArguments& out, std::string* err) {
  out = ShellArguments();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argumentAt(argv, i);
    if (arg == "-nolog") {
      out.noLog = true;
      continue;
    }
    if (arg == "-tclargs") {
      for (++i; i < argc; ++i) {
        const std::string word = argumentAt(argv, i);
        out.tclArgs.emplace_back();
        if (!systemToUtf8(word, out.tclArgs.back())) {
          *err = notSystemTextError("argument", word);
          return false;
        }
      }
      break;
    }
    if (arg != "-mode" && arg != "-source" && arg != "-log") {
      *err = std::string(kShellErrorPrefix) + "unknown argument \"" + arg + "\"";
      return false;
    }
    if (i + 1 >= argc) {
      *err = std::string(kShellErrorPrefix) + "argument \"" + arg + "\" needs a value";
      return false;
    }
    const std::string value = argumentAt(argv, ++i);
    if (arg == "-mode") {
      if (value == "tcl") {
        out.mode = ShellMode::Tcl;
      } else if (value == "gui") {
        out.mode = ShellMode::Gui;
      } else if (value == "batch") {
        out.mode = ShellMode::Batch;
      } else {
        *err = std::string(kShellErrorPrefix) + "argument \"-mode\" has the unknown value \"" +
               value + "\" (expected tcl, gui or batch)";
        return false;
      }
    } else {
      // Braces and backslashes are looked at in UTF-8, where no byte of
      // another character can pass for one of them.
      std::string name;
      if (!systemToUtf8(value, name)) {
        *err = notSystemTextError("argument \"" + arg + "\" value", value);
        return false;
      }
      std::string word;
      if (unwrapBracedWord(name, word))
        name = word;
      if (kTclOpensBmpNamesOnly && hasCharacterOutsideBmp(name)) {
        *err = std::string(kShellErrorPrefix) + "argument \"" + arg + "\" value \"" + value +
               "\": Tcl 8.6 cannot open a file whose name holds a character outside the Basic "
               "Multilingual Plane (such as an emoji) on Windows";
        return false;
      }
      (arg == "-source" ? out.sourceFile : out.logFile) = name;
      (arg == "-source" ? out.hasSource : out.hasLog) = true;
    }
  }
  return true;
}

}  // namespace zekshell
