// A working directory with snapshot kernels in which kvel or kvel_double runs,
// with the test double's record of framework calls kept beside it.
#ifndef TESTS_SUPPORT_LAUNCH_WORKSPACE_H
#define TESTS_SUPPORT_LAUNCH_WORKSPACE_H

#include <string>
#include <vector>

#include "framework/testdouble/recorder.h"
#include "tests/support/test_process.h"

namespace testsupport {

// text with every launch's own run script in it written "<own>" (in the
// private folder, ".../kvel-<user>/.~kvel.<pid>.<n>.tcl"; elsewhere the name
// alone, "<dir>/<own>"), so that a row can name it.
std::string ownScriptShown(const std::string& text);

class LaunchWorkspace {
public:
  // Creates kvel.dir/<snapshot>/kvelk.exe.
  void kernel(const std::string& snapshot);
  // Creates a file (and its parent directories) in the workspace.
  void file(const std::string& relative, const std::string& content = "");
  std::string path(const std::string& relative) const { return dir_.file(relative); }
  std::string read(const std::string& relative) const;
  std::string record() const { return dir_.file("record"); }

  // Runs program in the workspace with argv[0] = argv0 (empty: the program
  // path) and the call record on. The test double's other controls are
  // cleared, so only what options sets steers it.
  RunResult run(const std::string& program, const std::vector<std::string>& args,
                RunOptions options = RunOptions(), const std::string& argv0 = "") const;

  // The recorded calls whose first field is `operation`.
  std::vector<zekdouble::Fields> calls(const std::string& operation) const;
  // The recorded shell entries (zekmain::main calls).
  std::vector<zekdouble::Fields> shellCalls() const { return calls("main"); }
  // The recorded shell entries with a launch's own run script in them
  // written as ownScriptShown does.
  std::vector<zekdouble::Fields> shellCallsShown() const;
  // Names in a directory of the workspace, sorted.
  std::vector<std::string> list(const std::string& relative) const;

private:
  TempDir dir_;
};

}  // namespace testsupport

#endif
