// The programs' text: UTF-8 on Linux; on Windows the process code page (UTF-8
// where the application manifest makes it so). Text of other encodings is
// turned into it, never with a look-alike or "?" in place of a character the
// code page cannot hold, and the byte-wise rules step over its characters
// whole.
#ifndef KVEL_CMDFILE_PROGRAM_TEXT_H
#define KVEL_CMDFILE_PROGRAM_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace KVEL {

const unsigned kUtf8CodePage = 65001;

// Appends the text of `count` UTF-16 code units, whose surrogates are
// paired, to text. False when a character cannot be represented, with
// `failedAt` the index of its first code unit and *err saying why.
bool utf16ToProgramText(const char16_t* units, std::size_t count, std::string& text,
                        std::size_t& failedAt, std::string* err);

// The programs' text for one line of a command file that has no UTF-16
// byte-order mark: a line that is valid UTF-8 (or that follows a UTF-8 mark,
// `marked`) is UTF-8, any other line is in the code page the system gives
// programs without the UTF-8 manifest (Windows' ANSI code page). Where the
// line's encoding is the programs' own (always on Linux) `converted` stays
// false and the line is used as it is; otherwise its text is put in `text`.
// False when that cannot be done, with *err saying why.
bool lineToProgramText(std::string_view line, bool marked, std::string& text, bool& converted,
                       std::string* err);

// True for a complete, valid UTF-8 text (no overlong form, surrogate or
// value past U+10FFFF).
bool isUtf8(std::string_view text);

// The length of the valid UTF-8 sequence that starts text (1 for ASCII), 0
// when none does; text must not be empty.
std::size_t utf8SequenceLength(std::string_view text);

// The bytes of the first character of text in the programs' text: a whole
// UTF-8 sequence, or a lead byte with its trail byte in a double-byte code
// page (932, 936, 949, 950), whose trail byte may equal an ASCII one such as
// "\" or "{". A byte that starts no valid character counts alone; 0 for an
// empty text.
std::size_t characterLength(std::string_view text);

// text.find(c, from) for an ASCII c that never matches the second byte of a
// double-byte character.
std::size_t findAscii(std::string_view text, char c, std::size_t from = 0);

// Platform primitives.
// The process code page (kUtf8CodePage on Linux).
unsigned programCodePage();
// The code page of a command-file line that is not UTF-8: on Windows the
// system's ANSI code page, which programs without the manifest use (0 when
// the system has none); kUtf8CodePage on Linux, where bytes stay as they are.
unsigned legacyFileCodePage();
// Whether the byte begins a two-byte character of the process code page.
bool isDoubleByteLead(unsigned char byte);
// The text of bytes in the given code page as UTF-16; false when the bytes
// are no text of that code page.
bool codePageToUtf16(unsigned codePage, std::string_view bytes, std::u16string& units);

}  // namespace KVEL

#endif
