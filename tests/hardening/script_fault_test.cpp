// The run script cannot be written: each case ends with its message and
// status 1, leaves no temporary file behind, and never reaches the shell.

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

using testsupport::LaunchWorkspace;
using testsupport::RunResult;
using testsupport::writeFile;

const std::string kScriptError = "ERROR: Unable to create script file ";
const std::string kDirectoryError = "ERROR: Unable to create kvel working directory ";

struct WriteFault {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> kernels;
  std::vector<std::string> files;        // plain files put in the way
  std::vector<std::string> directories;  // directories put in the way
  std::string out;
  const char* snapshotDirectory;  // checked for leftovers when it exists
};

void PrintTo(const WriteFault& c, std::ostream* os) { *os << c.name; }

const WriteFault kFaults[] = {
    {"FileInPlaceOfKvelDir", {"design.wdb"}, {}, {"design.wdb", "kvel.dir"}, {},
     kDirectoryError + "kvel.dir/design.wdb.\n", nullptr},
    {"FileInPlaceOfSnapshotDirectory", {"design.wdb"}, {}, {"design.wdb", "kvel.dir/design.wdb"},
     {}, kDirectoryError + "kvel.dir/design.wdb.\n", "kvel.dir"},
    {"FileInPlaceOfAParentDirectory", {"waves/run.wdb"}, {}, {"waves/run.wdb", "kvel.dir/waves"},
     {}, kDirectoryError + "kvel.dir/waves/run.wdb.\n", "kvel.dir"},
    {"DirectoryInPlaceOfTheScript", {"top", "-gui"}, {"top"}, {},
     {"kvel.dir/top/kvel_script.tcl"},
     "ERROR: Cannot write kvel.dir/top/kvel_script.tcl: it is a directory.\n" + kScriptError + "kvel.dir/top/kvel_script.tcl.\n",
     "kvel.dir/top"},
};

class WriteFaultTable : public ::testing::TestWithParam<WriteFault> {};

TEST_P(WriteFaultTable, MessageStatusAndNoShell) {
  const WriteFault& c = GetParam();
  LaunchWorkspace ws;
  for (const std::string& k : c.kernels) ws.kernel(k);
  for (const std::string& f : c.files) writeFile(ws.path(f), "");
  for (const std::string& d : c.directories) writeFile(ws.path(d + "/keep"), "");
  const RunResult r = ws.run(KVEL_DOUBLE_BIN, c.args);
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ(c.out, r.out);
  EXPECT_EQ("", r.err);
  EXPECT_TRUE(ws.shellCalls().empty());
  if (c.snapshotDirectory) {
    std::vector<std::string> expected;
    for (const std::string& k : c.kernels)
      if (std::string("kvel.dir/") + k == c.snapshotDirectory) expected.push_back("kvelk.exe");
    for (const std::string& d : c.directories)
      if (std::string(c.snapshotDirectory) + "/kvel_script.tcl" == d)
        expected.push_back("kvel_script.tcl");
    for (const std::string& f : c.files)
      if (f.rfind(std::string(c.snapshotDirectory) + "/", 0) == 0)
        expected.push_back(f.substr(std::string(c.snapshotDirectory).size() + 1));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, ws.list(c.snapshotDirectory)) << "temporary file left behind";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteFaultTable, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<WriteFault>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
