// The fixture of the stand-in shell's tests through the real dravik and
// quindle, shared by the tests every platform runs and the POSIX-only ones.
#ifndef TESTS_FRAMEWORK_STANDIN_PROGRAM_FIXTURE_H
#define TESTS_FRAMEWORK_STANDIN_PROGRAM_FIXTURE_H

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace standintest {

struct Program {
  const char* path;
  const char* app;
  const char* log;
  const char* frontEnd;
};

inline void PrintTo(const Program& program, std::ostream* os) {
  *os << program.app;
}

// Runs GetParam()'s program in dir.
class StandinProgramTest : public testing::TestWithParam<Program> {
protected:
  testsupport::RunResult run(const std::vector<std::string>& args,
                             const std::string& stdinText = "") {
    testsupport::RunOptions options;
    options.cwd = dir.path();
    options.stdinText = stdinText;
    return testsupport::run(GetParam().path, args, options);
  }
  std::string script(const std::string& text) {
    testsupport::writeFile(dir.file("s.tcl"), text);
    return "s.tcl";
  }
  std::string header(const std::string& args) const {
    return std::string("# ") + GetParam().app + args + "\n" + GetParam().frontEnd;
  }
  testsupport::TempDir dir;
};

}  // namespace standintest

#endif
