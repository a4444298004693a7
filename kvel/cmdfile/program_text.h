// Text of other encodings turned into the programs' text: UTF-8 on Linux; on
// Windows the process code page (UTF-8 where the application manifest makes
// it so), never with a look-alike or "?" in place of a character the code
// page cannot hold.
#ifndef KVEL_CMDFILE_PROGRAM_TEXT_H
#define KVEL_CMDFILE_PROGRAM_TEXT_H

#include <cstddef>
#include <string>

namespace KVEL {

// Appends the text of `count` UTF-16 code units, whose surrogates are
// paired, to text. False when a character cannot be represented, with
// `failedAt` the index of its first code unit and `reason` saying why.
bool utf16ToProgramText(const char16_t* units, std::size_t count, std::string& text,
                        std::size_t& failedAt, std::string& reason);

}  // namespace KVEL

#endif
