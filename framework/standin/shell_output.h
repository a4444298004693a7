// Where the shell writes: standard output and standard error, each mirrored
// into the log file when there is one.
#ifndef FRAMEWORK_STANDIN_SHELL_OUTPUT_H
#define FRAMEWORK_STANDIN_SHELL_OUTPUT_H

#include <string>

#include <tcl.h>

namespace zekshell {

class ShellOutput {
public:
  ShellOutput() = default;
  ~ShellOutput();  // closes the log unless closeLog() did
  ShellOutput(const ShellOutput&) = delete;
  ShellOutput& operator=(const ShellOutput&) = delete;

  // Creates the log `path` (UTF-8), or empties an existing one; messages
  // name it as `shownName`. On failure returns false and sets *err to the
  // message line (without line end).
  bool openLog(const std::string& path, const std::string& shownName, std::string* err);

  // The log's first two lines: "# <app> <arg>..." (arguments verbatim) and
  // "# front end: attached" or "# front end: none".
  void writeLogHeader(const std::string& appName, int argc, char** argv, bool frontEndAttached);

  // Writes UTF-8 text to `channel` (the interpreter's standard output) and to
  // the log. Returns false, with errno kept, when the channel write fails.
  bool writeOut(Tcl_Channel channel, const char* text, int length);
  // A line on the process's standard output and in the log.
  void writeOutLine(const std::string& text);
  // A line on standard error and in the log.
  void writeErrorLine(const std::string& text);

  // Flushes standard output (Tcl's channel and the C stream) and the log.
  // False, with errno kept, when standard output could not be written.
  bool flush();

  // Flushes and closes the log. False when any write to it failed (disk
  // full, I/O error): the failure has then been reported on standard error
  // as "ERROR: [shell] cannot write log file ...".
  bool closeLog();

private:
  void log(const char* text, int length);
  // Notes a failed log write: reported once, and the log is no longer written.
  void logFailed();

  Tcl_Channel log_ = nullptr;
  std::string logPath_;
  bool logFailed_ = false;
};

}  // namespace zekshell

#endif
