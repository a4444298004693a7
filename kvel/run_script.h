// The run scripts of a launch: the launch's own script, which the shell
// sources, made in the user's private folder (support/fs/private_folder.h)
// so that neither another launch nor another user can change it before the
// shell has read it; and kvel_script.tcl in kvel.dir/<snapshot>, the record
// of the last launch, with the same content, for users and tools to read.
#ifndef KVEL_RUN_SCRIPT_H
#define KVEL_RUN_SCRIPT_H

#include <string>

#include "kvel/options/command_line_options.h"
#include "support/fs/checked_folder.h"
#include "support/fs/file_replacement.h"
#include "support/fs/private_folder.h"

namespace KVEL {

// "kvel.dir/" + snapshot, relative and unnormalised.
std::string snapshotDirectory(const std::string& snapshot);

// The folder the record goes to: snapshotDirectory(snapshot) with every ".."
// component written "%2E%2E" (on Windows every component of dots and blanks
// that the system would take for "..", each dot as "%2E"), and on Windows a
// drive or the separators a path starts with written "%3A", "%5C", "%2F",
// so that it stays beneath kvel.dir.
std::string scriptDirectory(const std::string& snapshot);

// The refusal of a snapshot or WDB path with a component whose end the
// system drops (Windows: a last blank or dot), which would name another
// snapshot's folder; "" when there is none.
std::string droppedEndRefusal(const std::string& snapshot);

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
  // as a whole (file_replacement.h); the own script is a LaunchFile in the
  // private folder. False with what to print in *err: a line with the
  // reason, then the directory's or the script's "ERROR: " line (the
  // record's, or the own script's where none can be made), without the last
  // line end. Prints nothing.
  bool write(const CommandLineOptions& options, const std::string& snapshot,
             const std::string& commandText, std::string* err);
  // The same with the command text of options and snapshot
  // (simulation_command.h), made for each script as it is written, so that
  // it is never held whole. Memory running out while it is made throws
  // std::bad_alloc, with the file it was made for left as it was.
  bool write(const CommandLineOptions& options, const std::string& snapshot, std::string* err);
  // The own script, for the shell.
  const std::string& path() const { return path_; }
  // kvel.dir/<snapshot>/kvel_script.tcl, as written.
  const std::string& recordPath() const { return record_; }
  // Whether path, as a program opening it reaches it, is the record.
  bool isRecord(const std::string& path) const;
  // Removes the own script; false, with *err, when it stays.
  bool end(std::string* err);

  // Looks, without creating, writing or removing anything, for what write()
  // and the log check after it would refuse and can be told beforehand: a
  // link of another user's on the way to the snapshot folder or at the
  // record, a directory, special file or file a plain write refuses at the
  // record, no safe place for a private folder, and a log (log; "" for none)
  // that is the record. False with the same text write() or the launch
  // would print in *err; *logRefused tells that it is the log's line, which
  // goes to standard error (the others go to standard output); status 1.
  static bool check(const std::string& snapshot, const std::string& log, std::string* err,
                    bool* logRefused);

private:
  bool writeScripts(const CommandLineOptions& options, const std::string& snapshot,
                    const std::string* commandText, std::string* err);

  CheckedFolder folder_;
  PrivateFolder private_;
  LaunchFile own_;
  std::string path_, record_;
};

// The line printed, to standard error, for a log that is the record.
std::string logIsRecordRefusal(const std::string& log);

// The run script of the process's launch, held from writeRunScript until its
// end() or the end of the process.
RunScript& launchRunScript();

// Writes launchRunScript() for the main flow: returns the path for the
// shell, or prints the error text to stdout and exits with status 1.
std::string writeRunScript(const CommandLineOptions& options, const std::string& snapshot,
                           const std::string& commandText);
// The same with the command text made as it is written (RunScript::write).
std::string writeRunScript(const CommandLineOptions& options, const std::string& snapshot);

}  // namespace KVEL

#endif
