// Command files of kvel: expanding an argument list, reading one file,
// splitting a line into arguments, trimming and quote removal.
//
// Errors come back as text for the caller to print once; warnings (a
// reference that cannot be expanded, which never fails a file) are written
// to the given stream as they occur, so that a file of millions of lines
// never holds them all.
#ifndef KVEL_CMDFILE_COMMAND_FILE_READER_H
#define KVEL_CMDFILE_COMMAND_FILE_READER_H

#include <ostream>
#include <string>
#include <vector>

namespace KVEL {

// The most bytes all command files of one launch may hold together: 256 MiB,
// far above any real set of command files (a file of a million arguments is
// 19 MB), so that an endless stream of lines ends with an error instead of
// filling the memory.
constexpr unsigned long long kMaxCommandFileBytes = 256ull * 1024 * 1024;

namespace cmdfile {

// Appends arguments to output with every "-f FILE" / "--file FILE" pair
// replaced by the file's arguments and single-dash long switches given a
// second dash. False with the message in *err (one or two lines, without
// the last line end).
bool expandArguments(const std::vector<std::string>& arguments, std::vector<std::string>& output,
                     std::ostream& warnings, std::string* err);

// Appends the arguments of one command file to output. False with the
// message in *err.
bool readFile(const std::string& fileName, std::vector<std::string>& output,
              std::ostream& warnings, std::string* err);

// splitCommandLine without the message: false, with "Mismatched quote found
// in line ..." in *err, when a quote is left open.
bool splitLine(const std::string& line, std::vector<std::string>& arguments, std::string* err);

}  // namespace cmdfile

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
