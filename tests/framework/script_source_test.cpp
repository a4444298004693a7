// Sourcing run scripts: every script here is sourced once by Tcl's own
// Tcl_EvalFile and once by the shell's own sourcing, in fresh
// interpreters, and everything a script can observe must agree.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tcl.h>

#include "framework/standin/script_source.h"
#include "tests/support/boundary_characters.h"
#include "tests/support/test_process.h"

namespace {

using testsupport::TempDir;

struct Outcome {
  int code = 0;
  std::string result;
  std::string errorInfo;
  std::string errorCode;
  int errorLine = 0;
  std::string seen;       // what the script collected in ::seen
  std::string nameAfter;  // `info script` once the script is done
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

// UTF-8 text as UTF-16 code units.
std::u16string utf16Units(const std::string& utf8) {
  std::u16string units;
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (int k = 1; k < length; ++k)
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += static_cast<std::size_t>(length);
    if (c >= 0x10000) {
      units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      units += static_cast<char16_t>(c);
    }
  }
  return units;
}

// Code units as a file's bytes, after the byte-order mark.
std::string utf16File(const std::u16string& units, bool bigEndian) {
  std::string bytes;
  for (char16_t unit : u"\uFEFF" + units) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

// A script saved as UTF-16 (either byte order) gives what Tcl's source gives
// for the same text saved as UTF-8, with and without the direct way asked for.
TEST_F(ScriptSourceTest, Utf16ScriptsGiveWhatTheirTextGives) {
  const struct {
    const char* name;
    std::string script;
  } rows[] = {
      {"plain", "lappend seen a {b c}\n"},
      {"beyond ASCII", "lappend seen \xc3\xa9 \xd0\x96 \xe6\xbc\xa2 \xf0\x9f\x98\x80\n"},
      {"CR LF line ends", "set seen {a\r\nb}\r\nlappend seen c\r\n"},
      {"CR line ends", "lappend seen a\rlappend seen b\r"},
      {"end of text mark", "lappend seen a\n\x1alappend seen b\n"},
      {"script name", "lappend seen [info script]\n"},
      {"error in a procedure",
       "lappend seen 1\nproc p {} {\n  error \"inner \xd0\x96\"\n}\n\np\nlappend seen 2\n"},
      {"parse error", "lappend seen 1\nset x [\n"},
      {"return", "lappend seen a\nreturn value\nlappend seen no\n"},
      {"return an error", "return -code error -errorcode {A B} ret\n"},
      {"return two levels", "return -level 2 x\n"},
      {"break", "break\n"},
      {"empty", ""},
  };
  const std::string path = dir.file("script.tcl");
  for (const auto& row : rows) {
    testsupport::writeFile(path, row.script);
    const Outcome tcl = source(false, path);
    for (bool bigEndian : {false, true}) {
      for (const char* command : {static_cast<const char*>(nullptr), "lappend"}) {
        SCOPED_TRACE(std::string(row.name) + (bigEndian ? ", big-endian" : ", little-endian") +
                     (command ? ", direct way asked for" : ""));
        testsupport::writeFile(path, utf16File(utf16Units(row.script), bigEndian));
        Tcl_Interp* interp = Tcl_CreateInterp();
        const int code = zekshell::sourceScriptFile(interp, path.c_str(), command);
        EXPECT_EQ(tcl.code, code);
        EXPECT_EQ(tcl.result, Tcl_GetStringResult(interp));
        EXPECT_EQ(tcl.seen, globalVariable(interp, "seen"));
        if (code == TCL_ERROR) {
          EXPECT_EQ(tcl.errorInfo, globalVariable(interp, "errorInfo"));
          EXPECT_EQ(tcl.errorCode, globalVariable(interp, "errorCode"));
          EXPECT_EQ(tcl.errorLine, Tcl_GetErrorLine(interp));
        }
        Tcl_Eval(interp, "::tcl::info::script");
        EXPECT_EQ(tcl.nameAfter, Tcl_GetStringResult(interp));
        Tcl_DeleteInterp(interp);
      }
    }
  }
}

// A file with a UTF-16 mark that is no UTF-16 text is refused, never read
// with a stand-in for what it holds.
TEST_F(ScriptSourceTest, InvalidUtf16IsAnError) {
  const std::string path = dir.file("script.tcl");
  const std::string refused = "couldn't read file \"" + path + "\": not valid UTF-16: ";
  const struct {
    const char* name;
    std::u16string units;
    std::string extra;  // bytes after the units
    std::string problem;
  } rows[] = {
      {"odd byte count", u"lappend seen a\n", "x", "it has an odd number of bytes (33)"},
      {"lone high surrogate", u"lappend seen a\nlappend seen \xD83D\n", "",
       "an unpaired surrogate U+D83D (line 2)"},
      {"lone low surrogate", u"lappend seen \xDE00\n", "", "an unpaired surrogate U+DE00 (line 1)"},
      {"high surrogate at the end", u"lappend seen \xD83D", "",
       "an unpaired surrogate U+D83D (line 1)"},
  };
  for (const auto& row : rows) {
    for (bool bigEndian : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (bigEndian ? ", big-endian" : ", little-endian"));
      testsupport::writeFile(path, utf16File(row.units, bigEndian) + row.extra);
      Tcl_Interp* interp = Tcl_CreateInterp();
      EXPECT_EQ(TCL_ERROR, zekshell::sourceScriptFile(interp, path.c_str(), nullptr));
      EXPECT_EQ(refused + row.problem, Tcl_GetStringResult(interp));
      EXPECT_EQ("<unset>", globalVariable(interp, "seen"));
      Tcl_DeleteInterp(interp);
    }
  }
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

// Repeated switch words are shared objects on the direct way: every one
// still reaches the command as written, in its place, also past the number
// of distinct switches kept and beyond ASCII.
TEST_F(ScriptSourceTest, RepeatedSwitchWordsKeepTheirPlaces) {
  std::string words = "lappend seen";
  for (int i = 0; i < 3000; ++i) {
    words += " -testplusarg V" + std::to_string(i) +
             " -t -\xC3\xA9\xD0\xB6 -\xE6\xBC\xA2\xF0\x9F\x98\x80";
    words += " -s" + std::to_string(i % 40) + " -" + std::string(40, 'L') + " {-testplusarg}";
    words += i % 2 ? " -testplusar" : " -testplusargs";
  }
  EXPECT_TRUE(expectSameAsTcl(words + "\nlappend seen -t -testplusarg\n"));
}

// Scripts in the form kvel writes are read without Tcl's parser, and
// anything near that form by it: every one gives what Tcl's source gives.
TEST_F(ScriptSourceTest, KvelFormAndNearItReadAsTclReadsThem) {
  const struct {
    const char* name;
    const char* script;
    bool direct;
  } cases[] = {
      {"BareAndBraced", "lappend seen {work.top} -testplusarg SEED=7 -autoloadwcfg -t {r.tcl}\n", true},
      {"BeyondAscii", "lappend seen N=\xC3\xA9 \xD0\x96 {\xE8\xA1\xA8 x} \xF0\x9F\x98\x80\n", true},
      {"EmptyAndStarBraced", "lappend seen {} {*} x\n", true},
      {"SeparatorsAndBlankLines", "\n\t lappend seen a;;lappend seen b ;\n\nlappend seen c", true},
      {"TrailingBlanks", "lappend seen a  \t\nlappend seen b\t", true},
      {"NameBraced", "{lappend} seen a\n", true},
      {"HashInsideCommand", "lappend seen #a b#\n", true},
      {"ErrorOnThirdLine", "lappend seen a\n\nlappend\n", true},
      {"BraceInsideWord", "lappend seen a{b} c}d\n", true},
      {"NestedBraces", "lappend seen {a{b}c}\n", true},
      {"ExpandedBraces", "lappend seen {*}{a b}\n", true},
      {"BackslashInBraces", "lappend seen {a\\b} {c\\}\n", false},
      {"LineEndInBraces", "lappend seen {a\nb}\n", true},
      {"QuoteInsideWord", "lappend seen a\"b\n", true},
      {"BracketInsideWord", "lappend seen a]b\n", true},
      {"OtherBlanks", "lappend seen a\vb\rc\fd\n", false},
      {"CommentFirst", "# c\nlappend seen a\n", true},
      {"TextAfterBrace", "lappend seen {a}b\n", false},
      {"BraceNotClosed", "lappend seen {a\n", false},
      {"Substitution", "lappend seen $x\n", false},
      {"OtherCommand", "lappend seen a\nset seen [list b]\n", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.direct, expectSameAsTcl(c.script)) << c.name;
}

// A character beyond ASCII at a chosen byte of a UTF-8 script, at the ends of
// Tcl's 4 KB read buffers and near them, reaches the script's command as
// written, whichever way the script is sourced.
TEST_F(ScriptSourceTest, CharactersAtReadBufferBoundariesReachTheCommand) {
  const struct {
    const char* name;
    const char* command;  // given to the sourcing
    const char* head;     // the script up to the filler
  } ways[] = {
      {"Direct", "lappend", "lappend seen"},
      {"SubstitutionInScript", "lappend", "set v {}\nlappend seen$v"},
      {"NoCommandGiven", nullptr, "lappend seen"},
      {"CarriageReturns", "lappend", "lappend seen a\r\nlappend seen b\rlappend seen"},
  };
  const std::size_t offsets[] = {4093, 4094, 4095, 4096, 4097, 8189, 32765, 65533, 65534, 65536};
  // The system encoding decides how a script's bytes are read; the other
  // tests get theirs back on every way out.
  struct SystemEncoding {
    std::string previous = Tcl_GetEncodingName(nullptr);
    ~SystemEncoding() { Tcl_SetSystemEncoding(nullptr, previous.c_str()); }
  } restored;
  ASSERT_EQ(TCL_OK, Tcl_SetSystemEncoding(nullptr, "utf-8"));
  Tcl_Encoding utf8 = Tcl_GetEncoding(nullptr, "utf-8");
  const std::string path = dir.file("script.tcl");
  for (const auto& way : ways) {
    for (const auto& character : testsupport::kBoundaryCharacters) {
      for (const std::size_t offset : offsets) {
        SCOPED_TRACE(std::string(way.name) + ", " + character.name + " at " +
                     std::to_string(offset));
        std::string script = way.head;
        while (script.size() + 10 < offset)
          script += " f" + std::to_string(script.size() % 10) + "xxxx";
        script += std::string(offset - script.size() - 3, ' ') + " c=";
        const std::string word = std::string("c=") + character.utf8 + "!";
        script += std::string(character.utf8) + "! end\n";
        ASSERT_EQ(offset, script.find(character.utf8));
        testsupport::writeFile(path, script);

        Tcl_Interp* interp = Tcl_CreateInterp();
        EXPECT_EQ(TCL_OK, zekshell::sourceScriptFile(interp, path.c_str(), way.command))
            << Tcl_GetStringResult(interp);
        Tcl_DString ds;
        Tcl_Eval(interp, "lindex $seen end-1");
        Tcl_UtfToExternalDString(utf8, Tcl_GetStringResult(interp), -1, &ds);
        EXPECT_EQ(word, std::string(Tcl_DStringValue(&ds), Tcl_DStringLength(&ds)));
        Tcl_DStringFree(&ds);
        Tcl_DeleteInterp(interp);
      }
    }
  }
  Tcl_FreeEncoding(utf8);
}

}  // namespace
