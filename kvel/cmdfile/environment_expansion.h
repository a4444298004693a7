// Expansion of environment-variable references in command-file arguments,
// including the data-directory list ZEK_DATADIR.
#ifndef KVEL_CMDFILE_ENVIRONMENT_EXPANSION_H
#define KVEL_CMDFILE_ENVIRONMENT_EXPANSION_H

#include <string>
#include <vector>

namespace KVEL {

// Replaces ${NAME} and $NAME references, left to right, then resolves the
// first ZEK_DATADIR reference against the listed directories. The argument is
// trimmed. False with the reason in message; expansion is then of no use.
bool expandEnvironmentVariables(const std::string& argument, std::string& expansion,
                                std::string& message);

// The same, with a value that did not reach this process unchanged refused
// (on Windows where the process code page is not UTF-8: a character that code
// page cannot hold): false with the ERROR line in *refusal, which the caller
// reports as an error, not as a failed expansion (the value would arrive
// changed). The three-argument form gives that line as its message.
bool expandEnvironmentVariables(const std::string& argument, std::string& expansion,
                                std::string& message, std::string* refusal);

// What an expansion did, for an account of the launch: one line for each
// reference it resolved (the reference as written and the value used; for
// ZEK_DATADIR the entry taken, or that no entry gave an existing path).
struct ExpansionNotes {
  std::vector<std::string> lines;
  bool dataDirUnresolved = false;  // a ZEK_DATADIR reference was kept as written
};

// The same, also filling *notes when it is not null.
bool expandEnvironmentVariables(const std::string& argument, std::string& expansion,
                                std::string& message, std::string* refusal,
                                ExpansionNotes* notes);

// Fills directories from the ";"-separated list in the named variable, each
// entry made absolute and normalised; unusable entries are skipped. False only
// when the variable is not defined.
bool splitDirectoryList(const std::string& variableName, std::vector<std::string>& directories,
                        std::string& message);

// Copy of text in which, from the third character on, each run of separators
// keeps only its first slash and its first backslash.
std::string collapseSeparators(const std::string& text);

}  // namespace KVEL

#endif
