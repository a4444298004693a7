// Command files of kvel: expanding an argument list and reading one file.
// The rules for one line are in line_splitting.h.
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

#include "kvel/cmdfile/argument_list.h"
#include "kvel/cmdfile/argument_origins.h"

namespace KVEL {

// The most the command files of one launch may give, counted as what they
// take in memory while they are read: every line read counts its bytes, and
// every argument its bytes plus kArgumentCost (its NUL and its offset in the
// argument list). 1 GiB is above real sets of command files (10 million
// arguments, 190 MB, count 0.4e9) and keeps the launch's memory below 1 GiB
// whatever the input: an endless stream of lines ends with an error instead
// of filling the memory.
constexpr unsigned long long kMaxCommandFileCost = 1ull << 30;
constexpr unsigned long long kArgumentCost = cmdfile::ArgumentList::kCostPerArgument;

namespace cmdfile {

// Appends arguments to output with every "-f FILE" / "--file FILE" pair
// replaced by the file's arguments and single-dash long switches given a
// second dash. False with the message in *err (one or two lines, without
// the last line end). With origins, also records where each output argument
// came from, and follows each warning and error with its place.
bool expandArguments(const std::vector<std::string>& arguments, ArgumentList& output,
                     std::ostream& warnings, std::string* err, ArgumentOrigins* origins = nullptr);

// Appends the arguments of one command file to output. False with the
// message in *err.
bool readFile(const std::string& fileName, ArgumentList& output, std::ostream& warnings,
              std::string* err);

}  // namespace cmdfile

}  // namespace KVEL

#endif
