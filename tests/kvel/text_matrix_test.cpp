// Text beyond ASCII through the shipped kvel and the stand-in shell: every
// place a user types a name or value, with each sample text. The words the
// simulator's `kvel` command receives and the files on disk must hold exactly
// what was typed.
#include <tcl.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launch_workspace.h"
#include "tests/support/text_samples.h"

namespace {

using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::TextSample;
typedef std::vector<std::string> Words;

const std::string kKvel = KVEL_BIN;

// The words of each "kvel: ..." line of the shell's output.
std::vector<Words> simulatorCalls(const std::string& out) {
  std::vector<Words> calls;
  std::string::size_type start = 0;
  while (start < out.size()) {
    std::string::size_type end = out.find('\n', start);
    if (end == std::string::npos)
      end = out.size();
    const std::string line = out.substr(start, end - start);
    int count = 0;
    const char** elements = nullptr;
    if (line.compare(0, 6, "kvel: ") == 0 &&
        Tcl_SplitList(nullptr, line.c_str() + 6, &count, &elements) == TCL_OK) {
      calls.emplace_back(elements, elements + count);
      Tcl_Free(reinterpret_cast<char*>(elements));
    }
    start = end + 1;
  }
  return calls;
}

// What one row sets up for a sample text s, and what must come out.
struct Launch {
  Words args;
  RunOptions options;    // cwd relative to the workspace
  Words words;           // the simulator's words
  Words files;           // files that must exist afterwards, relative to the workspace
  bool shellOpensText = false;  // the shell opens a path holding the text
};

struct Row {
  const char* name;
  std::function<Launch(testsupport::LaunchWorkspace&, const std::string& s)> prepare;
};

// A command file holding `content` with options naming s, and the words it gives.
Launch commandFile(testsupport::LaunchWorkspace& ws, const std::string& s,
                   const std::string& bytes) {
  ws.kernel("top");
  ws.file("o_" + s + ".f", bytes);
  return {{"top", "-f", "o_" + s + ".f"}, {},
          {"top", "-testplusarg", "P=" + s, "-autoloadwcfg", "-tclbatch", "t " + s + ".tcl"}, {}};
}
std::string optionsText(const std::string& s) {
  return "-testplusarg P=" + s + "\n-tclbatch \"t " + s + ".tcl\"\n";
}

const Row kRows[] = {
    {"SnapshotName",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       ws.kernel("snap_" + s);
       return Launch{{"snap_" + s}, {}, {"snap_" + s, "-autoloadwcfg"},
                     {"kvel.dir/snap_" + s + "/kvel_script.tcl", "kvel.log"}, true};
     }},
    {"WorkingFolder",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       ws.file("w_" + s + "/kvel.dir/top/kvelk.exe");
       RunOptions o;
       o.cwd = "w_" + s;
       return Launch{{"top"}, o, {"top", "-autoloadwcfg"},
                     {"w_" + s + "/kvel.dir/top/kvel_script.tcl", "w_" + s + "/kvel.log"}};
     }},
    {"WaveformDatabase",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       ws.file("waves " + s + ".wdb");
       return Launch{{"waves " + s + ".wdb", "-wdb", "d" + s + ".wdb"}, {},
                     {"waves " + s + ".wdb", "-wdb", "d" + s + ".wdb", "-autoloadwcfg"},
                     {"kvel.dir/waves " + s + ".wdb/kvel_script.tcl"}, true};
     }},
    {"CommandFileUtf8",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       return commandFile(ws, s, optionsText(s));
     }},
    {"CommandFileUtf8WithMark",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       return commandFile(ws, s, "\xEF\xBB\xBF" + optionsText(s));
     }},
    {"CommandFileUtf16LittleEndian",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       return commandFile(ws, s, testsupport::utf16WithMark(optionsText(s), false));
     }},
    {"CommandFileUtf16BigEndian",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       return commandFile(ws, s, testsupport::utf16WithMark(optionsText(s), true));
     }},
    {"CommandFileWordsBeginningWithTheText",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       ws.kernel("top");
       ws.file("c.f", "-testplusarg " + s + " -tclbatch " + s + ".tcl\n");
       return Launch{{"top", "-f", "c.f"}, {},
                     {"top", "-testplusarg", s, "-autoloadwcfg", "-tclbatch", s + ".tcl"}, {}};
     }},
    {"EnvironmentValue",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       ws.kernel("top");
       ws.file("e.f", "-testplusarg V=$TEXT_VALUE\n-tclbatch ${TEXT_VALUE}.tcl\n");
       RunOptions o;
       o.setEnv["TEXT_VALUE"] = s;
       return Launch{{"top", "-f", "e.f"}, o,
                     {"top", "-testplusarg", "V=" + s, "-autoloadwcfg", "-tclbatch", s + ".tcl"},
                     {}};
     }},
    {"DataDirectoryEntry",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       ws.kernel("top");
       ws.file("dd_" + s + "/b_" + s + ".tcl");
       ws.file("d.f", "-tclbatch $ZEK_DATADIR/b_" + s + ".tcl\n");
       RunOptions o;
       o.setEnv["ZEK_DATADIR"] = "none_" + s + ";dd_" + s;
       return Launch{{"top", "-f", "d.f"}, o,
                     {"top", "-autoloadwcfg", "-tclbatch", "dd_" + s + "/b_" + s + ".tcl"}, {}};
     }},
    {"LogName",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       ws.kernel("top");
       return Launch{{"top", "-log", "l " + s + ".log"}, {}, {"top", "-autoloadwcfg"},
                     {"l " + s + ".log"}, true};
     }},
    {"BatchAndViewValues",
     [](testsupport::LaunchWorkspace& ws, const std::string& s) {
       ws.kernel("top");
       return Launch{{"top", "-tclbatch", s + "{.tcl", "-view", s + ".wcfg"}, {},
                     {"top", "-view", "{" + s + ".wcfg}", "-tclbatch", s + "{.tcl"}, {}};
     }},
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class KvelText : public ::testing::TestWithParam<std::tuple<Row, TextSample>> {};

TEST_P(KvelText, ArrivesUnchanged) {
  const Row& row = std::get<0>(GetParam());
  const std::string s = std::get<1>(GetParam()).text;
  testsupport::LaunchWorkspace ws;
  Launch launch = row.prepare(ws, s);
  RunOptions options = launch.options;
  options.cwd = ws.path(options.cwd);
  RunResult r = testsupport::run(kKvel, launch.args, options);
  if (launch.shellOpensText && testsupport::shellCannotOpen(s)) {
    // One clear error from the shell, never a run on another file.
    EXPECT_EQ(1, r.exitStatus) << r.out << r.err;
    EXPECT_NE(std::string::npos, r.err.find("ERROR: [shell] ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(s)) << r.err;
    EXPECT_EQ(std::vector<Words>{}, simulatorCalls(r.out)) << r.out;
    return;
  }
  EXPECT_EQ(0, r.exitStatus) << r.out << r.err;
  std::vector<Words> calls = simulatorCalls(r.out);
  // A data-directory entry comes back as a complete path: compare from the
  // entry's own name on, with "/" as separator.
  for (Words& call : calls)
    for (std::string& word : call) {
      const std::string::size_type entry = word.find("dd_");
      if (entry != std::string::npos && entry > 0) {
        word.erase(0, entry);
        for (char& c : word)
          c = c == '\\' ? '/' : c;
      }
    }
  EXPECT_EQ(std::vector<Words>{launch.words}, calls) << r.out << r.err;
  for (const std::string& file : launch.files)
    EXPECT_TRUE(testsupport::fileExists(ws.path(file))) << file;
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, KvelText,
    ::testing::Combine(::testing::ValuesIn(kRows), ::testing::ValuesIn(testsupport::textSamples())),
    [](const ::testing::TestParamInfo<std::tuple<Row, TextSample>>& info) {
      return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

}  // namespace
