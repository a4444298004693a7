// Sourcing run scripts: every script here is sourced once by Tcl's own
// Tcl_EvalFile and once by the shell's own sourcing, in fresh
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

// Sources path after `prelude`, with an `exit` that only records the call.
Outcome source(bool direct, const std::string& path, const std::string& prelude = "",
               bool* tookDirectWay = nullptr) {
  Tcl_Interp* interp = Tcl_CreateInterp();
  Tcl_Eval(interp, ("proc exit {{status 0}} {lappend ::seen exit$status}\n" + prelude).c_str());
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

  // Returns whether the shell's way evaluated the script directly.
  bool expectSameAsTcl(const std::string& script, const std::string& prelude = "") {
    const std::string path = dir.file("script.tcl");
    testsupport::writeFile(path, script);
    const Outcome tcl = source(false, path, prelude);
    bool tookDirectWay = false;
    const Outcome direct = source(true, path, prelude, &tookDirectWay);
    SCOPED_TRACE("script: " + script);
    EXPECT_EQ(tcl.code, direct.code);
    EXPECT_EQ(tcl.result, direct.result);
    EXPECT_EQ(tcl.seen, direct.seen);
    EXPECT_EQ(tcl.nameAfter, direct.nameAfter);
    if (tcl.code == TCL_ERROR) {
      EXPECT_EQ(tcl.errorInfo, direct.errorInfo);
      EXPECT_EQ(tcl.errorCode, direct.errorCode);
      EXPECT_EQ(tcl.errorLine, direct.errorLine);
    }
    return tookDirectWay;
  }

  TempDir dir;
};

TEST_F(ScriptSourceTest, PlainCommandsCommentsAndSeparators) {
  expectSameAsTcl("");
  expectSameAsTcl("lappend seen a b\nlappend seen {c d} {} \"e\"\n");
  expectSameAsTcl("# comment \\\n still comment\n  lappend seen x ;# trailing\n");
  expectSameAsTcl("lappend seen a;lappend seen b;\n\n\nlappend seen last");
  expectSameAsTcl("lappend seen a\\\n b \\\n\tc\n");
  expectSameAsTcl("set seen [info script]\n");
}

TEST_F(ScriptSourceTest, Substitutions) {
  expectSameAsTcl("set v 1\nlappend seen $v [expr {$v+1}] \"s $v\" \\t${v}x\n");
  expectSameAsTcl("lappend seen {*}{a {b c}} {*}\"\" {*}[list d e] f\n");
  expectSameAsTcl("catch {error x} m; lappend seen $m [catch {break}]\n");
}

TEST_F(ScriptSourceTest, ErrorsKeepMessageInfoAndLine) {
  expectSameAsTcl("lappend seen 1\nerror boom\nlappend seen 2\n");
  expectSameAsTcl("proc p {} {\n  error inner\n}\n\nlappend seen a\nlappend seen [p]\n");
  expectSameAsTcl("lappend seen x\n\nundefined_command a {b c}\n");
  expectSameAsTcl("lappend seen x\nset seen $undefined\n");
  expectSameAsTcl("lappend seen x\nlappend seen {*}{a {b}\n");
  expectSameAsTcl("lappend seen x\nlappend seen {*}\"{a\"\n");
  expectSameAsTcl("lappend {*}{seen x} {*}{} {*}\"{a\" b\n");
  expectSameAsTcl("error msg info CODE\n");
  expectSameAsTcl("return -code error -errorinfo given -errorcode {A B} ret\n");
}

TEST_F(ScriptSourceTest, ParseErrors) {
  expectSameAsTcl("lappend seen 1\nset x [\n");
  expectSameAsTcl("lappend seen 1\n\nlappend seen {a}b\n");
  expectSameAsTcl("lappend seen \"open\n");
}

TEST_F(ScriptSourceTest, TopLevelReturnBreakAndContinue) {
  expectSameAsTcl("lappend seen a\nreturn\nlappend seen no\n");
  expectSameAsTcl("return value\n");
  expectSameAsTcl("return -code error ret\n");
  expectSameAsTcl("return -level 2 x\n");
  expectSameAsTcl("return -code 7 odd\n");
  expectSameAsTcl("lappend seen a\nbreak\nlappend seen no\n");
  expectSameAsTcl("continue\n");
  expectSameAsTcl("lappend seen [break]\n");
}

TEST_F(ScriptSourceTest, FileEncodingMarks) {
  expectSameAsTcl("\xef\xbb\xbflappend seen bom\n");
  expectSameAsTcl("lappend seen a\n\x1alappend seen b\n");
  expectSameAsTcl("\xef\xbb\xbf");
  expectSameAsTcl("x");
}

// Only scripts of plain `lappend` commands are evaluated directly.
TEST_F(ScriptSourceTest, WhichScriptsAreEvaluatedDirectly) {
  // A byte-order mark is a mark only in UTF-8; elsewhere it starts the name.
  const bool utf8 = std::string(Tcl_GetEncodingName(nullptr)) == "utf-8";
  const struct {
    const char* script;
    bool direct;
  } cases[] = {
      {"# c \\\n c\n lappend seen a\\\n b;lappend seen {c d} {} \"e\" ;# t\n\n", true},
      {"{lappend} seen {a b} \"c d\"\n", true},
      {"lappend seen 1\n\nlappend seen(x) 2\n", true},
      {"lappend seen 1\nlappend\n", true},
      {"\xef\xbb\xbflappend seen bom\n", utf8},
      {"lappend seen {*}{a {b c}} f\n", true},
      {"lappend seen {*}\"a\\ b\" f\n", false},
      {"lappend seen {*}$seen f\n", false},
      {"lappend seen \"tab\\there\"\n", false},
      {"proc p {} {lappend ::seen [info frame] [dict get [info frame -1] type]}\np\n", false},
      {"rename info _info\nproc info args {exit 7}\nlappend seen a\n", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.direct, expectSameAsTcl(c.script)) << c.script;
  // `info script` is set and put back without calling what `info` names.
  for (const char* prelude :
       {"rename info _info\nproc info args {exit 7}", "rename info {}", "info script old.tcl"})
    EXPECT_TRUE(expectSameAsTcl("lappend seen a\n", prelude)) << prelude;
}

TEST_F(ScriptSourceTest, UnreadableFiles) {
  for (const std::string& path : {dir.file("missing.tcl"), dir.path()}) {
    const Outcome tcl = source(false, path);
    const Outcome direct = source(true, path);
    EXPECT_EQ(TCL_ERROR, direct.code);
    EXPECT_EQ(tcl.result, direct.result);
  }
}

TEST_F(ScriptSourceTest, LargeCommandReachesItsCommandWhole) {
  std::string script = "set seen [llength [list";
  for (int i = 0; i < 50000; ++i)
    script += " w" + std::to_string(i);
  script += "]]\n";
  expectSameAsTcl(script);
  std::string words = "lappend seen";
  for (int i = 0; i < 20000; ++i)
    words += " w" + std::to_string(i) + (i % 3 ? "" : " {x y}");
  EXPECT_TRUE(expectSameAsTcl(words + "\n"));
}

}  // namespace
