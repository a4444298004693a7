// Command files of kvel: splitting a line into arguments, trimming and
// quote removal. Expansion of whole argument lists and reading of files are
// static operations of KVEL::CommandLineOptions.
#ifndef KVEL_CMDFILE_COMMAND_FILE_READER_H
#define KVEL_CMDFILE_COMMAND_FILE_READER_H

#include <string>
#include <vector>

namespace KVEL {

// The most bytes all command files of one launch may hold together: 256 MiB,
// far above any real set of command files (a file of a million arguments is
// 19 MB), so that an endless stream of lines ends with an error instead of
// filling the memory.
constexpr unsigned long long kMaxCommandFileBytes = 256ull * 1024 * 1024;

// Splits one trimmed line at blanks (space, tab), keeping double-quoted runs
// together with their quotes, and appends the arguments. Blank and empty
// pieces are dropped, and so are words outside quotes that begin with a
// control byte (below 0x21, or 0x7F); a word that begins with a byte from
// 0x80 up (text beyond ASCII) is kept. False (after a message on stderr) when
// a quote is left open.
bool splitCommandLine(const std::string& line, std::vector<std::string>& arguments);

// Trims space, tab, vertical tab, form feed, carriage return and line feed
// from both ends, in place.
void trimWhitespace(std::string& text);

// Removes the first and the last double quote when there are at least two.
void stripQuotes(std::string& argument);

}  // namespace KVEL

#endif
