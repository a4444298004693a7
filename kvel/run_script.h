// The run scripts of a launch, in kvel.dir/<snapshot>: the launch's own
// script, which the shell sources and no other launch writes, so that
// launches of one snapshot that overlap each run their own options; and
// kvel_script.tcl, the record of the last launch, with the same content, for
// users and tools to read.
#ifndef KVEL_RUN_SCRIPT_H
#define KVEL_RUN_SCRIPT_H

#include <string>

#include "kvel/checked_folder.h"
#include "kvel/file_replacement.h"
#include "kvel/options/command_line_options.h"

namespace KVEL {

// "kvel.dir/" + snapshot, relative and unnormalised.
std::string snapshotDirectory(const std::string& snapshot);

// The folder the script goes to: snapshotDirectory(snapshot) with every ".."
// component written "%2E%2E" (on Windows every component of dots and blanks
// that the system would take for "..", each dot as "%2E"), so that it stays
// beneath kvel.dir.
std::string scriptDirectory(const std::string& snapshot);

class RunScript {
public:
  RunScript();
  // Removes the launch's own script.
  ~RunScript();
  RunScript(const RunScript&) = delete;
  RunScript& operator=(const RunScript&) = delete;

  // Creates the directory and writes the scripts (those of an earlier call
  // are ended first): with gui the lines "load_feature core" and
  // "current_fileset", then "kvel " + commandText. The record is replaced
  // as a whole (file_replacement.h); the own script is a LaunchFile. Where
  // no own script can be made (a folder closed to new files), the record is
  // the script the shell sources. False with what to print in *err: a line
  // with the reason, where one can be told, then the directory's or the
  // record's "ERROR: " line, without the last line end. Prints nothing.
  bool write(const CommandLineOptions& options, const std::string& snapshot,
             const std::string& commandText, std::string* err);
  // The script for the shell: the own script, or the record.
  const std::string& path() const { return path_; }
  // kvel.dir/<snapshot>/kvel_script.tcl, as written.
  const std::string& recordPath() const { return record_; }
  // Whether path, as a program opening it reaches it, is the record.
  bool isRecord(const std::string& path) const;
  // Removes the own script; false, with *err, when it stays.
  bool end(std::string* err);

private:
  CheckedFolder folder_;
  LaunchFile own_;
  std::string path_, record_;
};

// The run script of the process's launch, held from writeRunScript until its
// end() or the end of the process.
RunScript& launchRunScript();

// Writes launchRunScript() for the main flow: returns the path for the
// shell, or prints the error text to stdout and exits with status 1.
std::string writeRunScript(const CommandLineOptions& options, const std::string& snapshot,
                           const std::string& commandText);

}  // namespace KVEL

#endif
