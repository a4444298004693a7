#include "framework/standin/shell_arguments.h"

#include <tcl.h>

namespace zekshell {
namespace {

std::string argumentAt(char** argv, int index) {
  const char* arg = argv[index];
  return arg ? arg : "";
}

std::string toUtf8(const std::string& external) {
  Tcl_DString ds;
  Tcl_ExternalToUtfDString(nullptr, external.data(), static_cast<int>(external.size()), &ds);
  std::string utf8(Tcl_DStringValue(&ds), static_cast<std::size_t>(Tcl_DStringLength(&ds)));
  Tcl_DStringFree(&ds);
  return utf8;
}

// The value as exactly one Tcl word: "{a b.tcl}" gives "a b.tcl".
bool oneTclWord(const std::string& value, std::string& word) {
  std::string utf8 = toUtf8(value);
  int count = 0;
  const char** elements = nullptr;
  if (Tcl_SplitList(nullptr, utf8.c_str(), &count, &elements) != TCL_OK)
    return false;
  bool one = count == 1;
  if (one)
    word = elements[0];
  Tcl_Free(reinterpret_cast<char*>(elements));
  return one;
}

}  // namespace

bool parseShellArguments(int argc, char** argv, ShellArguments& out, std::string& error) {
  out = ShellArguments();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argumentAt(argv, i);
    if (arg == "-nolog") {
      out.noLog = true;
      continue;
    }
    if (arg == "-tclargs") {
      for (++i; i < argc; ++i)
        out.tclArgs.push_back(argumentAt(argv, i));
      break;
    }
    if (arg != "-mode" && arg != "-source" && arg != "-log") {
      error = "ERROR: [shell] unknown argument \"" + arg + "\"";
      return false;
    }
    if (i + 1 >= argc) {
      error = "ERROR: [shell] argument \"" + arg + "\" needs a value";
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
        error = "ERROR: [shell] argument \"-mode\" has the unknown value \"" + value +
                "\" (expected tcl, gui or batch)";
        return false;
      }
    } else if (arg == "-source") {
      if (!oneTclWord(value, out.sourceFile)) {
        error = "ERROR: [shell] argument \"-source\" needs one file name as one Tcl word, not \"" +
                value + "\"";
        return false;
      }
      out.hasSource = true;
    } else {
      out.logFile = value;
      out.hasLog = true;
    }
  }
  return true;
}

}  // namespace zekshell
