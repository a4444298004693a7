// The command line that reruns a launch with its final arguments, for a
// POSIX shell (sh, dash) and for Windows' cmd.exe. Both lines are printable:
// they hold no control byte and no byte that is not UTF-8, so that a copy
// through a terminal gives the same bytes.
#ifndef KVEL_RERUN_LINE_H
#define KVEL_RERUN_LINE_H

#include <string>
#include <string_view>
#include <vector>

#include "kvel/cmdfile/argument_list.h"

namespace KVEL {

// One word for sh: bare when that is safe, else in single quotes; each run
// of control bytes, C1 controls and bytes that are not UTF-8 goes as a
// "$(printf '\ooo')" piece (which also takes the byte after the run, as a
// command substitution drops the newlines at its end). A word that ends in
// a newline uses "$nl" for it, which posixShellLine defines.
std::string posixShellWord(std::string_view word);
// The same, appended to line.
void appendPosixShellWord(std::string& line, std::string_view word);

// The words as one line for sh; when a word ends in a newline the line
// begins by setting nl to a newline.
std::string posixShellLine(const std::vector<std::string>& words);
// What posixShellLine puts before the words of programName and arguments:
// "nl=...; " where a word ends in a newline, else nothing.
const char* posixShellLinePrefix(const std::string& programName,
                                 const cmdfile::ArgumentList& arguments);

// The words as one line for cmd.exe (at its prompt, or as cmd /s /c "line")
// that gives a program the same arguments under the C runtime's rules. cmd
// reads every double quote as opening or closing its quotes, \" included:
// outside them & | < > ^ ( ) get a caret. False, with the reason in *err,
// when cmd cannot carry the words: a control character or a byte that is
// not UTF-8, or % more than once (cmd would expand %name%).
bool cmdLine(const std::vector<std::string>& words, std::string* line, std::string* err);

// Whether a line of cmdLine is also good in a .bat file (there, % reads
// differently).
bool holdsForBatchFile(std::string_view cmdLineText);

}  // namespace KVEL

#endif
