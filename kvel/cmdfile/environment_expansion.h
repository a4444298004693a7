// Expansion of environment-variable references in command-file arguments,
// including the data-directory list ZEK_DATADIR.
#ifndef KVEL_CMDFILE_ENVIRONMENT_EXPANSION_H
#define KVEL_CMDFILE_ENVIRONMENT_EXPANSION_H

#include <cstddef>
#include <string>
#include <vector>

namespace KVEL {

// What an expansion did, for an account of the launch: one line for each
// reference it resolved (the reference as written and the value used; for
// ZEK_DATADIR the entry taken, or that no entry gave an existing path).
struct ExpansionNotes {
  std::vector<std::string> lines;
  bool dataDirUnresolved = false;  // a ZEK_DATADIR reference was kept as written
};

// Replaces ${NAME} and $NAME references, left to right, then resolves the
// first ZEK_DATADIR reference against the listed directories. The argument is
// trimmed. False with the reason in *err; expansion is then of no use.
// A referenced value that did not reach this process unchanged (on Windows
// where the process code page is not UTF-8: a character that code page cannot
// hold) is refused with an ERROR line in *err and *refused set (when given):
// the caller reports it as an error, not as a failed expansion, as the value
// would arrive changed. *notes, when given, gets what the expansion did.
bool expandEnvironmentVariables(const std::string& argument, std::string& expansion,
                                std::string* err, bool* refused = nullptr,
                                ExpansionNotes* notes = nullptr);

// Fills directories from the ";"-separated list in the named variable, each
// entry made absolute and normalised; unusable entries are skipped. False,
// with the reason in *err, only when the variable is not defined. With
// positions, each directory's 1-based place in the list as written (empty
// entries counted) is added to it.
bool splitDirectoryList(const std::string& variableName, std::vector<std::string>& directories,
                        std::string* err, std::vector<std::size_t>* positions = nullptr);

// Copy of text in which, from the third character on, each run of separators
// keeps only its first slash and its first backslash.
std::string collapseSeparators(const std::string& text);

}  // namespace KVEL

#endif
