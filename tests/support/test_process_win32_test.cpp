// The tests' process runner on Windows: a program that cannot be started is
// tried once more, reported as a POSIX exec failure (status 127), and noted in
// the file KVEL_START_RETRY_LOG names, so that a CI log shows every start that
// needed a second try.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace {

TEST(TestProcess, StartThatFailsTwiceIsNotedAndGives127) {
  testsupport::TempDir dir;
  const std::string log = dir.file("retries.log");
  const char* previous = std::getenv("KVEL_START_RETRY_LOG");
  const std::string kept = previous ? previous : "";
  ASSERT_EQ(0, _putenv_s("KVEL_START_RETRY_LOG", log.c_str()));
  const std::string missing = dir.file("no such program \xc3\xa9.exe");
  const testsupport::RunResult r = testsupport::run(missing, {});
  _putenv_s("KVEL_START_RETRY_LOG", kept.c_str());
  EXPECT_EQ(127, r.exitStatus);
  const std::string noted = testsupport::readFile(log);
  EXPECT_EQ(0u, noted.find("test_process: " + missing + " did not start (CreateProcess error "))
      << noted;
  EXPECT_NE(std::string::npos, noted.find("); second try failed too\n")) << noted;
}

}  // namespace
