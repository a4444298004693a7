// The stand-in shell through the real programs where only POSIX can make the
// fault: a device that fails every write (/dev/full), a file-size limit
// (ulimit -f), a folder as standard input and names that are no text.
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/framework/standin_program_fixture.h"
#include "tests/support/launch_workspace.h"

namespace standintest {
namespace {

using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::readFile;
using testsupport::writeFile;

// A log that cannot be written: the run goes on and its output still reaches
// standard output, but the failure is reported once and a run that would
// have succeeded ends with 1. Another status stays.
TEST_P(StandinProgramTest, LogWriteFailureEndsWithStatusOne) {
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

// Faults met while the shell runs end with one "ERROR: [shell]" line and
// status 1; a snapshot name that is no text never runs another's script.
TEST(StandinFaultTest, FaultsEndWithAnErrorLineAndStatusOne) {
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
      // The private folder's place with the same byte in its name.
      {"mkdir -p t\xff; TMPDIR=\"$PWD/t\xff\"", {KVEL_BIN, "snap\xff", "-nolog"}, "",
       "ERROR: [shell] argument \"-source\" value \"{<own>}\" is not "},
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
    EXPECT_EQ(c.err, testsupport::ownScriptShown(err).substr(0, c.err.size())) << err;
  }
}

}  // namespace
}  // namespace standintest
