// JSON text for the account of a launch: strings that strict readers take
// (valid UTF-8, control characters escaped, no lone surrogate escapes), and
// a field's bytes in hex where the text is not UTF-8.
#ifndef KVEL_JSON_TEXT_H
#define KVEL_JSON_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace KVEL {

// The length of the run at text's start of printable ASCII (0x20 to 0x7E)
// holding neither a nor b: text that goes as it is, found a word at a time.
std::size_t printableAsciiRun(std::string_view text, char a, char b);

// Appends text between double quotes as it is, in one step.
void appendInQuotes(std::string& out, std::string_view text);

// Appends text as a JSON string, each byte that is not part of a UTF-8
// character as U+FFFD. True when text was UTF-8 throughout.
bool appendJsonString(std::string& out, std::string_view text);

// The same without the quotes, for a text given in pieces, each cut
// before a byte that does not continue a UTF-8 sequence.
bool appendJsonText(std::string& out, std::string_view text);

// Appends every byte of text in hex, as a JSON string.
void appendJsonHex(std::string& out, std::string_view text);
// The same without the quotes.
void appendJsonHexText(std::string& out, std::string_view text);

// Appends "name":"text", and where text is not UTF-8, ,"name_hex":"<hex>"
// with every byte of it. name is printable ASCII without quote or
// backslash.
void appendJsonField(std::string& out, std::string_view name, std::string_view text);

// Appends "name":[...] with the texts, and where one is not UTF-8,
// ,"name_hex":[...] with every text in hex.
void appendJsonArray(std::string& out, std::string_view name,
                     const std::vector<std::string>& texts);

}  // namespace KVEL

#endif
