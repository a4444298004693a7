// Bad and extreme input through the whole launch (kvel_double): odd bytes in
// command files, huge files and lines, vanished files, deep and cyclic
// nesting, and huge or odd command lines.
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"

namespace {

using testsupport::LaunchWorkspace;
using testsupport::RunResult;
using testsupport::fileExists;
using testsupport::readFile;
using testsupport::writeFile;

struct BadInput {
  const char* name;
  std::map<std::string, std::string> files;
  std::vector<std::string> args;
  int status;
  std::string err;     // exact standard error, or its start when errIsPrefix
  bool errIsPrefix;
  std::string script;  // empty: the launch must end before the script and the shell
};

void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }

std::string chain(int files, const std::string& last) {
  std::string text;
  for (int i = 0; i < files; ++i) text += (i ? " -> " : "") + std::string("n") + std::to_string(i) + ".txt";
  return text + last;
}

std::map<std::string, std::string> chainFiles(int files) {
  std::map<std::string, std::string> result;
  for (int i = 0; i < files; ++i) {
    const std::string next = i + 1 < files ? "-f n" + std::to_string(i + 1) + ".txt" : "-tp";
    result["n" + std::to_string(i) + ".txt"] = "-testplusarg L" + std::to_string(i) + " " + next;
  }
  return result;
}

std::string chainScript(int files) {
  std::string script = "kvel {top}";
  for (int i = 0; i < files; ++i) script += " -testplusarg L" + std::to_string(i);
  return script + " -tp -autoloadwcfg\n";
}

const std::string kUsage = "Kvel simulation executable\n";

std::vector<BadInput> cases() {
  const std::string longValue(10 * 1024 * 1024, 'x');
  const auto ansi = [](const char* bytes) { return testsupport::fromAnsiCodePage(bytes); };
  return {
      // A NUL byte would end the word at the hand-over to the parser
      // (arguments are C strings there): the file is refused, naming the line.
      // (Not named nul.*: on Windows that is the null device.)
      {"NulBytes", {{"zero.f", std::string("-testplusarg A\0B\n\0-gui\n-tclbatch r\0un.tcl", 39)}},
       {"top", "-f", "zero.f"}, 1,
       "ERROR: Command file zero.f holds a NUL byte (line 1); a UTF-16 file must begin with its "
       "byte-order mark\n",
       false, ""},
      // Bytes above 0x7E pass inside words and quotes, and a bare word that
      // starts with one is kept too: byte for byte on Linux; on Windows these
      // lines, which are not UTF-8, are read in the ANSI code page.
      {"BytesAbove7E",
       {{"hi.f", "-wdb \"\xC3\xA9t\xC3\xA9 1.wdb\" -testplusarg A\xC3\xA9\xFF=1 -testplusarg \xC3\xA9 -tp\n"
                 "-testplusarg \xFF\xFE-gui\n"}},
       {"top", "-f", "hi.f"}, 0, "", false,
       "kvel {top} -testplusarg A" + ansi("\xC3\xA9\xFF") + "=1 -testplusarg " + ansi("\xC3\xA9") +
           " -testplusarg " + ansi("\xFF\xFE") + "-gui -wdb {" + ansi("\xC3\xA9") + "t" +
           ansi("\xC3\xA9") + " 1.wdb} -tp -autoloadwcfg\n"},
      {"TenMegabyteLineWithoutLineFeed", {{"long.f", "-testplusarg " + longValue}},
       {"top", "-f", "long.f"}, 0, "", false,
       "kvel {top} -testplusarg " + longValue + " -autoloadwcfg\n"},
      {"MillionEmptyLines", {{"empty.f", std::string(1000000, '\n') + "-tp"}},
       {"top", "-f", "empty.f"}, 0, "", false, "kvel {top} -tp -autoloadwcfg\n"},
      {"EmptyFile", {{"empty.f", ""}}, {"top", "-f", "empty.f"}, 0, "", false,
       "kvel {top} -autoloadwcfg\n"},
      {"ChainOf64Files", chainFiles(64), {"top", "-f", "n0.txt"}, 0, "", false, chainScript(64)},
      {"ChainOf65FilesIsTooDeep", chainFiles(65), {"top", "-f", "n0.txt"}, 1,
       "ERROR: Command file n64.txt is nested more than 64 levels deep: " + chain(65, "\n"), false,
       ""},
      {"CycleThroughThreeFiles",
       {{"a.txt", "-tp\n-f b.txt\n"}, {"b.txt", "-f c.txt\n"}, {"c.txt", "-tl -f a.txt\n"}},
       {"top", "-f", "a.txt"}, 1,
       "ERROR: Command file a.txt is already being read: a.txt -> b.txt -> c.txt -> a.txt\n", false,
       ""},
      {"CycleThroughAnotherName",
       {{"a.txt", "-f ./b.txt\n"}, {"b.txt", "-f ./a.txt\n"}},
       {"top", "-f", "a.txt"}, 1,
       "ERROR: Command file ./a.txt is already being read: a.txt -> ./b.txt -> ./a.txt\n", false,
       ""},
      // The same file twice in a row is no cycle.
      {"SameFileTwiceInSequence", {{"a.txt", "-tp\n"}}, {"top", "-f", "a.txt", "-f", "a.txt"}, 0,
       "", false, "kvel {top} -tp -autoloadwcfg\n"},
      // An empty argument is no snapshot name and no switch.
      {"EmptyArgumentAfterSnapshot", {}, {"top", ""}, 1, "Expected a switch but found \n" + kUsage,
       true, ""},
      {"EmptyValue", {}, {"top", "-tclbatch", "", "-log", ""}, 0, "", false,
       "kvel {top} -autoloadwcfg -tclbatch {}\n"},
  };
}

class BadInputTable : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputTable, StatusMessageAndScript) {
  const BadInput& c = GetParam();
  LaunchWorkspace ws;
  ws.kernel("top");
  for (const auto& [name, content] : c.files) writeFile(ws.path(name), content);
  const RunResult r = ws.run(KVEL_DOUBLE_BIN, c.args);
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(c.status, r.exitStatus) << r.err.substr(0, 400);
  if (c.errIsPrefix) {
    EXPECT_EQ(0u, r.err.find(c.err)) << r.err.substr(0, 400);
  } else {
    EXPECT_EQ(c.err, r.err.substr(0, 4000));
  }
  EXPECT_EQ("", r.out.substr(0, 400));
  if (c.script.empty()) {
    EXPECT_FALSE(fileExists(ws.path("kvel.dir/top/kvel_script.tcl")));
    EXPECT_TRUE(ws.shellCalls().empty());
  } else {
    const std::string script = readFile(ws.path("kvel.dir/top/kvel_script.tcl"));
    const std::string expected = testsupport::onDisk(c.script);
    EXPECT_EQ(expected.size(), script.size());
    EXPECT_TRUE(expected == script) << script.substr(0, 400);
    EXPECT_EQ(1u, ws.shellCalls().size());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BadInputTable, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<BadInput>& info) {
                           return std::string(info.param.name);
                         });

// A command file that is gone by the time it is opened: here a symbolic
// link whose target does not exist.
TEST(BadInput, VanishedCommandFile) {
  LaunchWorkspace ws;
  ws.kernel("top");
  if (!testsupport::makeSymbolicLink("gone.txt", ws.path("opts.f"))) {
    if (testsupport::kWindows) GTEST_SKIP() << testsupport::kNoSymbolicLink;
    FAIL() << "symlink failed";
  }
  const RunResult r = ws.run(KVEL_DOUBLE_BIN, {"top", "-f", "opts.f"});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("Unable to open command file opts.f\n", r.err);
  EXPECT_EQ("", r.out);
  EXPECT_TRUE(ws.shellCalls().empty());
}

// 100,000 arguments on the command line itself reach the script in order.
// A Windows command line holds at most 32,767 characters: there, as many
// arguments as it holds.
const std::size_t kHugeArgumentCount = testsupport::kWindows ? 6001 : 100001;

TEST(BadInput, HundredThousandArguments) {
  LaunchWorkspace ws;
  ws.kernel("top");
  std::vector<std::string> args{"top"};
  std::string expected = "kvel {top} -autoloadwcfg";
  for (int i = 0; args.size() + 2 <= kHugeArgumentCount; ++i) {
    args.push_back("-t");
    args.push_back(std::to_string(i));
    expected += " -tclbatch {" + std::to_string(i) + "}";
  }
  ASSERT_EQ(kHugeArgumentCount, args.size());
  const RunResult r = ws.run(KVEL_DOUBLE_BIN, args);
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(0, r.exitStatus) << r.err.substr(0, 400);
  EXPECT_TRUE(testsupport::onDisk(expected + "\n") ==
              readFile(ws.path("kvel.dir/top/kvel_script.tcl")));
  EXPECT_EQ(1u, ws.shellCalls().size());
}

// A snapshot name with blanks: one directory, one braced Tcl word for the
// script path, one braced snapshot in the command.
// Windows drops blanks at the end of a file name, so there they stand inside.
TEST(BadInput, SnapshotNameWithBlanks) {
  const std::string name = testsupport::kWindows ? "my  top" : "my top  ";
  LaunchWorkspace ws;
  ws.kernel(name);
  const RunResult r = ws.run(KVEL_DOUBLE_BIN, {name, "-tp"});
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(0, r.exitStatus) << r.out << r.err;
  EXPECT_EQ(testsupport::onDisk("kvel {" + name + "} -tp -autoloadwcfg\n"),
            readFile(ws.path("kvel.dir/" + name + "/kvel_script.tcl")));
  const auto calls = ws.shellCallsShown();
  ASSERT_EQ(1u, calls.size());
  ASSERT_LE(7u, calls[0].size());
  EXPECT_EQ("{<own>}", calls[0][7]);
}

}  // namespace
