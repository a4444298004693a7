// Command files of kvel: splitting a line into arguments, trimming and
// quote removal. Expansion of whole argument lists and reading of files are
// static operations of KVEL::CommandLineOptions.
#ifndef KVEL_CMDFILE_COMMAND_FILE_READER_H
#define KVEL_CMDFILE_COMMAND_FILE_READER_H

#include <string>
#include <vector>

namespace KVEL {

// Splits one trimmed line at blanks (space, tab), keeping double-quoted runs
// together with their quotes, and appends the arguments. Words outside quotes
// that do not begin with a graphic ASCII byte are dropped. False (after a
// message on stderr) when a quote is left open.
bool splitCommandLine(const std::string& line, std::vector<std::string>& arguments);

// Trims space, tab, vertical tab, form feed, carriage return and line feed
// from both ends, in place.
void trimWhitespace(std::string& text);

// Removes the first and the last double quote when there are at least two.
void stripQuotes(std::string& argument);

}  // namespace KVEL

#endif
