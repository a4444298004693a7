// Text beyond ASCII through the shipped dravik and quindle with the stand-in
// shell, through tarnlet, and the refusal of text the process code page
// cannot hold.
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"
#include "tests/support/text_samples.h"

namespace {

using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::TextSample;
using testsupport::TempDir;

// Writes a file named after its first argument, holding that argument, and
// one naming the script's own name as the shell saw it.
const char kScript[] =
    "set a [lindex $argv 0]\n"
    "set f [open out_$a.txt w]; puts -nonewline $f $a; close $f\n"
    "set f [open source.txt w]; puts -nonewline $f [file tail [info script]]; close $f\n"
    "exit 0\n";

struct ShellRow {
  const char* name;
  const char* program;
  bool bracedSource;  // -source {name}: the braced form, unwrapped by the shell
};

const ShellRow kShellRows[] = {
    {"Dravik", DRAVIK_BIN, false},
    {"DravikBracedSource", DRAVIK_BIN, true},
    {"Quindle", QUINDLE_BIN, false},
};

void PrintTo(const ShellRow& row, std::ostream* os) { *os << row.name; }

class ShellText : public ::testing::TestWithParam<std::tuple<ShellRow, TextSample>> {};

TEST_P(ShellText, ArgumentsSourceAndLogArriveUnchanged) {
  const ShellRow& row = std::get<0>(GetParam());
  const std::string s = std::get<1>(GetParam()).text;
  TempDir dir;
  const std::string script = "src " + s + ".tcl", source = "f_" + s + "/" + script;
  testsupport::writeFile(dir.file(source), kScript);
  RunOptions options;
  options.cwd = dir.path();
  RunResult r = testsupport::run(row.program,
                                 {"-mode", "tcl", "-log", "lg " + s + ".log", "-source",
                                  row.bracedSource ? "{" + source + "}" : source, "-tclargs",
                                  "a_" + s},
                                 options);
  if (testsupport::shellCannotOpen(s)) {
    EXPECT_EQ(1, r.exitStatus) << r.out << r.err;
    EXPECT_NE(std::string::npos, r.err.find("ERROR: [shell] ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(s)) << r.err;
    return;
  }
  EXPECT_EQ(0, r.exitStatus) << r.out << r.err;
  EXPECT_EQ("a_" + s, testsupport::readFile(dir.file("out_a_" + s + ".txt")));
  EXPECT_EQ(script, testsupport::readFile(dir.file("source.txt")));
  EXPECT_TRUE(testsupport::fileExists(dir.file("lg " + s + ".log")));
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, ShellText,
    ::testing::Combine(::testing::ValuesIn(kShellRows),
                       ::testing::ValuesIn(testsupport::textSamples())),
    [](const ::testing::TestParamInfo<std::tuple<ShellRow, TextSample>>& info) {
      return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
    });

class ProxyText : public ::testing::TestWithParam<TextSample> {};

TEST_P(ProxyText, TarnletPrintsTheProxyValue) {
  const std::string s = GetParam().text;
  RunOptions options;
  options.unsetEnv = {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "ZEK_MSG_INIT_FAIL"};
  options.setEnv["https_proxy"] = "http://" + s + ".example:3128";
  RunResult r = testsupport::run(TARNLET_BIN, {"-x" + s}, options);
  EXPECT_EQ(0, r.exitStatus) << r.err;
  EXPECT_EQ("Proxy=http://" + s + ".example:3128\n", r.out);
}

INSTANTIATE_TEST_SUITE_P(Samples, ProxyText, ::testing::ValuesIn(testsupport::textSamples()),
                         [](const ::testing::TestParamInfo<TextSample>& info) {
                           return std::string(info.param.name);
                         });

// A program without the UTF-8 manifest, in whatever code page the system
// gives it: a character that code page cannot hold is refused, never
// replaced. Where the bytes arrive as they are (POSIX, UTF-8), all pass.
struct HeldRow {
  const char* name;
  const char* text;
  std::vector<unsigned> heldBy;  // ANSI code pages holding it (UTF-8 holds all)
};

const HeldRow kHeldRows[] = {
    {"Ascii", "plain", {1251, 1252, 932}},
    {"Accented", "\xC3\xA9t\xC3\xA9", {1252}},
    {"Cyrillic", "\xD0\x96\xD1\x83\xD0\xBA", {1251, 932}},
    {"Cjk", "\xE6\x97\xA5\xE6\x9C\xAC", {932}},
    {"Emoji", "\xF0\x9F\x98\x80", {}},
};

void PrintTo(const HeldRow& row, std::ostream* os) { *os << row.name; }

class CodePageRefusal : public ::testing::TestWithParam<HeldRow> {};

TEST_P(CodePageRefusal, ArgumentAndEnvironmentValue) {
  const HeldRow& row = GetParam();
  // The probe reports its code page first ("0" off Windows: bytes pass as they are).
  RunResult page = testsupport::run(TEXT_PROBE_BIN, {"plain"});
  ASSERT_EQ(0, page.exitStatus) << page.out;
  const unsigned codePage = static_cast<unsigned>(std::stoul(page.out));
  bool held = codePage == 0 || codePage == 65001;
  for (unsigned c : row.heldBy)
    held = held || c == codePage;
  for (int asEnvironment = 0; asEnvironment < 2; ++asEnvironment) {
    SCOPED_TRACE(asEnvironment ? "environment value" : "argument");
    RunOptions options;
    if (asEnvironment)
      options.setEnv["TEXT_PROBE"] = row.text;
    RunResult r = testsupport::run(TEXT_PROBE_BIN, {asEnvironment ? "plain" : row.text}, options);
    if (held) {
      EXPECT_EQ(0, r.exitStatus) << r.out;
    } else {
      EXPECT_EQ(1, r.exitStatus) << r.out;
      EXPECT_NE(std::string::npos, r.out.find("\nERROR: ")) << r.out;
      EXPECT_NE(std::string::npos, r.out.find(std::to_string(codePage))) << r.out;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, CodePageRefusal, ::testing::ValuesIn(kHeldRows),
                         [](const ::testing::TestParamInfo<HeldRow>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
