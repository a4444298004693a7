// Where each argument of an expanded list came from: the command line or a
// line of a command file, reached through a chain of "-f" inclusions, and
// what its environment references gave. Recorded only on request, so that
// an ordinary launch pays nothing for it.
#ifndef KVEL_CMDFILE_ARGUMENT_ORIGINS_H
#define KVEL_CMDFILE_ARGUMENT_ORIGINS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kvel/cmdfile/page_array.h"

namespace KVEL {
namespace cmdfile {

// One reading of a command file (a file read twice has two entries).
struct SourceFile {
  std::string name;          // as named, after its own quote removal and expansion
  std::uint32_t parent;      // the including file's index, or kCommandLine
  std::uint32_t parentLine;  // line of the "-f" there (position, on the command line)
  std::string nameNote;      // what the references in the name gave, if any
};

// Where one argument stands: a line of a file, or a command-line position.
struct ArgumentOrigin {
  std::uint32_t file;      // index into files, or kCommandLine
  std::uint32_t line;      // 1-based line, or 1-based position on the command line
  bool dashAdded = false;  // written with one dash, given a second
};

// A remark on one argument: what a reference expanded to, or why not; the
// text as written where quote removal or expansion changed it; a double
// quote that opened no group.
struct ArgumentNote {
  enum Kind : std::uint8_t { expansion, written, loneQuote };
  std::size_t argument;  // index into the expanded list
  std::string text;      // for written, the text as it stands in the file
  Kind kind = expansion;
};

struct ArgumentOrigins {
  static constexpr std::uint32_t kCommandLine = UINT32_MAX;

  std::vector<SourceFile> files;
  PageArray<ArgumentOrigin> origins;    // one per expanded argument, in order
  std::vector<ArgumentNote> notes;      // by ascending argument index

  // "command line 3", or the chain of files down to the line:
  // "run.f:4 -> common.f:12".
  std::string place(const ArgumentOrigin& origin) const;
  // What an account keeps for each argument (its origin here, and what it
  // was to the parser, as large), counted against the bound on memory.
  static constexpr std::size_t kCostPerArgument = 2 * sizeof(ArgumentOrigin);
};

// One step of a place: "name:line", the name made safe for a terminal.
std::string placeStep(std::string_view fileName, std::size_t line);

// The user's text made safe for a terminal and kept on one line: control
// characters (C0, DEL, and C1 written in UTF-8) shown as \n, \t, \r or \xNN
// (\u0085 and the like for C1), bytes that are not UTF-8 as \xNN; every
// other character as it is, backslashes included.
std::string shownText(std::string_view text);
// The same, appended to out.
void appendShownText(std::string& out, std::string_view text);

}  // namespace cmdfile
}  // namespace KVEL

#endif
