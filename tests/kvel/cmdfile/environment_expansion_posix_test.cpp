// Directory-list entries that only POSIX can produce: a relative entry while
// the current directory is removed (Windows cannot remove a process's
// current directory).
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kvel/cmdfile/environment_expansion.h"
#include "tests/kvel/cmdfile/scoped_environment.h"
#include "tests/support/test_process.h"

namespace {

using cmdfiletest::ScopedEnvironment;
using cmdfiletest::ScopedWorkingDirectory;

TEST(SplitDirectoryList, EntryThatCannotBeMadeAbsoluteIsSkipped) {
  testsupport::TempDir temp;
  const std::string gone = temp.file("gone");
  ASSERT_EQ(testsupport::makeDirectory(gone), 0);
  ScopedWorkingDirectory inGone(gone);
  ASSERT_EQ(::rmdir(gone.c_str()), 0);
  ScopedEnvironment environment;
  environment.set("KVT_DIRS", "relative;/abs");
  std::vector<std::string> directories;
  std::string message;
  ASSERT_TRUE(KVEL::splitDirectoryList("KVT_DIRS", directories, &message));
  EXPECT_EQ(directories, (std::vector<std::string>{"/abs"}));
}

}  // namespace
