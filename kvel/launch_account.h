// The account of a launch that KVEL_EXPLAIN asks for: every argument of the
// final list with where it came from and what it set, the target check, the
// command text and one command line that reruns the launch. Written to
// standard error; the user's text in it is kept on one line per argument
// and made safe for a terminal.
#ifndef KVEL_LAUNCH_ACCOUNT_H
#define KVEL_LAUNCH_ACCOUNT_H

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "kvel/options/command_line_options.h"

namespace KVEL {

// off: unset, empty or "0"; dryRun: "only" (account and checks, then status
// 0 with nothing written and no shell); account: any other value.
enum class ExplainMode { off, account, dryRun };
ExplainMode explainModeOf(const char* value);

// The arguments part: each expanded argument with its place, what it was to
// the parser and the notes on it; with a failed parse, where it stopped.
void writeArgumentAccount(std::FILE* out, const std::vector<std::string>& expanded,
                          const ParseTrace& trace);

// The target check: given is the name before the check, checked after it.
void writeTargetAccount(std::FILE* out, const std::string& given, const std::string& checked,
                        bool found);

// The command text and the command line that reruns the launch (the final
// arguments, without the command files).
void writeCommandAccount(std::FILE* out, const std::string& commandText,
                         const std::string& programName, const std::vector<std::string>& expanded);

// One word for a POSIX shell: bare when that is safe, else in single quotes,
// or in $'...' when it holds control characters.
std::string posixShellWord(std::string_view word);
// One word for Windows' cmd.exe and the argument rules of its programs:
// bare when that is safe, else in double quotes with backslashes doubled
// before a quote, a quote written \", and % kept from cmd's expansion as
// "^%" outside the quotes.
std::string windowsShellWord(std::string_view word);

}  // namespace KVEL

#endif
