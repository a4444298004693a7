// The stand-in shell as users see it, through the real dravik and quindle.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "tests/framework/standin_program_fixture.h"

namespace standintest {
namespace {

using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::fileExists;
using testsupport::readFile;
using testsupport::readTextFile;
using testsupport::writeFile;

const char kInfoLine[] =
    "INFO: [shell] This shell has no graphical interface; running in Tcl mode.\n";

const Program kPrograms[] = {
    {DRAVIK_BIN, "Dravik", "dravik.log", "# front end: attached\n"},
    {QUINDLE_BIN, "Quindle", "quindle.log", "# front end: none\n"},
};

TEST_P(StandinProgramTest, DefaultLogHasTheHeaderAndMirrorsStandardOutput) {
  script("puts one\nputs -nonewline two\nputs stdout {}\nputs stderr three\n"
         "puts stdout four nonewline\n");
  RunResult r = run({"-mode", "tcl", "-source", "s.tcl"});
  EXPECT_EQ(0, r.exitStatus);
  EXPECT_EQ("one\ntwo\nfour", r.out);
  EXPECT_EQ("three\n", r.err);
  EXPECT_EQ(header(" -mode tcl -source s.tcl") + r.out, readTextFile(dir.file(GetParam().log)));
}

TEST_P(StandinProgramTest, HeaderRepeatsTheArgumentsVerbatim) {
  writeFile(dir.file("a b.tcl"), "puts $argc:$argv\n");
  RunResult r = run({"-mode", "batch", "-source", "{a b.tcl}", "-tclargs", "x  y", "", "{"});
  EXPECT_EQ(0, r.exitStatus) << r.err;
  EXPECT_EQ("3:{x  y} {} \\{\n", r.out);
  EXPECT_EQ(header(" -mode batch -source {a b.tcl} -tclargs x  y  {") + r.out,
            readTextFile(dir.file(GetParam().log)));
}

TEST_P(StandinProgramTest, LogOptions) {
  script("puts hi\n");
  EXPECT_EQ(0, run({"-mode", "tcl", "-log", "other.log", "-source", "s.tcl"}).exitStatus);
  EXPECT_EQ(header(" -mode tcl -log other.log -source s.tcl") + "hi\n",
            readTextFile(dir.file("other.log")));
  EXPECT_FALSE(fileExists(dir.file(GetParam().log)));

  // -nolog wins, before or after -log.
  EXPECT_EQ("hi\n", run({"-mode", "tcl", "-log", "x.log", "-nolog", "-source", "s.tcl"}).out);
  EXPECT_EQ("hi\n", run({"-nolog", "-log", "x.log", "-mode", "tcl", "-source", "s.tcl"}).out);
  EXPECT_FALSE(fileExists(dir.file("x.log")));
  EXPECT_FALSE(fileExists(dir.file(GetParam().log)));

  // An existing log is replaced.
  writeFile(dir.file("old.log"), "old content\n");
  run({"-mode", "tcl", "-log", "old.log", "-source", "s.tcl"});
  EXPECT_EQ(header(" -mode tcl -log old.log -source s.tcl") + "hi\n",
            readTextFile(dir.file("old.log")));

  RunResult r = run({"-mode", "tcl", "-log", "missing/x.log", "-source", "s.tcl"});
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("ERROR: [shell] cannot create log file \"missing/x.log\": no such file or directory\n",
            r.err);
}

TEST_P(StandinProgramTest, GuiModeSaysSoAndRunsAsTcl) {
  script("puts hi\n");
  for (const auto& args : {std::vector<std::string>{"-source", "s.tcl"},
                           std::vector<std::string>{"-mode", "gui", "-source", "s.tcl"}}) {
    RunResult r = run(args);
    EXPECT_EQ(0, r.exitStatus);
    EXPECT_EQ(std::string(kInfoLine) + "hi\n", r.out);
  }
  EXPECT_EQ(header(" -mode gui -source s.tcl") + kInfoLine + "hi\n",
            readTextFile(dir.file(GetParam().log)));
}

// An error gives its ERROR line, then the rest of Tcl's errorInfo as tclsh
// shows it: where the script failed.
TEST_P(StandinProgramTest, ScriptStatuses) {
  const struct {
    const char* script;
    int status;
    const char* out;
    std::string err;
  } cases[] = {
      {"puts a\n", 0, "a\n", ""},
      {"puts a\nexit 3\nputs b\n", 3, "a\n", ""},
      {"catch {exit 5}\nputs b\n", 5, "", ""},
      {"exit -1\n", testsupport::seenExitStatus(-1), "", ""},
      {"puts a\nerror {it broke}\nputs b\n", 1, "a\n",
       "ERROR: [shell] it broke\n    while executing\n\"error {it broke}\"\n"
       "    (file \"s.tcl\" line 2)\n"},
      {"no_such_command\n", 1, "",
       "ERROR: [shell] invalid command name \"no_such_command\"\n    while executing\n"
       "\"no_such_command\"\n    (file \"s.tcl\" line 1)\n"},
      {"puts {unclosed\n", 1, "",
       "ERROR: [shell] missing close-brace\n    while executing\n\"puts {\"\n"
       "    (file \"s.tcl\" line 1)\n"},
      {"proc inner {} {error deep}\nproc outer {} {\n  inner\n}\nouter\n", 1, "",
       "ERROR: [shell] deep\n    while executing\n\"error deep\"\n    (procedure \"inner\" line 1)\n"
       "    invoked from within\n\"inner\"\n    (procedure \"outer\" line 2)\n"
       "    invoked from within\n\"outer\"\n    (file \"s.tcl\" line 5)\n"},
      // errorInfo set by the script, without the message: written whole.
      {"error msg {custom info}\n", 1, "",
       "ERROR: [shell] msg\ncustom info\n    (file \"s.tcl\" line 1)\n"},
      {"error \"\xc3\xa9 \xd0\x96\nline \xe6\xbc\xa2\"\n", 1, "",
       "ERROR: [shell] \xc3\xa9 \xd0\x96\nline \xe6\xbc\xa2\n    while executing\n"
       "\"error \"\xc3\xa9 \xd0\x96\nline \xe6\xbc\xa2\"\"\n    (file \"s.tcl\" line 1)\n"},
  };
  for (const auto& c : cases) {
    script(c.script);
    RunResult r = run({"-mode", "tcl", "-source", "s.tcl"});
    EXPECT_EQ(c.status, r.exitStatus) << c.script;
    EXPECT_EQ(c.out, r.out) << c.script;
    EXPECT_EQ(c.err, r.err) << c.script;
    EXPECT_EQ(header(" -mode tcl -source s.tcl") + c.out + c.err,
              readTextFile(dir.file(GetParam().log)));
  }
}

// However the script ends, the shell ends as tclsh's exit ends it: a
// pipeline whose child runs on holds nothing up and the child goes on; what
// the script left buffered in a file is written.
TEST_P(StandinProgramTest, PipelineChildRunsOnAfterTheEnd) {
  // The child (this program again) says it started, then runs until
  // released (two minutes at most); it leaves its folder before it says so.
  // "ended" appears by a rename of a closed file: on Windows a file still
  // open in the child could not be removed for the next row.
  writeFile(dir.file("child.tcl"),
            "puts started\nflush stdout\n"
            "for {set n 0} {$n < 1200 && ![file exists release]} {incr n} {after 100}\n"
            "set here [pwd]\ncd [file dirname [info nameofexecutable]]\n"
            "close [open [file join $here ending] w]\n"
            "file rename [file join $here ending] [file join $here ended]\n");
  const std::string open =
      "set p [open |[list [info nameofexecutable] -nolog -mode tcl -source child.tcl] r]\n"
      "gets $p\n";
  const struct {
    const char* name;
    std::string start;  // prints what the child says first
    const char* end;
    int status;
  } rows[] = {
      {"exit", "puts [eval {" + open + "}]\n", "exit 3\n", 3},
      {"end of script", "puts [eval {" + open + "}]\n", "", 0},
      {"error", "puts [eval {" + open + "}]\n", "error late\n", 1},
      // The pipeline of a child interpreter, with `interp` gone.
      {"child interpreter", "interp create c\nputs [c eval {" + open + "}]\nrename interp {}\n",
       "exit 4\n", 4},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::remove(dir.file("release").c_str());
    std::remove(dir.file("ended").c_str());
    ASSERT_FALSE(fileExists(dir.file("release")) || fileExists(dir.file("ended")));
    script("set f [open buffered.txt w]\nputs -nonewline $f kept\n" + row.start + row.end);
    RunOptions options;
    options.cwd = dir.path();
    options.timeoutSeconds = 60;
    RunResult r = testsupport::run(GetParam().path, {"-nolog", "-mode", "tcl", "-source", "s.tcl"},
                                   options);
    EXPECT_FALSE(r.timedOut) << "the shell waited for the child";
    EXPECT_EQ(row.status, r.exitStatus) << r.err;
    EXPECT_EQ("started\n", r.out);
    EXPECT_EQ("kept", readFile(dir.file("buffered.txt")));
    EXPECT_FALSE(fileExists(dir.file("ended"))) << "the child did not run on";
    // Released, the child ends; the folder is not removed under it.
    writeFile(dir.file("release"), "");
    for (int i = 0; i < 1200 && !fileExists(dir.file("ended")); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(fileExists(dir.file("ended")));
  }
}

TEST_P(StandinProgramTest, UnreadableSourceIsATclError) {
  RunResult r = run({"-mode", "tcl", "-source", "{no such.tcl}"});
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("ERROR: [shell] couldn't read file \"no such.tcl\": no such file or directory\n",
            r.err);
}

TEST_P(StandinProgramTest, CommandsFromStandardInput) {
  // other.tcl: what a script that replaces standard input reads next.
  writeFile(dir.file("other.tcl"), "puts \"from other.tcl \xc3\xa9 \xd0\x96 \xe6\xbc\xa2\"\n");
  const struct {
    const char* name;
    std::vector<std::string> args;
    const char* input;
    int status;
    const char* out;
    const char* err;
  } rows[] = {
      // clang-format off
      {"CommandsOverLinesAndCrLf", {"-mode", "tcl", "-tclargs", "p q"},
       "puts $argv\nset x [expr {\n  1 + 2\n}]\nputs \"x=$x\"\r\nputs last", 0,
       "{p q}\nx=3\nlast\n", ""},
      {"ExitEndsTheReading", {"-mode", "tcl"}, "puts a\nexit 4\nputs b\n", 4, "a\n", ""},
      // Piped input stops at the first error, as a sourced script does.
      {"FirstErrorEndsTheReading", {"-mode", "tcl"}, "puts a\nerror bad\nputs b\n", 1, "a\n",
       "ERROR: [shell] bad\n"},
      // A command left open at the end is reported, not dropped.
      {"OpenCommandAtTheEnd", {"-mode", "tcl"}, "puts a\nif {1} {\nputs b\n", 1, "a\n",
       "ERROR: [shell] missing close-brace\n"},
      {"EmptyInput", {"-mode", "tcl"}, "", 0, "", ""},
      // As with tclsh: closing standard input ends the reading without an
      // error; a channel opened after it becomes standard input and is read.
      {"ScriptClosesStandardInput", {"-mode", "tcl"}, "puts before\nclose stdin\nputs after\n", 0,
       "before\n", ""},
      {"ScriptReplacesStandardInput", {"-mode", "tcl"},
       "puts before\nclose stdin; open other.tcl\nputs after\n", 0,
       "before\nfrom other.tcl \xc3\xa9 \xd0\x96 \xe6\xbc\xa2\n", ""},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RunResult r = run(row.args, row.input);
    EXPECT_EQ(row.status, r.exitStatus) << r.err;
    EXPECT_EQ(row.out, r.out);
    EXPECT_EQ(row.err, r.err);
  }
}

TEST_P(StandinProgramTest, ArgvReachesTheScript) {
  script("puts $argv0\nputs $argc\nforeach a $argv {puts <$a>}\n");
  RunResult r = run({"-mode", "tcl", "-source", "s.tcl", "-tclargs", "-mode", "a b", "", "-nolog"});
  EXPECT_EQ(0, r.exitStatus);
  EXPECT_EQ(std::string(GetParam().path) + "\n4\n<-mode>\n<a b>\n<>\n<-nolog>\n", r.out);
  script("puts $argc:$argv\n");
  EXPECT_EQ("0:\n", run({"-mode", "tcl", "-source", "s.tcl"}).out);
}

TEST_P(StandinProgramTest, BadArgumentEndsBeforeAnythingStarts) {
  RunResult r = run({"-mode", "tcl", "-bogus"});
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("", r.out);
  EXPECT_EQ("ERROR: [shell] unknown argument \"-bogus\"\n", r.err);
  EXPECT_FALSE(fileExists(dir.file(GetParam().log)));
}

// A log that is the script to run is refused before it is opened, whatever
// name reaches it; the script stays as it was and nothing runs.
TEST_P(StandinProgramTest, LogThatIsTheSourceScriptIsRefused) {
  const std::string text = "puts ran\n";
  script(text);
  writeFile(dir.file("sub/keep"), "");
  ASSERT_TRUE(testsupport::makeHardLink(dir.file("s.tcl"), dir.file("hard.tcl")));
  std::vector<std::string> logs{"s.tcl", "./s.tcl", "sub/../s.tcl", "hard.tcl", dir.file("s.tcl")};
  if (testsupport::makeSymbolicLink("s.tcl", dir.file("link.tcl"))) {
    logs.push_back("link.tcl");
  } else {
    if (!testsupport::kWindows) FAIL() << "symlink failed";
    std::cout << "(no symbolic link case: Wine makes none; Windows needs the privilege)\n";
  }
  for (const std::string& log : logs) {
    RunResult r = run({"-mode", "tcl", "-log", log, "-source", "s.tcl"});
    EXPECT_EQ(1, r.exitStatus) << log;
    EXPECT_EQ("", r.out) << log;
    EXPECT_EQ("ERROR: [shell] log file \"" + log + "\" is the -source script; not overwritten\n",
              r.err);
    EXPECT_EQ(text, readFile(dir.file("s.tcl"))) << log;
  }
  // The default log name too, and a -source word in braces.
  const std::string defaultLog = GetParam().log;
  writeFile(dir.file(defaultLog), text);
  RunResult r = run({"-mode", "tcl", "-source", "{" + defaultLog + "}"});
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("ERROR: [shell] log file \"" + defaultLog + "\" is the -source script; not overwritten\n",
            r.err);
  EXPECT_EQ(text, readFile(dir.file(defaultLog)));
  // -nolog writes no log, so there is nothing to refuse.
  r = run({"-mode", "tcl", "-nolog", "-source", defaultLog});
  EXPECT_EQ(0, r.exitStatus);
  EXPECT_EQ("ran\n", r.out);
}

// Names and words beyond ASCII reach the files and the script exactly.
TEST_P(StandinProgramTest, NamesAndWordsBeyondAsciiPassUnchanged) {
  std::vector<std::string> texts{"\xc3\xa9t\xc3\xa9", "\xd0\x96\xd1\x83\xd0\xba", "\xe6\xbc\xa2"};
  if (!testsupport::kWindows)
    texts.push_back("\xf0\x9f\x98\x80");  // a name Tcl 8.6 cannot open on Windows
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const std::string name = text + " s.tcl", log = text + ".log";
    writeFile(dir.file(name), "puts [join $argv |]\n");
    RunResult r = run({"-mode", "tcl", "-log", log, "-source", name, "-tclargs", text, "a"});
    EXPECT_EQ(0, r.exitStatus) << r.err;
    EXPECT_EQ(text + "|a\n", r.out);
    EXPECT_EQ(header(" -mode tcl -log " + log + " -source " + name + " -tclargs " + text + " a") +
                  r.out,
              readTextFile(dir.file(log)));
    // The script as its own log is caught under such a name too.
    EXPECT_EQ("ERROR: [shell] log file \"" + name + "\" is the -source script; not overwritten\n",
              run({"-mode", "tcl", "-log", name, "-source", "{" + name + "}"}).err);
  }
}

// The three programs and the DLLs they load copied into `folder` (made),
// without Tcl's lib folder beside them.
void copyPrograms(const std::string& folder) {
  namespace fs = boost::filesystem;
  fs::create_directories(fs::path(folder));
  boost::system::error_code ec;
  for (const char* program : {DRAVIK_BIN, QUINDLE_BIN, KVEL_BIN}) {
    fs::copy_file(program, fs::path(folder) / fs::path(program).filename(), ec);
    ASSERT_FALSE(ec) << program << ": " << ec.message();
  }
  int libraries = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(DRAVIK_BIN).parent_path())) {
    if (entry.path().extension() != ".dll") continue;
    fs::copy_file(entry.path(), fs::path(folder) / entry.path().filename(), ec);
    ASSERT_FALSE(ec) << entry.path() << ": " << ec.message();
    ++libraries;
  }
  ASSERT_GT(libraries, 0);
}

// Where the programs lie decides whether Tcl finds its script library: a
// missing library is Tcl's error; a folder whose path holds a character
// outside the Basic Multilingual Plane, which Tcl 8.6 cannot open on
// Windows, is one error naming it, the same with and without a log.
TEST(StandinFaultTest, ProgramFolderTclCannotUseIsAnError) {
  if (!testsupport::kWindows) GTEST_SKIP() << testsupport::kTclLibraryAlwaysFound;
  const std::string emoji = "inst \xf0\x9f\x98\x80";
  // The folder as Windows writes it, ending in the emoji's folder.
  const std::string refused = "\\" + emoji +
                              "\" holds a character outside the Basic Multilingual Plane (such as "
                              "an emoji): Tcl 8.6 cannot open files under such a path on Windows";
  const struct {
    const char* name;
    std::string folder;
    const char* program;
    std::vector<std::string> args;
    std::string err;  // a part of the one line on standard error
    const char* log;  // not written
  } rows[] = {
      {"no Tcl library", "plain", "dravik.exe", {"-mode", "tcl", "-nolog"}, "init.tcl", "dravik.log"},
      {"kvel -nolog", emoji, "kvel.exe", {"top", "-nolog"}, refused, "kvel.log"},
      {"kvel with its log", emoji, "kvel.exe", {"top"}, refused, "kvel.log"},
      {"dravik", emoji, "dravik.exe", {"-mode", "tcl"}, refused, "dravik.log"},
      {"quindle -nolog", emoji, "quindle.exe", {"-nolog", "-mode", "tcl"}, refused,
       "quindle.log"},
  };
  TempDir dir;
  writeFile(dir.file("work/kvel.dir/top/kvelk.exe"), "");
  for (const std::string& folder : {std::string("plain"), emoji})
    copyPrograms(dir.file(folder));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RunOptions options;
    options.cwd = dir.file("work");
    options.stdinText = "puts ran\n";
    if (row.folder == "plain")
      options.setEnv["TCL_LIBRARY"] = dir.file("nowhere");
    else
      options.unsetEnv = {"TCL_LIBRARY"};
    RunResult r = testsupport::run(dir.file(row.folder + "/" + row.program), row.args, options);
    EXPECT_EQ(1, r.exitStatus);
    EXPECT_EQ("", r.out);
    EXPECT_EQ(0u, r.err.find("ERROR: [shell] ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(row.err)) << r.err;
    if (row.folder != "plain") {
      EXPECT_EQ(r.err.size() - 1, r.err.find('\n')) << "not one line: " << r.err;
    }
    EXPECT_FALSE(fileExists(dir.file(std::string("work/") + row.log)));
  }
}

INSTANTIATE_TEST_SUITE_P(Launchers, StandinProgramTest, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<Program>& info) {
                           return std::string(info.param.app);
                         });

}  // namespace
}  // namespace standintest
