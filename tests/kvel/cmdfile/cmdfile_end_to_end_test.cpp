// Command files through the real kvel program: its exit status, messages,
// run script and whether the shell is reached (kvel_double records the
// hand-over; kvel runs the stand-in shell).
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

using testsupport::RunOptions;
using testsupport::RunResult;

struct Launch {
  const char* name;
  std::map<std::string, std::string> files;  // relative path -> content
  std::vector<std::string> args;
  int exitStatus;
  std::string out;     // expected standard output ("*" when not checked)
  std::string err;     // expected standard error
  std::string script;  // kvel.dir/top/kvel_script.tcl; empty when the shell is not reached
  testsupport::RunsOn on = testsupport::RunsOn::kEverywhere;
};

void PrintTo(const Launch& c, std::ostream* os) { *os << c.name; }

class CommandFileLaunch : public testing::TestWithParam<Launch> {
protected:
  RunResult launch(const Launch& c) {
    ws.kernel("top");
    for (const auto& [name, content] : c.files) ws.file(name, content);
    RunOptions options;
    options.setEnv["ZEKDOUBLE_STATUS"] = "3";
    options.setEnv["KVT_SEED"] = "7";
    options.unsetEnv.push_back("KVT_UNSET");
    return ws.run(KVEL_DOUBLE_BIN, c.args, options);
  }
  testsupport::LaunchWorkspace ws;
};

TEST_P(CommandFileLaunch, StatusMessagesAndScript) {
  const Launch& c = GetParam();
  const RunResult r = launch(c);
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitStatus, c.exitStatus) << r.out << r.err;
  EXPECT_EQ(r.err, c.err);
  if (c.out != "*") {
    EXPECT_EQ(r.out, c.out);
  }
  if (c.script.empty()) {
    EXPECT_EQ(ws.shellCalls().size(), 0u);
    EXPECT_FALSE(testsupport::fileExists(ws.path("kvel.dir/top/kvel_script.tcl")));
  } else {
    EXPECT_EQ(ws.shellCalls().size(), 1u);
    EXPECT_EQ(ws.read("kvel.dir/top/kvel_script.tcl"), testsupport::onDisk(c.script));
  }
}

// c.txt: a comment line that, with the line "-f c.txt" naming it, makes 1 MiB.
const std::string kComments(std::string((1u << 20) - 10, '#') + "\n");
std::string naming(int times) { return times > 0 ? "-f c.txt\n" + naming(times - 1) : ""; }
// 1023 MiB of comments, then d.txt: 14,000 lines "-tp" (each line 4 bytes,
// its argument "--tp" 4 + 5) and a comment line filling the rest of 1 GiB,
// with `over` bytes more.
std::map<std::string, std::string> filesAtTheBound(int over) {
  const std::size_t rest = (1u << 20) - 9 - 14000 * (4 + 4 + 5);
  std::string d;
  for (int i = 0; i < 14000; ++i) d += "-tp\n";
  d += std::string(rest - 1 + over, '#') + "\n";
  return {{"c.txt", kComments}, {"a.txt", naming(1023) + "-f d.txt\n"}, {"d.txt", d}};
}
const char kPastTheBound[] =
    "ERROR: Command file d.txt takes the command files of one launch past 1073741824 bytes of "
    "memory (each line read counts its bytes, each argument its bytes and 5 more)\n";
const char kNulByte[] = "; a UTF-16 file must begin with its byte-order mark\n";

const char kWarning[] =
    "WARNING: Could not be expanded an environment variable in X=${KVT_UNSET} due to following "
    "error: Env Variable KVT_UNSET is not defined.\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandFileLaunch,
    testing::ValuesIn(testsupport::rowsRunningHere(std::vector<Launch>{
        Launch{"NestedFilesCrlfAndCommentsInOrder",
               {{"a.txt", "# options\r\ntop\r\n-testplusarg SEED=$KVT_SEED\r\n-f b.txt\r\n-tclbatch run.tcl"},
                {"b.txt", "  // more\n-testplusarg \"B=2 3\"\n"}},
               {"-f", "a.txt", "-testplusarg", "LAST=1"}, 3, "*", "",
               "kvel {top} -testplusarg SEED=7 -testplusarg B=2 3 -testplusarg LAST=1 "
               "-autoloadwcfg -tclbatch {run.tcl}\n"},
        Launch{"SingleDashFileSwitch", {{"opts.txt", "-tclbatch run.tcl\n"}},
               {"top", "-file", "opts.txt"}, 3, "*", "",
               "kvel {top} -autoloadwcfg -tclbatch {run.tcl}\n"},
        Launch{"ExpansionWarningLetsTheRunGoOn", {{"opts.txt", "-testplusarg X=${KVT_UNSET}\n"}},
               {"top", "-f", "opts.txt"}, 3, kWarning, "",
               "kvel {top} -testplusarg X=${KVT_UNSET} -autoloadwcfg\n"},
        Launch{"MissingFileName", {}, {"top", "-f"}, 1, "",
               "ERROR: Missing command file name for switch '-f [--file]'\n", ""},
        Launch{"UnopenableFile", {}, {"top", "-f", "nope.txt"}, 1, "",
               "Unable to open command file nope.txt\n", ""},
        Launch{"MismatchedQuote", {{"opts.txt", "-testplusarg \"a\n"}}, {"top", "-f", "opts.txt"},
               1, "",
               "Mismatched quote found in line -testplusarg \"a\n"
               "ERROR: Error founds in command file opts.txt\n",
               ""},
        // Windows refuses to open a directory: the open fails, not the read.
        Launch{"DirectoryAsCommandFile", {}, {"top", "-f", "kvel.dir"}, 1, "",
               testsupport::kWindows ? "Unable to open command file kvel.dir\n"
                                     : "ERROR: Unable to read command file kvel.dir: Is a directory\n",
               ""},
        Launch{"DoubleDashShortFileSwitch", {{"opts.txt", "-tclbatch run.tcl\n"}},
               {"top", "--f", "opts.txt"}, 3, "*", "",
               "kvel {top} -autoloadwcfg -tclbatch {run.tcl}\n"},
        Launch{"DoubleDashShortFileSwitchInAFile",
               {{"a.txt", "--f b.txt -tp\n"}, {"b.txt", "-tl\n"}}, {"top", "-f", "a.txt"}, 3,
               "*", "", "kvel {top} -tp -tl -autoloadwcfg\n"},
        Launch{"DoubleDashShortFileSwitchWithoutName", {}, {"top", "--f"}, 1, "",
               "ERROR: Missing command file name for switch '-f [--file]'\n", ""},
        Launch{"ByteOrderMarkIsSkipped",
               {{"bom.txt", "\xEF\xBB\xBF-testplusarg A=1\r\n-tp\r\n"}},
               {"top", "-f", "bom.txt"}, 3, "*", "",
               "kvel {top} -testplusarg A=1 -tp -autoloadwcfg\n"},
        // Elsewhere a byte-order mark is text of the argument it begins.
        Launch{"ByteOrderMarkOnlyAtTheStart",
               {{"bom.txt", "-testplusarg A=1\n-testplusarg \xEF\xBB\xBFX -testplusarg B=2\n"},
                {"mid.txt", "-testplusarg C=3 -testplusarg \xEF\xBB\xBFY\n"}},
               {"top", "-f", "bom.txt", "-f", "mid.txt"}, 3, "*", "",
               "kvel {top} -testplusarg A=1 -testplusarg \xEF\xBB\xBFX -testplusarg B=2 "
               "-testplusarg C=3 -testplusarg \xEF\xBB\xBFY -autoloadwcfg\n"},
        // Words beyond ASCII keep their place: later values do not shift.
        Launch{"WordsBeyondAsciiAreKept", {{"o.txt", "-testplusarg \xC3\xA9t\xC3\xA9 -testplusarg \xE6\xBC\xA2=\xF0\x9F\x98\x80\n"}},
               {"top", "-f", "o.txt"}, 3, "*", "",
               "kvel {top} -testplusarg \xC3\xA9t\xC3\xA9 -testplusarg \xE6\xBC\xA2=\xF0\x9F\x98\x80 -autoloadwcfg\n"},
        // (Windows has no endless file like /dev/zero.)
        Launch{"EndlessLine", {}, {"top", "-f", "/dev/zero"}, 1, "",
               "ERROR: Command file /dev/zero has a line longer than 268435456 bytes\n", "",
               testsupport::RunsOn::kPosix},
        // All command files of a launch together cost at most 1 GiB: the
        // lines' bytes and each argument's bytes and 5 more.
        Launch{"AllFilesUpToTheBound", filesAtTheBound(0), {"top", "-f", "a.txt"}, 3, "*", "",
               "kvel {top} -tp -autoloadwcfg\n"},
        Launch{"AllFilesPastTheBound", filesAtTheBound(1), {"top", "-f", "a.txt"}, 1, "",
               kPastTheBound, ""},
        // A NUL byte is refused, naming the line; a UTF-16 file without its
        // mark meets it at once.
        Launch{"NulByte", {{"o.txt", std::string("# a\n\n-tclbatch a\0b\n-tp\n", 23)}},
               {"top", "-f", "o.txt"}, 1, "",
               std::string("ERROR: Command file o.txt holds a NUL byte (line 3)") + kNulByte, ""},
        Launch{"Utf16WithoutMark", {{"o.txt", std::string("-\0t\0p\0\n\0", 8)}},
               {"top", "-f", "o.txt"}, 1, "",
               std::string("ERROR: Command file o.txt holds a NUL byte (line 1)") + kNulByte, ""},
        Launch{"NulInUtf16", {{"o.txt", std::string("\xFF\xFE-\0t\0p\0\n\0a\0\0\0", 14)}},
               {"top", "-f", "o.txt"}, 1, "", "ERROR: Command file o.txt holds a NUL character (line 2)\n",
               ""},
        // A serial port is refused by name before it is opened; the null device is read.
        Launch{"SerialPort", {}, {"top", "-f", ".\\Com9:"}, 1, "", "ERROR: Command file .\\Com9: is a serial "
               "port; command files are read from files, pipes and the null device\n", "",
               testsupport::RunsOn::kWindows},
        Launch{"NullDeviceAndNamesLikePorts", {{"COM10", "-tl\n"}},
               {"top", "-f", "NUL", "-f", "COM10", "-tp"}, 3, "*", "", "kvel {top} -tp -tl -autoloadwcfg\n",
               testsupport::RunsOn::kWindows},
        Launch{"FileNamingItself", {{"a.txt", "-gui\n-f a.txt\n"}}, {"top", "-f", "a.txt"}, 1, "",
               "ERROR: Command file a.txt is already being read: a.txt -> a.txt\n", ""}})),
    [](const testing::TestParamInfo<Launch>& info) { return std::string(info.param.name); });

// The shipped program with the stand-in shell, through a chain of 63 files.
TEST(CommandFileLaunchShipped, ChainOfSixtyThreeFilesReachesTheSimulator) {
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  for (int i = 0; i < 63; ++i) {
    const std::string next = i + 1 < 63 ? "-f n" + std::to_string(i + 1) + ".txt" : "top";
    ws.file("n" + std::to_string(i) + ".txt",
            "-testplusarg L" + std::to_string(i) + "=1 " + next + "\n");
  }
  const RunResult r = ws.run(KVEL_BIN, {"-f", "n0.txt"});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
  std::string expected = "kvel {top}";
  for (int i = 0; i < 63; ++i) expected += " -testplusarg L" + std::to_string(i) + "=1";
  expected += " -autoloadwcfg\n";
  EXPECT_EQ(ws.read("kvel.dir/top/kvel_script.tcl"), testsupport::onDisk(expected));
  EXPECT_NE(r.out.find("kvel: top -testplusarg L0=1"), std::string::npos) << r.out;
}

// After a large command file the shell gets the allocator as the process started
// with: glibc's dynamic mmap threshold, not raised by a large block the launch
// freed (its first 4 MiB block is mapped), or the user's MALLOC_* settings.
TEST(CommandFileLaunchAllocator, IsAsTheProcessStartedWith) {
#if !defined(HAND_OVER_PROBE_BIN) || !defined(__GLIBC__) || defined(KVEL_SANITIZED_BUILD)
  GTEST_SKIP() << "the mmap threshold and mallinfo2 are glibc's, and sanitizers replace malloc";
#else
  const std::pair<std::map<std::string, std::string>, std::string> cases[] = {
      {{}, "mapped heap mapped\n"},                                          // glibc's defaults
      {{{"MALLOC_MMAP_MAX_", "0"}}, "heap heap heap\n"},                     // mapping off
      {{{"MALLOC_MMAP_THRESHOLD_", "1048576"}}, "mapped mapped mapped\n"}};  // threshold fixed
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  std::string content;
  for (int i = 0; content.size() < (5u << 20); ++i) content += "-testplusarg V" + std::to_string(i) + "=1\n";
  ws.file("large.txt", content);
  for (const auto& [environment, placement] : cases) {
    RunOptions options;
    options.setEnv = environment;
    const RunResult r = ws.run(HAND_OVER_PROBE_BIN, {"top", "-f", "large.txt"}, options);
    EXPECT_EQ(r.out + r.err, placement) << environment.size();
  }
#endif
}

TEST(CommandFileLaunchShipped, SelfIncludingFileEndsWithStatusOne) {
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  ws.file("a.txt", "-f a.txt\n");
  const RunResult r = ws.run(KVEL_BIN, {"top", "-f", "a.txt"});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err, "ERROR: Command file a.txt is already being read: a.txt -> a.txt\n");
  EXPECT_FALSE(testsupport::fileExists(ws.path("kvel.dir/top/kvel_script.tcl")));
}

}  // namespace
