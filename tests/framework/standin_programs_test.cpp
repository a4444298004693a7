// The stand-in shell as users see it, through the real dravik and quindle.
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <ostream>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"

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

struct Program {
  const char* path;
  const char* app;
  const char* log;
  const char* frontEnd;
};

const Program kPrograms[] = {
    {DRAVIK_BIN, "Dravik", "dravik.log", "# front end: attached\n"},
    {QUINDLE_BIN, "Quindle", "quindle.log", "# front end: none\n"},
};

void PrintTo(const Program& program, std::ostream* os) {
  *os << program.app;
}

class StandinProgramTest : public testing::TestWithParam<Program> {
protected:
  RunResult run(const std::vector<std::string>& args, const std::string& stdinText = "") {
    RunOptions options;
    options.cwd = dir.path();
    options.stdinText = stdinText;
    return testsupport::run(GetParam().path, args, options);
  }
  std::string script(const std::string& text) {
    writeFile(dir.file("s.tcl"), text);
    return "s.tcl";
  }
  std::string header(const std::string& args) const {
    return std::string("# ") + GetParam().app + args + "\n" + GetParam().frontEnd;
  }
  TempDir dir;
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

TEST_P(StandinProgramTest, ScriptStatuses) {
  const struct {
    const char* script;
    int status;
    const char* out;
    const char* err;
  } cases[] = {
      {"puts a\n", 0, "a\n", ""},
      {"puts a\nexit 3\nputs b\n", 3, "a\n", ""},
      {"catch {exit 5}\nputs b\n", 5, "", ""},
#ifdef _WIN32
      {"exit -1\n", -1, "", ""},  // a Windows exit status keeps all 32 bits
#else
      {"exit -1\n", 255, "", ""},
#endif
      {"puts a\nerror {it broke}\nputs b\n", 1, "a\n", "ERROR: [shell] it broke\n"},
      {"no_such_command\n", 1, "", "ERROR: [shell] invalid command name \"no_such_command\"\n"},
      {"puts {unclosed\n", 1, "", "ERROR: [shell] missing close-brace\n"},
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

TEST_P(StandinProgramTest, UnreadableSourceIsATclError) {
  RunResult r = run({"-mode", "tcl", "-source", "{no such.tcl}"});
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("ERROR: [shell] couldn't read file \"no such.tcl\": no such file or directory\n",
            r.err);
}

TEST_P(StandinProgramTest, CommandsFromStandardInput) {
  RunResult r = run({"-mode", "tcl", "-tclargs", "p q"},
                    "puts $argv\nset x [expr {\n  1 + 2\n}]\nputs \"x=$x\"\r\nputs last");
  EXPECT_EQ(0, r.exitStatus) << r.err;
  EXPECT_EQ("{p q}\nx=3\nlast\n", r.out);

  r = run({"-mode", "tcl"}, "puts a\nexit 4\nputs b\n");
  EXPECT_EQ(4, r.exitStatus);
  EXPECT_EQ("a\n", r.out);

  // Piped input stops at the first error, as a sourced script does.
  r = run({"-mode", "tcl"}, "puts a\nerror bad\nputs b\n");
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("a\n", r.out);
  EXPECT_EQ("ERROR: [shell] bad\n", r.err);

  // A command left open at the end is reported, not dropped.
  r = run({"-mode", "tcl"}, "puts a\nif {1} {\nputs b\n");
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("a\n", r.out);
  EXPECT_EQ("ERROR: [shell] missing close-brace\n", r.err);

  EXPECT_EQ(0, run({"-mode", "tcl"}, "").exitStatus);
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

// A log that cannot be written: the run goes on and its output still reaches
// standard output, but the failure is reported once and a run that would
// have succeeded ends with 1. Another status stays.
TEST_P(StandinProgramTest, LogWriteFailureEndsWithStatusOne) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no device that fails every write (/dev/full)";
#endif
  const std::string error =
      "ERROR: [shell] cannot write log file \"/dev/full\": no space left on device\n";
  script("puts one\nputs two\n");
  RunResult r = run({"-mode", "tcl", "-log", "/dev/full", "-source", "s.tcl"});
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("one\ntwo\n", r.out);
  EXPECT_EQ(error, r.err);

  script("puts one\nexit 3\n");
  r = run({"-mode", "tcl", "-log", "/dev/full", "-source", "s.tcl"});
  EXPECT_EQ(3, r.exitStatus);
  EXPECT_EQ(error, r.err);

  r = run({"-mode", "tcl", "-log", "/dev/full"}, "puts piped\n");
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ("piped\n", r.out);
  EXPECT_EQ(error, r.err);
}

// The log fills up part way through the run (a file-size limit of one block,
// SIGXFSZ ignored): the lines written before stay, the failure is reported.
TEST_P(StandinProgramTest, LogFailingPartWayEndsWithStatusOne) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no file-size limit (ulimit -f) to make a write fail part way";
#endif
  script("for {set i 0} {$i < 100} {incr i} {puts [format %039d $i]}\nputs done\n");
  // Only the shell runs under the limit; its output reaches the test
  // through cat, with the status as the last line.
  const std::string command = "(ulimit -f 1; trap '' XFSZ; \"$0\" \"$@\" 2>&1; echo \"status=$?\") | cat";
  RunOptions options;
  options.cwd = dir.path();
  RunResult r = testsupport::run(
      "/bin/sh", {"-c", command, GetParam().path, "-mode", "tcl", "-log", "l.log", "-source", "s.tcl"},
      options);
  ASSERT_EQ(0, r.exitStatus);
  const std::string error =
      "ERROR: [shell] cannot write log file \"l.log\": file too large\n";
  EXPECT_NE(std::string::npos, r.out.find(error)) << r.out;
  EXPECT_EQ(r.out.size() - 9, r.out.rfind("status=1\n")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("done\n"));
  // What the log would hold without the limit; it holds a beginning of it.
  std::string full = header(" -mode tcl -log l.log -source s.tcl");
  const std::string::size_type headerSize = full.size();
  for (int i = 0; i < 100; ++i) {
    const std::string number = std::to_string(i);
    full += std::string(39 - number.size(), '0') + number + "\n";
  }
  full += "done\n";
  const std::string log = readFile(dir.file("l.log"));
  EXPECT_GT(log.size(), headerSize);
  EXPECT_LT(log.size(), full.size());
  EXPECT_EQ(full.substr(0, log.size()), log);
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
#ifdef _WIN32
    std::cout << "(no symbolic link case: Wine makes none; Windows needs the privilege)\n";
#else
    FAIL() << "symlink failed";
#endif
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
#ifndef _WIN32
  texts.push_back("\xf0\x9f\x98\x80");  // a name Tcl 8.6 cannot open on Windows
#endif
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

// Tcl's script library missing beside the program: the shell says so.
TEST(StandinFaultTest, MissingTclLibraryIsAnError) {
#ifndef _WIN32
  GTEST_SKIP() << "the system's Tcl always finds the library it was installed with";
#else
  // dravik and the DLLs it loads, without the lib folder beside them.
  const std::string program = DRAVIK_BIN, bin = program.substr(0, program.find_last_of("/\\") + 1);
  TempDir dir;
  ASSERT_TRUE(CopyFileA(program.c_str(), dir.file("dravik.exe").c_str(), FALSE));
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((bin + "*.dll").c_str(), &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  do {
    ASSERT_TRUE(CopyFileA((bin + found.cFileName).c_str(), dir.file(found.cFileName).c_str(), 0));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  RunOptions options;
  options.cwd = dir.path();
  options.setEnv["TCL_LIBRARY"] = dir.file("nowhere");
  RunResult r = testsupport::run(dir.file("dravik.exe"), {"-mode", "tcl", "-nolog"}, options);
  EXPECT_EQ(1, r.exitStatus);
  EXPECT_EQ(0u, r.err.find("ERROR: [shell] ")) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("init.tcl")) << r.err;
#endif
}

// Faults met while the shell runs end with one "ERROR: [shell]" line and
// status 1; a snapshot name that is no text never runs another's script.
TEST(StandinFaultTest, FaultsEndWithAnErrorLineAndStatusOne) {
#ifdef _WIN32
  GTEST_SKIP() << "needs ulimit, /dev/full, a folder as stdin and names that are no text";
#endif
  TempDir dir;
  for (const char* snapshot : {"top", "snap\xff", "snap\xc3\xbf"})
    writeFile(dir.file(std::string("kvel.dir/") + snapshot + "/kvelk.exe"), "");
  writeFile(dir.file("lines.tcl"), "for {set i 0} {$i < 100} {incr i} {puts [format %039d $i]}\n");
  writeFile(dir.file("memory.tcl"), "set l {}\nwhile 1 {lappend l [string repeat x 1000]}\n");
  writeFile(dir.file("short.tcl"), "puts -nonewline hi\n");
  const std::string full = "ERROR: [shell] error writing \"stdout\": no space left on device\n";
  const struct {
    const char* setup;  // shell commands before the program
    std::vector<std::string> args;
    const char* redirect;  // of the program's standard input and output
    std::string err;       // the start of standard error
  } cases[] = {
      {"ulimit -f 1;", {DRAVIK_BIN, "-mode", "tcl", "-log", "l.log", "-source", "lines.tcl"},
       "> /dev/null", "ERROR: [shell] cannot write log file \"l.log\": file too large\n"},
      {"ulimit -v 400000;", {QUINDLE_BIN, "-nolog", "-source", "memory.tcl"}, "> /dev/null",
       "ERROR: [shell] "},
      {"", {DRAVIK_BIN, "-nolog"}, "< . > /dev/null",
       "ERROR: [shell] error reading \"stdin\": illegal operation on a directory\n"},
      {"", {DRAVIK_BIN, "-nolog", "-source", "short.tcl"}, "> /dev/full", full},
      {"", {KVEL_BIN, "top", "-nolog", "-testplusarg", std::string(9000, 'x')}, ">/dev/full", full},
      {"", {KVEL_BIN, "top", "-nolog"}, "> /dev/full", full},
      {"", {KVEL_BIN, "snap\xff", "-nolog"}, "",
       "ERROR: [shell] argument \"-source\" value \"{kvel.dir/snap\xff/kvel_script.tcl}\" is not "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.redirect);
#ifdef __SANITIZE_ADDRESS__
    if (std::string(c.setup).find("ulimit -v") != std::string::npos) {
      std::cout << "(skipped running out of memory: the sanitizer reserves more address space)\n";
      continue;
    }
#endif
    std::vector<std::string> args{"-c", std::string(c.setup) + " \"$0\" \"$@\" " + c.redirect +
                                            " 2>err.txt; echo \"status=$?\""};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunOptions options;
    options.cwd = dir.path();
    EXPECT_EQ("status=1\n", testsupport::run("/bin/sh", args, options).out);
    const std::string err = readFile(dir.file("err.txt"));
    EXPECT_EQ(c.err, err.substr(0, c.err.size())) << err;
  }
}

INSTANTIATE_TEST_SUITE_P(Launchers, StandinProgramTest, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<Program>& info) {
                           return std::string(info.param.app);
                         });

}  // namespace
