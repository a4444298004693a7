#include "framework/standin/shell_output.h"

#include <cerrno>
#include <cstdio>

#include "framework/standin/file_size_limit.h"
#include "framework/standin/shell_error.h"

namespace zekshell {

ShellOutput::~ShellOutput() {
  if (log_)
    Tcl_Close(nullptr, log_);
}

void ShellOutput::logFailed() {
  if (logFailed_)
    return;
  logFailed_ = true;
  std::string line = std::string(kShellErrorPrefix) + "cannot write log file \"" + logPath_ +
                     "\": " + Tcl_ErrnoMsg(Tcl_GetErrno()) + "\n";
  if (Tcl_Channel err = Tcl_GetStdChannel(TCL_STDERR)) {
    Tcl_WriteChars(err, line.data(), static_cast<int>(line.size()));
    Tcl_Flush(err);
  } else {
    std::fputs(line.c_str(), stderr);
  }
}

bool ShellOutput::closeLog() {
  if (!log_)
    return !logFailed_;
  FileSizeLimitScope limit;
  if (!logFailed_ && Tcl_Flush(log_) != TCL_OK)
    logFailed();
  Tcl_Channel log = log_;
  log_ = nullptr;
  // Closing after a failed write fails again on the data still buffered.
  if (Tcl_Close(nullptr, log) != TCL_OK && !logFailed_)
    logFailed();
  return !logFailed_;
}

bool ShellOutput::openLog(const std::string& path, const std::string& shownName, std::string* err) {
  log_ = Tcl_OpenFileChannel(nullptr, path.c_str(), "w", 0666);
  if (!log_) {
    *err = std::string(kShellErrorPrefix) + "cannot create log file \"" + shownName +
           "\": " + Tcl_ErrnoMsg(Tcl_GetErrno());
    return false;
  }
  logPath_ = shownName;
  // Line buffered, so that the log can be followed while a long run goes on.
  Tcl_SetChannelOption(nullptr, log_, "-buffering", "line");
  return true;
}

void ShellOutput::writeLogHeader(const std::string& appName, int argc, char** argv,
                                 bool frontEndAttached) {
  if (!log_)
    return;
  // The arguments are written as raw bytes, exactly as the shell got them.
  std::string header = "# " + appName;
  for (int i = 1; i < argc; ++i) {
    header += ' ';
    if (argv[i])
      header += argv[i];
  }
  header += '\n';
  FileSizeLimitScope limit;
  if (Tcl_Write(log_, header.data(), static_cast<int>(header.size())) < 0)
    logFailed();
  const char* second = frontEndAttached ? "# front end: attached\n" : "# front end: none\n";
  log(second, -1);
}

// The log is line buffered: a write may reach the file at once.
void ShellOutput::log(const char* text, int length) {
  if (!log_ || logFailed_)
    return;
  FileSizeLimitScope limit;
  if (Tcl_WriteChars(log_, text, length) < 0)
    logFailed();
}

bool ShellOutput::writeOut(Tcl_Channel channel, const char* text, int length) {
  log(text, length);
  if (!channel)
    return true;
  return Tcl_WriteChars(channel, text, length) >= 0;
}

void ShellOutput::writeOutLine(const std::string& text) {
  std::string line = text + "\n";
  writeOut(Tcl_GetStdChannel(TCL_STDOUT), line.data(), static_cast<int>(line.size()));
}

void ShellOutput::writeErrorLine(const std::string& text) {
  std::string line = text + "\n";
  log(line.data(), static_cast<int>(line.size()));
  if (Tcl_Channel err = Tcl_GetStdChannel(TCL_STDERR)) {
    Tcl_WriteChars(err, line.data(), static_cast<int>(line.size()));
    Tcl_Flush(err);
  }
}

bool ShellOutput::flush() {
  bool written = true;
  int error = 0;
  if (Tcl_Channel out = Tcl_GetStdChannel(TCL_STDOUT)) {
    if (Tcl_Flush(out) != TCL_OK) {
      written = false;
      error = Tcl_GetErrno();
    }
  }
  if (std::fflush(stdout) != 0 && written) {
    written = false;
    error = errno;
  }
  if (log_ && !logFailed_) {
    FileSizeLimitScope limit;
    if (Tcl_Flush(log_) != TCL_OK)
      logFailed();
  }
  Tcl_SetErrno(error);
  return written;
}

}  // namespace zekshell
