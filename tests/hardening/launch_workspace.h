// A working directory with snapshot kernels, in which kvel_double (or kvel)
// runs with its framework calls recorded.
#ifndef TESTS_HARDENING_LAUNCH_WORKSPACE_H
#define TESTS_HARDENING_LAUNCH_WORKSPACE_H

#include <string>
#include <vector>

#include "tests/support/test_process.h"

namespace hardening {

class LaunchWorkspace {
public:
  void kernel(const std::string& snapshot);
  std::string path(const std::string& relative) const { return dir_.file(relative); }
  // Runs program (default kvel_double) in the directory with a call record.
  testsupport::RunResult run(const std::vector<std::string>& args,
                             const std::string& program = KVEL_DOUBLE_BIN) const;
  // Runs kvel_double after shellPrefix in a subshell, e.g. to set a ulimit.
  // Its stdout and stderr come together in out; exitStatus is its status.
  testsupport::RunResult runUnder(const std::string& shellPrefix,
                                  const std::vector<std::string>& args) const;
  // The recorded zekmain::main calls, each as its fields.
  std::vector<std::vector<std::string>> shellCalls() const;
  // Names in a directory other than "." and "..", sorted.
  std::vector<std::string> list(const std::string& relative) const;

private:
  testsupport::TempDir dir_;
};

}  // namespace hardening

#endif
