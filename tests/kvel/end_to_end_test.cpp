// The shipped kvel with the stand-in shell: the run script, the words that
// reach the simulator's `kvel` command, and the log the shell keeps.
#include <tcl.h>

#include <cstdio>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"
#include "tests/support/boundary_characters.h"

namespace {

using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::fileExists;
using testsupport::readFile;
using testsupport::writeFile;

const std::string kKvel = KVEL_BIN;
typedef std::vector<std::string> Words;

// The elements of a Tcl list, or a failure when the text is not one.
::testing::AssertionResult splitTclList(const std::string& text, Words& words) {
  int count = 0;
  const char** elements = nullptr;
  if (Tcl_SplitList(nullptr, text.c_str(), &count, &elements) != TCL_OK)
    return ::testing::AssertionFailure() << "not a Tcl list: " << text;
  words.assign(elements, elements + count);
  Tcl_Free(reinterpret_cast<char*>(elements));
  return ::testing::AssertionSuccess();
}

// The lines of the shell's output that report a `kvel` command, as words.
std::vector<Words> simulatorCalls(const std::string& out) {
  std::vector<Words> calls;
  std::string::size_type start = 0;
  while (start < out.size()) {
    std::string::size_type end = out.find('\n', start);
    if (end == std::string::npos)
      end = out.size();
    std::string line = out.substr(start, end - start);
    if (line.compare(0, 6, "kvel: ") == 0) {
      Words words;
      EXPECT_TRUE(splitTclList(line.substr(6), words));
      calls.push_back(words);
    }
    start = end + 1;
  }
  return calls;
}

class EndToEnd : public ::testing::Test {
protected:
  void kernel(const std::string& snapshot) { ws_.kernel(snapshot); }
  RunResult run(const std::vector<std::string>& args, RunOptions options = RunOptions()) {
    return ws_.run(kKvel, args, options);
  }
  std::string path(const std::string& relative) const { return ws_.path(relative); }

  testsupport::LaunchWorkspace ws_;
};

struct Launch {
  const char* name;
  std::vector<std::string> args;
  const char* snapshot;  // the directory under kvel.dir holding the kernel
  const char* script;    // the run script's content
  Words words;           // what the simulator's command receives
};

const Launch kLaunches[] = {
    {"Plain", {"top"}, "top", "kvel {top} -autoloadwcfg\n", {"top", "-autoloadwcfg"}},
    {"Retried", {"top", "-R"}, "work.top", "kvel {work.top} -autoloadwcfg -runall\n",
     {"work.top", "-autoloadwcfg", "-runall"}},
    {"SnapshotWithBlank", {"my top"}, "my top", "kvel {my top} -autoloadwcfg\n",
     {"my top", "-autoloadwcfg"}},
    {"BracedValuesStayOneWord",
     {"top", "-wdb", "my waves.wdb", "-tclbatch", "run [1].tcl", "-vcdfile", "a$b.vcd"}, "top",
     "kvel {top} -vcdfile {a$b.vcd} -wdb {my waves.wdb} -autoloadwcfg -tclbatch {run [1].tcl}\n",
     {"top", "-vcdfile", "a$b.vcd", "-wdb", "my waves.wdb", "-autoloadwcfg", "-tclbatch",
      "run [1].tcl"}},
    {"BareValuesSplitAtBlanks", {"top", "-testplusarg", "A=1 B=2", "-onfinish", "quit"}, "top",
     "kvel {top} -testplusarg A=1 B=2 -autoloadwcfg -onfinish quit\n",
     {"top", "-testplusarg", "A=1", "B=2", "-autoloadwcfg", "-onfinish", "quit"}},
    {"ViewIsAOneElementList", {"top", "-gui", "-view", "a b.wcfg", "-view", "c.wcfg"}, "top",
     "load_feature core\ncurrent_fileset\nkvel {top} -view {{a b.wcfg}} -view {{c.wcfg}}\n",
     {"top", "-view", "{a b.wcfg}", "-view", "{c.wcfg}"}},
    {"Numbers", {"top", "-maxdeltaid", "0", "-maxlogsize", "3", "-internaldebuglevel", "-1"}, "top",
     "kvel {top} -maxdeltaid 0 -maxlogsize 3 -autoloadwcfg -internaldebuglevel 4294967295\n",
     {"top", "-maxdeltaid", "0", "-maxlogsize", "3", "-autoloadwcfg", "-internaldebuglevel",
      "4294967295"}},
    {"HiddenOptions", {"top", "-simmode", "test", "-key", "K1", "-quindle", "-socket", "9"}, "top",
     "kvel {top} -autoloadwcfg -quindle -simmode test -key K1\n",
     {"top", "-autoloadwcfg", "-quindle", "-simmode", "test", "-key", "K1"}},
};

void PrintTo(const Launch& c, std::ostream* os) { *os << c.name; }

class LaunchTable : public EndToEnd, public ::testing::WithParamInterface<Launch> {};

TEST_P(LaunchTable, ScriptAndSimulatorWords) {
  const Launch& c = GetParam();
  kernel(c.snapshot);
  RunResult r = run(c.args);
  ASSERT_FALSE(r.signaled) << r.signal;
  EXPECT_EQ(0, r.exitStatus) << r.out << r.err;
  EXPECT_EQ(testsupport::onDisk(c.script),
            readFile(path(std::string("kvel.dir/") + c.snapshot + "/kvel_script.tcl")));
  EXPECT_EQ(std::vector<Words>{c.words}, simulatorCalls(r.out)) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Cases, LaunchTable, ::testing::ValuesIn(kLaunches),
                         [](const ::testing::TestParamInfo<Launch>& info) {
                           return std::string(info.param.name);
                         });

// The run of the introduction, word for word.
TEST_F(EndToEnd, TypicalRun) {
  kernel("work.top");
  writeFile(path("opts.txt"), "-testplusarg SEED=$SEED\n");
  RunOptions options;
  options.setEnv["SEED"] = "7";
  RunResult r = run({"top", "-tclbatch", "run.tcl", "-f", "opts.txt"}, options);
  EXPECT_EQ(0, r.exitStatus) << r.err;
  EXPECT_EQ(testsupport::onDisk("kvel {work.top} -testplusarg SEED=7 -autoloadwcfg -tclbatch {run.tcl}\n"),
            readFile(path("kvel.dir/work.top/kvel_script.tcl")));
  EXPECT_EQ((std::vector<Words>{{"work.top", "-testplusarg", "SEED=7", "-autoloadwcfg",
                                 "-tclbatch", "run.tcl"}}),
            simulatorCalls(r.out));
  EXPECT_EQ(0u, testsupport::ownScriptShown(testsupport::readTextFile(path("kvel.log")))
                    .find("# kvel -mode tcl -source {<own>}\n"
                          "# front end: attached\n"));
}

// The shell's log header repeats the arguments kvel handed over.
TEST_F(EndToEnd, LogHeaderShowsTheShellArguments) {
  const struct {
    std::vector<std::string> args;
    const char* logFile;  // null: no log expected
    const char* header;
  } cases[] = {
      {{"top"}, "kvel.log", "# kvel -mode tcl -source {<own>}\n"},
      {{"top", "-log", "run.log"}, "run.log", "# kvel -log run.log -mode tcl -source {<own>}\n"},
      {{"-gui", "top", "-log", "g.log"}, "g.log", "# kvel -log g.log -source {<own>}\n"},
      {{"top", "-nolog"}, nullptr, ""},
      {{"top", "-log", "run.log", "-nolog"}, nullptr, ""},
  };
  kernel("top");
  for (const auto& c : cases) {
    std::remove(path("kvel.log").c_str());
    std::remove(path("run.log").c_str());
    std::remove(path("g.log").c_str());
    RunResult r = run(c.args);
    EXPECT_EQ(0, r.exitStatus) << r.err;
    ASSERT_EQ(1u, simulatorCalls(r.out).size()) << r.out;
    if (!c.logFile) {
      EXPECT_FALSE(fileExists(path("kvel.log")));
      EXPECT_FALSE(fileExists(path("run.log")));
      continue;
    }
    std::string log = testsupport::ownScriptShown(testsupport::readTextFile(path(c.logFile)));
    EXPECT_EQ(0u, log.find(std::string(c.header) + "# front end: attached\n")) << log;
    EXPECT_NE(std::string::npos, log.find("\nkvel: top -autoloadwcfg\n")) << log;
  }
}

// The shell's log through kvel: a log that is the record of the run script,
// under any name, is refused before the record is emptied, and a log that
// cannot be written turns the run's status into 1 (the simulation itself
// still runs).
TEST_F(EndToEnd, LogThatIsTheScriptOrCannotBeWritten) {
  kernel("top");
  const std::string script = "kvel.dir/top/kvel_script.tcl";
  std::vector<std::string> logs{script, "./kvel.dir/../kvel.dir/top/kvel_script.tcl"};
  if (!testsupport::kWindows) {  // Wine makes no symbolic links.
    writeFile(path(script), "");
    boost::filesystem::create_symlink(script, path("record.log"));
    logs.push_back("record.log");
  }
  for (const std::string& log : logs) {
    RunResult r = run({"top", "-testplusarg", "\xd0\x96" + log, "-log", log});
    EXPECT_EQ(1, r.exitStatus) << log;
    EXPECT_EQ("ERROR: [shell] log file \"" + log + "\" is the -source script; not overwritten\n",
              r.err);
    EXPECT_TRUE(simulatorCalls(r.out).empty()) << r.out;
    EXPECT_EQ(testsupport::onDisk("kvel {top} -testplusarg \xd0\x96" + log + " -autoloadwcfg\n"),
              readFile(path(script)));
    EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl", "kvelk.exe"}), ws_.list("kvel.dir/top"));
  }
  RunResult r;

  if (!testsupport::kWindows) {  // Windows has no device that fails every write.
    r = run({"top", "-log", "/dev/full"});
    EXPECT_EQ(1, r.exitStatus);
    EXPECT_EQ("ERROR: [shell] cannot write log file \"/dev/full\": no space left on device\n", r.err);
    EXPECT_EQ(1u, simulatorCalls(r.out).size()) << r.out;
  }
}

// A long command with one character beyond ASCII at a chosen byte of the run
// script, near the shell's read buffer boundaries (4 KB and its multiples)
// that once cut an emoji: every word reaches the simulator's command and the
// log exactly. The words come from a command file, as a long run's do.
TEST_F(EndToEnd, CharacterAtReadBufferBoundariesReachesOutputAndLogExactly) {
  const struct {
    const char* name;
    std::size_t offset;  // of the character's first byte in the run script
  } places[] = {
      {"4K-3", 4093},   {"4K-2", 4094},   {"4K-1", 4095},   {"4K", 4096},
      {"4K+1", 4097},   {"4K+2", 4098},   {"4K+3", 4099},   {"32K-3", 32765},
      {"32K-2", 32766}, {"32K-1", 32767}, {"32K", 32768},   {"32K+1", 32769},
      {"32K+3", 32771}, {"64K-3", 65533}, {"64K-2", 65534}, {"64K-1", 65535},
      {"64K", 65536},   {"64K+1", 65537}, {"64K+3", 65539},
  };
  kernel("top");
  RunOptions options;
  if (!testsupport::kWindows)
    options.setEnv["LC_ALL"] = "C.UTF-8";  // the shell reads the script as UTF-8
  const std::string head = "kvel {top}", switchWord = " -testplusarg ";
  for (const auto& character : testsupport::kBoundaryCharacters) {
    for (const auto& place : places) {
      SCOPED_TRACE(std::string(character.name) + " at " + place.name);
      // Filler values of 86 to 199 bytes, then "c=<character>!".
      std::size_t room = place.offset - head.size() - switchWord.size() - 2;
      Words words{"top"};
      std::string commands;
      while (room > 0) {
        const std::size_t length = room >= 200 + switchWord.size() ? 86 : room - switchWord.size();
        std::string word = std::to_string(words.size());
        word.resize(length, 'x');
        words.insert(words.end(), {"-testplusarg", word});
        commands += "-testplusarg " + word + "\n";
        room -= switchWord.size() + length;
      }
      const std::string last = std::string("c=") + character.utf8 + "!";
      words.insert(words.end(), {"-testplusarg", last, "-testplusarg", "tail", "-autoloadwcfg"});
      writeFile(path("opts.f"), commands + "-testplusarg " + last + "\n-testplusarg tail\n");
      std::remove(path("kvel.log").c_str());

      RunResult r = run({"top", "-f", "opts.f"}, options);
      EXPECT_EQ(0, r.exitStatus) << r.err;
      const std::string script = readFile(path("kvel.dir/top/kvel_script.tcl"));
      ASSERT_EQ(place.offset, script.find(character.utf8)) << "the character is elsewhere";
      EXPECT_EQ(std::vector<Words>{words}, simulatorCalls(r.out));
      EXPECT_EQ(std::vector<Words>{words},
                simulatorCalls(testsupport::readTextFile(path("kvel.log"))));
    }
  }
}

}  // namespace
