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

// A file of comment lines that, with a line "-f c.txt" naming it, makes
// exactly 1 MiB.
std::string commentMebibyte() {
  const std::string line = "# " + std::string(1021, 'c') + "\n";
  std::string content;
  const std::size_t size = (1u << 20) - std::string("-f c.txt\n").size();
  while (content.size() + line.size() <= size) content += line;
  return content + "#" + std::string(size - content.size() - 2, 'c') + "\n";
}

// A file naming c.txt `times` times.
std::string namingComments(int times) {
  std::string content;
  for (int i = 0; i < times; ++i) content += "-f c.txt\n";
  return content;
}

// ASCII text as UTF-16 with a byte-order mark.
std::string asciiUtf16(const std::string& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : text) {
    bytes += bigEndian ? '\0' : c;
    bytes += bigEndian ? c : '\0';
  }
  return bytes;
}

const char kSerialPort[] =
    " is a serial port; command files are read from files, pipes and the null device\n";

const char kWarning[] =
    "WARNING: Could not be expanded an environment variable in X=${KVT_UNSET} due to following "
    "error: Env Variable KVT_UNSET is not defined.\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandFileLaunch,
    testing::Values(
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
#ifdef _WIN32
               "Unable to open command file kvel.dir\n", ""},
#else
               "ERROR: Unable to read command file kvel.dir: Is a directory\n", ""},
#endif
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
        Launch{"WordsBeyondAsciiAreKept",
               {{"opts.txt", "-testplusarg \xC3\xA9t\xC3\xA9\n-testplusarg \xC3\xBCn\xC3\xAF=1\n"
                             "-tclbatch \xD0\xB7\xD0\xB0\xD0\xBF\xD1\x83\xD1\x81\xD0\xBA.tcl "
                             "-testplusarg \xE6\xBC\xA2=\xF0\x9F\x98\x80\n"}},
               {"top", "-f", "opts.txt"}, 3, "*", "",
               "kvel {top} -testplusarg \xC3\xA9t\xC3\xA9 -testplusarg \xC3\xBCn\xC3\xAF=1 "
               "-testplusarg \xE6\xBC\xA2=\xF0\x9F\x98\x80 -autoloadwcfg "
               "-tclbatch {\xD0\xB7\xD0\xB0\xD0\xBF\xD1\x83\xD1\x81\xD0\xBA.tcl}\n"},
#ifndef _WIN32
        // (Windows has no endless file like /dev/zero.)
        Launch{"EndlessLine", {}, {"top", "-f", "/dev/zero"}, 1, "",
               "ERROR: Command file /dev/zero has a line longer than 268435456 bytes\n", ""},
#endif
        // All command files of a launch together hold at most 256 MiB.
        Launch{"AllCommandFilesUpToTheBound",
               {{"c.txt", commentMebibyte()}, {"all.txt", namingComments(256)}},
               {"top", "-f", "all.txt"}, 3, "*", "", "kvel {top} -autoloadwcfg\n"},
        Launch{"AllCommandFilesPastTheBound",
               {{"c.txt", commentMebibyte()}, {"all.txt", namingComments(257)}},
               {"top", "-f", "all.txt"}, 1, "",
               "ERROR: Command file all.txt takes the command files of one launch past "
               "268435456 bytes\n", ""},
        // UTF-16 (byte-order mark FF FE or FE FF) is converted, then read as any file.
        Launch{"Utf16LittleEndian",
               {{"u.f", asciiUtf16("-tp\r\n  # x\r\n-tclbatch \"a b.tcl\"\r\n", false)}},
               {"top", "-f", "u.f", "-testplusarg", "Z=1"}, 3, "*", "",
               "kvel {top} -testplusarg Z=1 -tp -autoloadwcfg -tclbatch {a b.tcl}\n"},
        Launch{"Utf16BigEndianNestingUtf8",
               {{"u.f", asciiUtf16("-f i.f", true)}, {"i.f", "-tl\n"}},
               {"top", "-f", "u.f"}, 3, "*", "", "kvel {top} -tl -autoloadwcfg\n"},
        Launch{"Utf16OddLength", {{"u.f", std::string("\xFF\xFE-\0t", 5)}}, {"top", "-f", "u.f"}, 1, "",
               "ERROR: Command file u.f is not valid UTF-16: it has an odd number of bytes (5)\n", ""},
#ifdef _WIN32
        // A serial port is refused by name, before it is opened; the null
        // device is read (and gives nothing).
        Launch{"SerialPortCom1", {}, {"top", "-f", "COM1"}, 1, "",
               std::string("ERROR: Command file COM1") + kSerialPort, ""},
        Launch{"SerialPortAux", {}, {"top", "-f", "aux"}, 1, "",
               std::string("ERROR: Command file aux") + kSerialPort, ""},
        Launch{"SerialPortWithColonAndFolder", {}, {"top", "-f", ".\\Com9:"}, 1, "",
               std::string("ERROR: Command file .\\Com9:") + kSerialPort, ""},
        Launch{"SerialPortWithExtension", {}, {"top", "-f", "com3.txt"}, 1, "",
               std::string("ERROR: Command file com3.txt") + kSerialPort, ""},
        Launch{"NullDevice", {}, {"top", "-f", "NUL", "-tp"}, 3, "*", "",
               "kvel {top} -tp -autoloadwcfg\n"},
        Launch{"NotASerialPort", {{"COM10", "-tl\n"}, {"comx", "-tp\n"}},
               {"top", "-f", "COM10", "-f", "comx"}, 3, "*", "", "kvel {top} -tp -tl -autoloadwcfg\n"},
#else
        // Elsewhere these names are ordinary files.
        Launch{"SerialPortNamesAreFiles", {{"COM1", "-tl\n"}}, {"top", "-f", "COM1"}, 3, "*", "",
               "kvel {top} -tl -autoloadwcfg\n"},
        Launch{"NullDevice", {}, {"top", "-f", "/dev/null", "-tp"}, 3, "*", "",
               "kvel {top} -tp -autoloadwcfg\n"},
#endif
        Launch{"FileNamingItself", {{"a.txt", "-gui\n-f a.txt\n"}}, {"top", "-f", "a.txt"}, 1, "",
               "ERROR: Command file a.txt is already being read: a.txt -> a.txt\n", ""}));

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

// An endless stream of lines through a pipe ends at the bound on all
// command files, with the reader's error, instead of filling the memory.
TEST(CommandFileLaunchPipe, EndlessStreamStopsAtTheBound) {
#ifdef _WIN32
  GTEST_SKIP() << "the pipe is made by a POSIX shell (yes, /dev/stdin)";
#else
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  const RunResult r = ws.run(
      "/bin/sh", {"-c", "yes -- '# an endless stream' | \"$0\" top -f /dev/stdin", KVEL_DOUBLE_BIN});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err,
            "ERROR: Command file /dev/stdin takes the command files of one launch past 268435456 "
            "bytes\n");
  EXPECT_TRUE(ws.shellCalls().empty());
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
