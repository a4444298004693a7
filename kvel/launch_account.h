// The account of a launch that KVEL_EXPLAIN asks for: every argument of the
// final list with where it came from and what it set, the target check, the
// command text, the shell's arguments and a command line that reruns the
// launch; as text for people (on standard error, the user's text kept on one
// line per argument and made safe for a terminal) or as one JSON document
// for tools.
#ifndef KVEL_LAUNCH_ACCOUNT_H
#define KVEL_LAUNCH_ACCOUNT_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "kvel/options/command_line_options.h"
#include "support/fs/file_content.h"

namespace KVEL {

// off: unset, empty, 0, off, no, false; account: 1, on, yes, true, and any
// value not listed; dryRun: only (the account and the checks, then the
// launch's status with nothing written and no shell); json, jsonDryRun:
// json and json-only, the same as a JSON document. Compared without letter
// case and surrounding blanks.
enum class ExplainMode { off, account, dryRun, json, jsonDryRun };
struct ExplainSetting {
  ExplainMode mode = ExplainMode::off;
  bool known = true;  // false: a value not listed, taken as account
};
ExplainSetting explainSettingOf(const char* value);
inline bool isDryRun(ExplainMode mode) {
  return mode == ExplainMode::dryRun || mode == ExplainMode::jsonDryRun;
}

// The values KVEL_EXPLAIN knows, for the line that names them.
extern const char* const kExplainValues;

class LaunchAccount {
public:
  virtual ~LaunchAccount();
  // The arguments part: each expanded argument with its place, what it was
  // to the parser and the notes on it; with a failed parse, where it stopped.
  virtual void arguments(const cmdfile::ArgumentList& expanded, const ParseTrace& trace) = 0;
  // The target check: given is the name before the check, checked after it.
  virtual void target(const std::string& given, const std::string& checked, bool found) = 0;
  // The command text and what reruns the launch: the program name and the
  // final arguments, without the command files.
  // The text is made as it is read (it may be asked for more than once), so
  // that a large one is never held whole.
  virtual void command(const FileContent& commandText, const std::string& programName,
                       const cmdfile::ArgumentList& arguments) = 0;
  // The shell's arguments as the launch passes them.
  virtual void shell(const std::vector<std::string>& arguments) = 0;
  // The launch ends here with status and, where it failed, the message it
  // printed; launched: the shell is about to start (status unknown).
  virtual void end(int status, const std::string& message, bool launched) = 0;
  // Told once the parse succeeded, before the arguments part: from here the
  // launch prints nothing on standard error before the account ends but
  // what it then prints after it (refuseOnStandardError). An account held
  // to the end goes out as it is produced from here; true when it does so
  // on standard error.
  virtual bool writeAsProduced() { return false; }
};

// The text form; unknownValue: the value of KVEL_EXPLAIN when it is not one
// of the list, for a line that names the list.
std::unique_ptr<LaunchAccount> makeTextAccount(std::FILE* out, bool dryRun,
                                               const char* unknownValue);
// The JSON form; holdToEnd: written whole at the end, where nothing else may
// come between its parts.
std::unique_ptr<LaunchAccount> makeJsonAccount(std::FILE* out, bool dryRun, bool holdToEnd);

// The script in the shell's arguments of a dry run, which only a real
// launch knows: "<own-script>".
extern const char* const kOwnScriptPlaceholder;

}  // namespace KVEL

#endif
