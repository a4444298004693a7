// Text beyond ASCII through the shipped dravik and quindle with the stand-in
// shell, through tarnlet, and the refusal of text the process code page
// cannot hold.
#include <algorithm>
#include <map>
#include <string>

#include "tests/support/text_samples.h"

namespace {

using namespace testsupport;

// Writes a file named after its first argument, holding that argument, and
// one naming the script's own name as the shell saw it.
const char kScript[] =
    "set a [lindex $argv 0]\n"
    "set f [open out_$a.txt w]; puts -nonewline $f $a; close $f\n"
    "set f [open source.txt w]; puts -nonewline $f [file tail [info script]]; close $f\n"
    "exit 0\n";
const std::map<std::string, std::string> kMade = {
    {"out_a_@.txt", "a_@"}, {"source.txt", "src @.tcl"}, {"lg @.log", ""}};

TextRow shellRow(const char* name, const char* program, const std::string& source,
                 Encoding encoding = kUtf8) {
  return {name, program, {{"f_@/src @.tcl", kScript}},
          {"-mode", "tcl", "-log", "lg @.log", "-source", source, "-tclargs", "a_@"}, {}, kMade,
          {}, "", encoding, true};
}

const TextRow kRows[] = {
    shellRow("Dravik", DRAVIK_BIN, "f_@/src @.tcl"),
    // The braced form, unwrapped by the shell.
    shellRow("DravikBracedSource", DRAVIK_BIN, "{f_@/src @.tcl}"),
    shellRow("Quindle", QUINDLE_BIN, "f_@/src @.tcl"),
    // Scripts as Windows PowerShell 5 and Notepad save them.
    shellRow("DravikUtf16LeSource", DRAVIK_BIN, "f_@/src @.tcl", kUtf16Le),
    shellRow("QuindleUtf16BeSource", QUINDLE_BIN, "f_@/src @.tcl", kUtf16Be),
    {"Tarnlet", TARNLET_BIN, {}, {"-x@"}, {}, {}, {{"https_proxy", "http://@.example:3128"}}, "",
     kUtf8, false, "Proxy=http://@.example:3128\n"},
};

INSTANTIATE_TEST_SUITE_P(Launchers, TextMatrix,
                         ::testing::Combine(::testing::ValuesIn(kRows),
                                            ::testing::ValuesIn(textSamples())),
                         textRowName);

// A program without the UTF-8 manifest, in whatever code page the system
// gives it: a character that code page cannot hold is refused, never
// replaced. Where the bytes arrive as they are (POSIX, UTF-8), all pass.
TEST(CodePageRefusal, ArgumentAndEnvironmentValue) {
  // The probe prints its code page first ("0" off Windows); ASCII always passes.
  RunResult page = run(TEXT_PROBE_BIN, {"plain"});
  ASSERT_EQ("", page.out.substr(page.out.find('\n') + 1));
  const unsigned codePage = static_cast<unsigned>(std::stoul(page.out));
  for (const TextSample& sample : textSamples()) {
    const bool held = codePage == 0 || codePage == 65001 ||
                      std::count(sample.heldBy.begin(), sample.heldBy.end(), codePage) > 0;
    RunOptions inEnvironment;
    inEnvironment.setEnv["TEXT_PROBE"] = sample.text;
    for (const RunResult& r : {run(TEXT_PROBE_BIN, {sample.text}),
                               run(TEXT_PROBE_BIN, {"plain"}, inEnvironment)}) {
      const std::string error = r.out.substr(r.out.find('\n') + 1);
      EXPECT_EQ(held ? 0 : 1, r.exitStatus) << sample.name << ": " << r.out;
      EXPECT_EQ(held ? std::string::npos : 0, error.find("ERROR: ")) << sample.name;
      EXPECT_EQ(held, error.find(std::to_string(codePage)) == std::string::npos) << sample.name;
    }
  }
}

}  // namespace
