// Text beyond ASCII through the shipped kvel and the stand-in shell: every
// place a user types a name or value, with each sample text ("@" in a row).
// The words the simulator's `kvel` command receives and the files on disk
// must hold exactly what was typed.
#include <tcl.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"
#include "tests/support/text_samples.h"

namespace {

using testsupport::TextSample;
typedef std::vector<std::string> Words;

// The words of each "kvel: ..." line of the shell's output.
std::vector<Words> simulatorCalls(const std::string& out) {
  std::vector<Words> calls;
  for (std::string::size_type start = 0, end; start < out.size(); start = end + 1) {
    end = std::min(out.find('\n', start), out.size());
    int count = 0;
    const char** elements = nullptr;
    if (out.compare(start, 6, "kvel: ") == 0 &&
        Tcl_SplitList(nullptr, out.substr(start + 6, end - start - 6).c_str(), &count,
                      &elements) == TCL_OK) {
      calls.emplace_back(elements, elements + count);
      Tcl_Free(reinterpret_cast<char*>(elements));
    }
  }
  return calls;
}

enum Encoding { kUtf8, kUtf8Mark, kUtf16Le, kUtf16Be };

struct Row {
  const char* name;
  std::map<std::string, std::string> files;  // beside kvel.dir/top/kvelk.exe; *.f in `encoding`
  Words args;
  Words words;                           // the simulator's
  Words made;                            // files that must exist afterwards
  std::map<std::string, std::string> env;
  std::string cwd;
  Encoding encoding = kUtf8;
  bool shellOpensText = false;           // the shell opens a path holding the text
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

const char kOpts[] = "-testplusarg P=@\n-tclbatch \"t @.tcl\"\n";
const Words kOptWords = {"top", "-testplusarg", "P=@", "-autoloadwcfg", "-tclbatch", "t @.tcl"};

const Row kRows[] = {
    {"SnapshotName", {{"kvel.dir/s_@/kvelk.exe", ""}}, {"s_@"}, {"s_@", "-autoloadwcfg"},
     {"kvel.dir/s_@/kvel_script.tcl"}, {}, "", kUtf8, true},
    {"WorkingFolder", {{"w_@/kvel.dir/top/kvelk.exe", ""}}, {"top"}, {"top", "-autoloadwcfg"},
     {"w_@/kvel.dir/top/kvel_script.tcl", "w_@/kvel.log"}, {}, "w_@"},
    {"WaveformDatabase", {{"w @.wdb", ""}}, {"w @.wdb", "-wdb", "d@.wdb"},
     {"w @.wdb", "-wdb", "d@.wdb", "-autoloadwcfg"}, {"kvel.dir/w @.wdb/kvel_script.tcl"}, {}, "",
     kUtf8, true},
    {"CommandFileUtf8", {{"o_@.f", kOpts}}, {"top", "-f", "o_@.f"}, kOptWords, {}, {}, ""},
    {"CommandFileUtf8WithMark", {{"o_@.f", kOpts}}, {"top", "-f", "o_@.f"}, kOptWords, {}, {}, "",
     kUtf8Mark},
    {"CommandFileUtf16LittleEndian", {{"o_@.f", kOpts}}, {"top", "-f", "o_@.f"}, kOptWords, {}, {},
     "", kUtf16Le},
    {"CommandFileUtf16BigEndian", {{"o_@.f", kOpts}}, {"top", "-f", "o_@.f"}, kOptWords, {}, {}, "",
     kUtf16Be},
    {"CommandFileWordsBeginningWithTheText", {{"c.f", "-testplusarg @ -tclbatch @.tcl\n"}},
     {"top", "-f", "c.f"}, {"top", "-testplusarg", "@", "-autoloadwcfg", "-tclbatch", "@.tcl"},
     {}, {}, ""},
    {"EnvironmentValue", {{"e.f", "-testplusarg V=$TEXT_VALUE\n-tclbatch ${TEXT_VALUE}.tcl\n"}},
     {"top", "-f", "e.f"}, {"top", "-testplusarg", "V=@", "-autoloadwcfg", "-tclbatch", "@.tcl"},
     {}, {{"TEXT_VALUE", "@"}}, ""},
    // The entry comes back as a complete path: compared from "dd_" on.
    {"DataDirectoryEntry", {{"dd_@/b_@.tcl", ""}, {"d.f", "-tclbatch $ZEK_DATADIR/b_@.tcl\n"}},
     {"top", "-f", "d.f"}, {"top", "-autoloadwcfg", "-tclbatch", "dd_@/b_@.tcl"}, {},
     {{"ZEK_DATADIR", "none_@;dd_@"}}, ""},
    {"LogName", {}, {"top", "-log", "l @.log"}, {"top", "-autoloadwcfg"}, {"l @.log"}, {}, "",
     kUtf8, true},
    {"BatchAndViewValues", {}, {"top", "-tclbatch", "@{.tcl", "-view", "@.wcfg"},
     {"top", "-view", "{@.wcfg}", "-tclbatch", "@{.tcl"}, {}, {}, ""},
};

std::string fill(std::string text, const std::string& s) {
  for (std::string::size_type at; (at = text.find('@')) != std::string::npos;)
    text.replace(at, 1, s);
  return text;
}
Words fill(Words words, const std::string& s) {
  for (std::string& word : words)
    word = fill(word, s);
  return words;
}

class KvelText : public ::testing::TestWithParam<std::tuple<Row, TextSample>> {};

TEST_P(KvelText, ArrivesUnchanged) {
  const Row& row = std::get<0>(GetParam());
  const std::string s = std::get<1>(GetParam()).text;
  testsupport::TempDir dir;
  testsupport::writeFile(dir.file("kvel.dir/top/kvelk.exe"), "");
  for (const auto& file : row.files) {
    std::string content = fill(file.second, s);
    if (file.first.size() > 2 && file.first.compare(file.first.size() - 2, 2, ".f") == 0) {
      if (row.encoding == kUtf8Mark)
        content = "\xEF\xBB\xBF" + content;
      else if (row.encoding != kUtf8)
        content = testsupport::utf16WithMark(content, row.encoding == kUtf16Be);
    }
    testsupport::writeFile(dir.file(fill(file.first, s)), content);
  }
  testsupport::RunOptions options;
  options.cwd = dir.file(fill(row.cwd, s));
  for (const auto& var : row.env)
    options.setEnv[var.first] = fill(var.second, s);
  testsupport::RunResult r = testsupport::run(KVEL_BIN, fill(row.args, s), options);
  std::vector<Words> calls = simulatorCalls(r.out);
  if (row.shellOpensText && testsupport::shellCannotOpen(s)) {
    // One clear error from the shell, never a run on another file.
    EXPECT_EQ(1, r.exitStatus) << r.out << r.err;
    EXPECT_NE(std::string::npos, r.err.find("ERROR: [shell] ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(s)) << r.err;
    EXPECT_EQ(std::vector<Words>{}, calls) << r.out;
    return;
  }
  for (Words& call : calls)
    for (std::string& word : call)
      if (word.find("dd_") != std::string::npos && word.find("dd_") > 0) {
        word.erase(0, word.find("dd_"));
        for (char& c : word)
          c = c == '\\' ? '/' : c;
      }
  EXPECT_EQ(0, r.exitStatus) << r.out << r.err;
  EXPECT_EQ(std::vector<Words>{fill(row.words, s)}, calls) << r.out << r.err;
  for (const std::string& file : fill(row.made, s))
    EXPECT_TRUE(testsupport::fileExists(dir.file(file))) << file;
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, KvelText,
    ::testing::Combine(::testing::ValuesIn(kRows), ::testing::ValuesIn(testsupport::textSamples())),
    [](const ::testing::TestParamInfo<std::tuple<Row, TextSample>>& info) {
      return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

}  // namespace
