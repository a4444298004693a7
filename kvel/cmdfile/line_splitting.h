// The rules for one line of a command file: trimming, splitting at blanks
// with double-quoted runs kept together, and quote removal.
#ifndef KVEL_CMDFILE_LINE_SPLITTING_H
#define KVEL_CMDFILE_LINE_SPLITTING_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace KVEL {

// Splits one trimmed line at blanks (space, tab), keeping double-quoted runs
// together with their quotes, and appends the arguments. Blank and empty
// pieces are dropped, and so are words outside quotes that begin with a
// control byte (below 0x21, or 0x7F); a word that begins with a byte from
// 0x80 up (text beyond ASCII) is kept. False (after a message on stderr) when
// a quote is left open. The command-file layer's one operation that prints
// its message, for callers that want it on stderr; the reader uses the
// views below and reports through *err.
bool splitCommandLine(const std::string& line, std::vector<std::string>& arguments);

// Trims space, tab, vertical tab, form feed, carriage return and line feed
// from both ends, in place.
void trimWhitespace(std::string& text);

// Removes the first and the last double quote when there are at least two.
void stripQuotes(std::string& argument);

namespace cmdfile {

// splitCommandLine without the message: false, with it in *err, when a
// quote is left open.
bool splitLine(const std::string& line, std::vector<std::string>& arguments, std::string* err);

// The same rules on views, for the reader, which keeps a line's arguments
// as views into the line until one must change.
std::string_view trimmed(std::string_view text);
bool splitIntoViews(std::string_view line, std::vector<std::string_view>& arguments);
std::string mismatchedQuote(std::string_view line);
// Positions of the first and last double quote when there are two or more.
bool findQuotePair(std::string_view argument, std::size_t& first, std::size_t& last);

}  // namespace cmdfile

}  // namespace KVEL

#endif
