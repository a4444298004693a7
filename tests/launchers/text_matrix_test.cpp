// Text beyond ASCII through the shipped dravik and quindle with the stand-in
// shell, through tarnlet, and the refusal of text the process code page
// cannot hold.
#include <algorithm>
#include <string>

#include "tests/support/text_samples.h"

namespace {

using testsupport::RunOptions;
using testsupport::RunResult;
using testsupport::TextMatrix;
using testsupport::TextRow;
using testsupport::TextSample;

// Writes a file named after its first argument, holding that argument, and
// one naming the script's own name as the shell saw it.
const char kScript[] =
    "set a [lindex $argv 0]\n"
    "set f [open out_$a.txt w]; puts -nonewline $f $a; close $f\n"
    "set f [open source.txt w]; puts -nonewline $f [file tail [info script]]; close $f\n"
    "exit 0\n";
const std::map<std::string, std::string> kMade = {
    {"out_a_@.txt", "a_@"}, {"source.txt", "src @.tcl"}, {"lg @.log", ""}};

TextRow shellRow(const char* name, const char* program, const std::string& source) {
  return {name, program, {{"f_@/src @.tcl", kScript}},
          {"-mode", "tcl", "-log", "lg @.log", "-source", source, "-tclargs", "a_@"}, {}, kMade,
          {}, "", testsupport::kUtf8, true};
}

const TextRow kRows[] = {
    shellRow("Dravik", DRAVIK_BIN, "f_@/src @.tcl"),
    // The braced form, unwrapped by the shell.
    shellRow("DravikBracedSource", DRAVIK_BIN, "{f_@/src @.tcl}"),
    shellRow("Quindle", QUINDLE_BIN, "f_@/src @.tcl"),
    {"Tarnlet", TARNLET_BIN, {}, {"-x@"}, {}, {}, {{"https_proxy", "http://@.example:3128"}}, "",
     testsupport::kUtf8, false, "Proxy=http://@.example:3128\n"},
};

INSTANTIATE_TEST_SUITE_P(Launchers, TextMatrix,
                         ::testing::Combine(::testing::ValuesIn(kRows),
                                            ::testing::ValuesIn(testsupport::textSamples())),
                         testsupport::textRowName);

// A program without the UTF-8 manifest, in whatever code page the system
// gives it: a character that code page cannot hold is refused, never
// replaced. Where the bytes arrive as they are (POSIX, UTF-8), all pass.
class CodePageRefusal : public ::testing::TestWithParam<TextSample> {};

TEST_P(CodePageRefusal, ArgumentAndEnvironmentValue) {
  const TextSample& sample = GetParam();
  // The probe reports its code page first ("0" off Windows); ASCII always passes.
  RunResult page = testsupport::run(TEXT_PROBE_BIN, {"plain"});
  ASSERT_EQ(0, page.exitStatus) << page.out;
  const unsigned codePage = static_cast<unsigned>(std::stoul(page.out));
  const bool held = codePage == 0 || codePage == 65001 ||
                    std::count(sample.heldBy.begin(), sample.heldBy.end(), codePage) > 0;
  for (int asEnvironment = 0; asEnvironment < 2; ++asEnvironment) {
    SCOPED_TRACE(asEnvironment ? "environment value" : "argument");
    RunOptions options;
    if (asEnvironment)
      options.setEnv["TEXT_PROBE"] = sample.text;
    RunResult r = testsupport::run(TEXT_PROBE_BIN, {asEnvironment ? "plain" : sample.text}, options);
    EXPECT_EQ(held ? 0 : 1, r.exitStatus) << r.out;
    if (!held) {
      EXPECT_NE(std::string::npos, r.out.find("\nERROR: ")) << r.out;
      EXPECT_NE(std::string::npos, r.out.find(std::to_string(codePage))) << r.out;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, CodePageRefusal, ::testing::ValuesIn(testsupport::textSamples()),
                         [](const ::testing::TestParamInfo<TextSample>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
