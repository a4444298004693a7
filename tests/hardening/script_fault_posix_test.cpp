// Every write of the run script fails under a zero file-size limit (ulimit -f):
// each launch ends with the script message and status 1, and never reaches
// the shell.
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

using testsupport::LaunchWorkspace;
using testsupport::RunResult;
using testsupport::fileExists;
using testsupport::readFile;

// Runs kvel_double after shellPrefix in a subshell, e.g. to set a ulimit. Its
// output goes through a pipe, which no file-size limit applies to, with the
// status as the last line; stdout and stderr come together in out.
RunResult runUnder(const LaunchWorkspace& ws, const std::string& shellPrefix,
                   const std::vector<std::string>& args) {
  std::vector<std::string> shellArgs{
      "-c", "{ " + shellPrefix + " \"$0\" \"$@\"; echo \"status=$?\"; } 2>&1 | cat",
      KVEL_DOUBLE_BIN};
  shellArgs.insert(shellArgs.end(), args.begin(), args.end());
  RunResult result = ws.run("/bin/sh", shellArgs);
  const std::string::size_type last = result.out.rfind("status=");
  if (result.exitStatus == 0 && last != std::string::npos &&
      (last == 0 || result.out[last - 1] == '\n')) {
    result.exitStatus = std::stoi(result.out.substr(last + 7));
    result.out.erase(last);
  } else {
    result.exitStatus = -1;
  }
  return result;
}

const std::string kScriptError = "ERROR: Unable to create script file ";
const std::string kTooLarge = "ERROR: Cannot write kvel.dir/top/kvel_script.tcl: File too large.\n";

// With the file-size limit at zero (and SIGXFSZ ignored) every write fails
// with EFBIG: the launch ends with the script message before the shell, and
// the complete script of an earlier launch stays as it was. The double would
// return 5 from the shell, so status 1 also proves that no shell ran (its
// record file cannot grow under the limit either).
TEST(WriteFault, FileSizeLimitZero) {
  LaunchWorkspace ws;
  ws.kernel("top");
  const RunResult first = ws.run(KVEL_DOUBLE_BIN, {"top", "-testplusarg", "FIRST=1"});
  ASSERT_EQ(0, first.exitStatus) << first.out << first.err;
  const std::string before = readFile(ws.path("kvel.dir/top/kvel_script.tcl"));
  ASSERT_EQ("kvel {top} -testplusarg FIRST=1 -autoloadwcfg\n", before);

  const RunResult r = runUnder(ws,
                               "ulimit -f 0; trap '' XFSZ; ZEKDOUBLE_STATUS=5;"
                               " export ZEKDOUBLE_STATUS;",
                               {"top", "-testplusarg", "SECOND=2"});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ(kTooLarge + kScriptError + "kvel.dir/top/kvel_script.tcl.\n", r.out);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(before, readFile(ws.path("kvel.dir/top/kvel_script.tcl")));
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), ws.list("kvel.dir/top"));
  EXPECT_EQ(1u, ws.shellCalls().size());  // the first launch only
}

// The same limit on the first launch: no script at all, no partial one.
TEST(WriteFault, FileSizeLimitZeroWithoutEarlierScript) {
  LaunchWorkspace ws;
  ws.kernel("top");
  const RunResult r = runUnder(ws, "ulimit -f 0; trap '' XFSZ;", {"top"});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ(kTooLarge + kScriptError + "kvel.dir/top/kvel_script.tcl.\n", r.out);
  EXPECT_FALSE(fileExists(ws.path("kvel.dir/top/kvel_script.tcl")));
  EXPECT_EQ(std::vector<std::string>{"kvelk.exe"}, ws.list("kvel.dir/top"));
  EXPECT_TRUE(ws.shellCalls().empty());
}

// Written in place (the script has a second name), every write is still
// checked: under a zero file-size limit the launch ends with the message and
// status 1, and no shell starts.
TEST(WriteFault, FileSizeLimitZeroWritingInPlace) {
  LaunchWorkspace ws;
  ws.kernel("top");
  ws.file("kvel.dir/top/kvel_script.tcl", "kvel {top} -autoloadwcfg\n");
  ASSERT_EQ(0, ::link(ws.path("kvel.dir/top/kvel_script.tcl").c_str(), ws.path("second.tcl").c_str()));
  const RunResult r = runUnder(ws, "ulimit -f 0; trap '' XFSZ;", {"top", "-testplusarg", "X=1"});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ(kTooLarge + kScriptError + "kvel.dir/top/kvel_script.tcl.\n", r.out);
  struct stat second, script;
  ASSERT_EQ(0, ::stat(ws.path("second.tcl").c_str(), &second));
  ASSERT_EQ(0, ::stat(ws.path("kvel.dir/top/kvel_script.tcl").c_str(), &script));
  EXPECT_EQ(second.st_ino, script.st_ino);
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), ws.list("kvel.dir/top"));
  EXPECT_TRUE(ws.shellCalls().empty());
}

}  // namespace
