// Sourcing run scripts: every script here is sourced once by Tcl's own
// Tcl_EvalFile and once by the shell's direct evaluation, in fresh
// interpreters, and everything a script can observe must agree.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tcl.h>

#include "framework/standin/script_source.h"
#include "tests/support/test_process.h"

namespace {

using testsupport::TempDir;

struct Outcome {
  int code = 0;
  std::string result;
  std::string errorInfo;
  std::string errorCode;
  int errorLine = 0;
  std::string seen;        // what the script collected in ::seen
  std::string nameAfter;   // `info script` once the script is done
};

std::string globalVariable(Tcl_Interp* interp, const char* name) {
  const char* value = Tcl_GetVar(interp, name, TCL_GLOBAL_ONLY);
  return value ? value : "<unset>";
}

// Sources path in a fresh interpreter after `prelude`. Its `exit` only
// records the call, so that a script's exit cannot end the test.
Outcome source(bool direct, const std::string& path, const std::string& prelude,
               bool* tookDirectWay = nullptr) {
  Tcl_Interp* interp = Tcl_CreateInterp();
  Tcl_Eval(interp, "proc exit {{status 0}} {lappend ::seen exit$status}");
  Tcl_Eval(interp, prelude.c_str());
  Outcome outcome;
  outcome.code = direct ? zekshell::sourceScriptFile(interp, path.c_str(), "lappend", tookDirectWay)
                        : Tcl_EvalFile(interp, path.c_str());
  outcome.result = Tcl_GetStringResult(interp);
  outcome.errorInfo = globalVariable(interp, "errorInfo");
  outcome.errorCode = globalVariable(interp, "errorCode");
  outcome.errorLine = Tcl_GetErrorLine(interp);
  outcome.seen = globalVariable(interp, "seen");
  Tcl_Eval(interp, "::tcl::info::script");
  outcome.nameAfter = Tcl_GetStringResult(interp);
  Tcl_DeleteInterp(interp);
  return outcome;
}

class ScriptSourceTest : public testing::Test {
protected:
  static void SetUpTestSuite() { Tcl_FindExecutable(nullptr); }

  // The script sourced both ways agrees; `direct` says whether the shell's
  // way must evaluate it directly (a script of plain `lappend` commands).
  void expectSameAsTcl(const std::string& script, bool direct, const std::string& prelude = "") {
    const std::string path = dir.file("script.tcl");
    testsupport::writeFile(path, script);
    const Outcome tcl = source(false, path, prelude);
    bool tookDirectWay = !direct;
    const Outcome shell = source(true, path, prelude, &tookDirectWay);
    SCOPED_TRACE("script: " + script);
    EXPECT_EQ(direct, tookDirectWay);
    EXPECT_EQ(tcl.code, shell.code);
    EXPECT_EQ(tcl.result, shell.result);
    EXPECT_EQ(tcl.seen, shell.seen);
    EXPECT_EQ(tcl.nameAfter, shell.nameAfter);
    if (tcl.code == TCL_ERROR) {
      EXPECT_EQ(tcl.errorInfo, shell.errorInfo);
      EXPECT_EQ(tcl.errorCode, shell.errorCode);
      EXPECT_EQ(tcl.errorLine, shell.errorLine);
    }
  }

  TempDir dir;
};

struct SourceCase {
  const char* script;
  bool direct;
};

TEST_F(ScriptSourceTest, PlainCommandsAreEvaluatedDirectly) {
  // A byte-order mark is a mark only in UTF-8; in another system encoding it
  // is three characters in front of the command name.
  const bool utf8 = std::string(Tcl_GetEncodingName(nullptr)) == "utf-8";
  const SourceCase cases[] = {
      {"", true},
      {"lappend seen a b\nlappend seen {c d} {} \"e\"\n", true},
      {"# comment \\\n still comment\n  lappend seen x ;# trailing\n", true},
      {"lappend seen a;lappend seen b;\n\n\nlappend seen last", true},
      {"lappend seen a\\\n b \\\n\tc\n", true},
      {"{lappend} seen {a b} \"c d\"\n", true},
      // Errors of the command itself: message, errorInfo and line agree.
      {"lappend seen 1\n\nlappend seen(x) 2\n", true},
      {"lappend seen 1\nlappend\n", true},
      {"\xef\xbb\xbflappend seen bom\n", utf8},
      {"lappend seen a\n\x1alappend seen b\n", true},
      {"\xef\xbb\xbf", utf8},
      // Tcl's parser itself expands a literal list after {*}.
      {"lappend seen {*}{a {b c}} f\n", true},
  };
  for (const SourceCase& c : cases)
    expectSameAsTcl(c.script, c.direct);
}

TEST_F(ScriptSourceTest, EverythingElseGoesThroughTclsSource) {
  const SourceCase cases[] = {
      {"set seen [info script]\n", false},
      {"set v 1\nlappend seen $v [expr {$v+1}] \"s $v\" \\t${v}x\n", false},
      {"lappend seen {*}\"a\\ b\" f\n", false},
      {"lappend seen {*}$seen f\n", false},
      {"lappend seen \"tab\\there\"\n", false},
      {"lappend seen a\nerror boom\nlappend seen 2\n", false},
      {"lappend seen 1\nset x [\n", false},
      {"lappend seen 1\n\nlappend seen {a}b\n", false},
      {"lappend seen a\nreturn\nlappend seen no\n", false},
      {"lappend seen a\nbreak\n", false},
      {"x", false},
      // A procedure of the script sees its frame as in any sourced file.
      {"proc p {} {lappend ::seen [info frame] [dict get [info frame -1] type]}\np\n", false},
      // A script that wraps `info`: its wrapper is never called afterwards.
      {"rename info _info\nproc info args {exit 7}\nlappend seen a\n", false},
  };
  for (const SourceCase& c : cases)
    expectSameAsTcl(c.script, c.direct);
}

// `info script` is set and put back without calling whatever the name
// `info` stands for.
TEST_F(ScriptSourceTest, ScriptNameIsRestoredWithoutCallingInfo) {
  const char* preludes[] = {
      "rename info _info\nproc info args {exit 7}",
      "rename info {}",
      "info script before.tcl",
  };
  for (const char* prelude : preludes) {
    SCOPED_TRACE(prelude);
    expectSameAsTcl("lappend seen a\n", true, prelude);
  }
}

TEST_F(ScriptSourceTest, UnreadableFiles) {
  for (const std::string& path : {dir.file("missing.tcl"), dir.path()}) {
    const Outcome tcl = source(false, path, "");
    const Outcome shell = source(true, path, "");
    EXPECT_EQ(TCL_ERROR, shell.code);
    EXPECT_EQ(tcl.result, shell.result);
  }
}

TEST_F(ScriptSourceTest, LargeCommandReachesItsCommandWhole) {
  std::string words = "lappend seen";
  for (int i = 0; i < 20000; ++i)
    words += " w" + std::to_string(i) + (i % 3 ? "" : " {x y}");
  expectSameAsTcl(words + "\n", true);
  expectSameAsTcl(words + "\nlappend seen [llength $seen]\n", false);
}

}  // namespace
