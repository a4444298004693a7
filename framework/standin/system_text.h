// Text as the process gets it (arguments and file names in the system
// encoding) and as Tcl holds it (UTF-8), converted only where the conversion
// gives back exactly what was given.
#ifndef FRAMEWORK_STANDIN_SYSTEM_TEXT_H
#define FRAMEWORK_STANDIN_SYSTEM_TEXT_H

#include <string>

namespace zekshell {

// Converts `external` (system encoding) to UTF-8. False when converting the
// result back does not give `external` again: its bytes are no text in the
// system encoding and any name or word made of them would be another one.
// Tcl's subsystems must be initialised (Tcl_FindExecutable) first.
bool systemToUtf8(const std::string& external, std::string& utf8);

// UTF-8 to the system encoding; exact for text that systemToUtf8 gave.
std::string utf8ToSystem(const std::string& utf8);

// The refusal of such a value, one line without line end:
// ERROR: [shell] <what> "<value>" is not text in the system encoding (<name>) ...
std::string notSystemTextError(const std::string& what, const std::string& value);

// True when `utf8` holds a character outside the Basic Multilingual Plane
// (an emoji): a 4-byte sequence, or a surrogate half as Tcl writes one.
bool hasCharacterOutsideBmp(const std::string& utf8);
bool hasCharacterOutsideBmp(const char* utf8, std::size_t length);

// Tcl 8.6 opens a file on Windows under a UTF-16 name of its own making,
// which has no room for a character outside the Basic Multilingual Plane: a
// path with one opens no file or another one.
#ifdef _WIN32
constexpr bool kTclOpensBmpNamesOnly = true;
#else
constexpr bool kTclOpensBmpNamesOnly = false;
#endif

// The folder of the running program (from Tcl's name of the executable),
// when Tcl cannot open files under it: its script library lies there. False,
// with the refusal as one line in *err, when the folder holds a character
// outside the Basic Multilingual Plane on Windows; true otherwise.
bool programFolderUsable(std::string* err);

// When the whole of `value` is one braced Tcl word ("{" text "}", braces
// balanced inside, a brace after a backslash not counted, nothing after the
// closing brace) sets `word` to the text between the braces, unsubstituted.
bool unwrapBracedWord(const std::string& value, std::string& word);

}  // namespace zekshell

#endif
