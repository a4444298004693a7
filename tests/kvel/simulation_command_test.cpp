// The kvel command text built from a settings record filled directly.
#include "kvel/simulation_command.h"

#include <climits>
#include <cstdint>
#include <functional>
#include <locale>
#include <string>
#include <vector>

#include <boost/filesystem/path.hpp>
#include <gtest/gtest.h>
#include <tcl.h>

#include "tests/support/platform_skips.h"

namespace {

// A record holding every option's default, as after registration.
KVEL::CommandLineOptions defaultRecord() {
  KVEL::CommandLineOptions o;
  o.gui = o.help = o.nolog = o.version = o.runall = o.tp = o.tl = false;
  o.nosignalhandlers = o.ieeewarnings = o.stats = o.quindle = false;
  o.noieeewarnings = true;
  o.maxdeltaid = 10000;
  o.simrunnum = 0;
  o.socket = 0;
  o.maxlogsize = -1;
  o.internaldebuglevel = 0;
  o.intstyle = "default";
  o.simmode.clear();
  o.log.clear();
  o.vcdfile.clear();
  o.vcdunit.clear();
  o.wdb.clear();
  o.onfinish.clear();
  o.onerror.clear();
  o.snapshot.clear();
  o.key.clear();
  o.tclbatch.clear();
  o.testplusarg.clear();
  o.view.clear();
  return o;
}

struct CommandCase {
  const char* name;
  std::function<void(KVEL::CommandLineOptions&)> set;
  const char* expected;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class SimulationCommandTable : public ::testing::TestWithParam<CommandCase> {};

TEST_P(SimulationCommandTable, BuildsText) {
  KVEL::CommandLineOptions options = defaultRecord();
  GetParam().set(options);
  EXPECT_EQ(GetParam().expected, KVEL::buildSimulationCommand(options, "top"));
}

using O = KVEL::CommandLineOptions;

const CommandCase kCases[] = {
    {"NoOptions", [](O&) {}, "{top} -autoloadwcfg"},
    {"TypicalRun",
     [](O& o) {
       o.tclbatch = {"run.tcl"};
       o.testplusarg = {"A=1"};
       o.maxdeltaid = 500;
     },
     "{top} -maxdeltaid 500 -testplusarg A=1 -autoloadwcfg -tclbatch {run.tcl}"},
    // Row 2: neither the default nor a negative value is written; 0 is.
    {"MaxDeltaDefault", [](O& o) { o.maxdeltaid = 10000; }, "{top} -autoloadwcfg"},
    {"MaxDeltaZero", [](O& o) { o.maxdeltaid = 0; }, "{top} -maxdeltaid 0 -autoloadwcfg"},
    {"MaxDeltaNegative", [](O& o) { o.maxdeltaid = -5; }, "{top} -autoloadwcfg"},
    {"MaxDeltaMinimum", [](O& o) { o.maxdeltaid = INT_MIN; }, "{top} -autoloadwcfg"},
    {"MaxDeltaNextToDefault", [](O& o) { o.maxdeltaid = 10001; },
     "{top} -maxdeltaid 10001 -autoloadwcfg"},
    {"MaxDeltaMaximum", [](O& o) { o.maxdeltaid = INT_MAX; },
     "{top} -maxdeltaid 2147483647 -autoloadwcfg"},
    // Row 3: -1 and other negatives mean unlimited; 0 is written.
    {"MaxLogSizeZero", [](O& o) { o.maxlogsize = 0; }, "{top} -maxlogsize 0 -autoloadwcfg"},
    {"MaxLogSizeNegative", [](O& o) { o.maxlogsize = -7; }, "{top} -autoloadwcfg"},
    {"MaxLogSizeSet", [](O& o) { o.maxlogsize = 12; }, "{top} -maxlogsize 12 -autoloadwcfg"},
    // Row 4: bare, once per element, in order.
    {"PlusargsInOrder", [](O& o) { o.testplusarg = {"B=2", "A=1", "B=2"}; },
     "{top} -testplusarg B=2 -testplusarg A=1 -testplusarg B=2 -autoloadwcfg"},
    {"PlusargWithBlankStaysBare", [](O& o) { o.testplusarg = {"A=1 B=2"}; },
     "{top} -testplusarg A=1 B=2 -autoloadwcfg"},
    // Rows 5 to 7: braced, so a value with blanks stays one word.
    {"VcdFile", [](O& o) { o.vcdfile = "out.vcd"; }, "{top} -vcdfile {out.vcd} -autoloadwcfg"},
    {"VcdUnit", [](O& o) { o.vcdunit = "1 ns"; }, "{top} -vcdunit {1 ns} -autoloadwcfg"},
    {"WdbWithBlanks", [](O& o) { o.wdb = "my waves.wdb"; },
     "{top} -wdb {my waves.wdb} -autoloadwcfg"},
    {"TpTl", [](O& o) { o.tl = o.tp = true; }, "{top} -tp -tl -autoloadwcfg"},
    // Rows 10 and 11: one -view item per element, never merged, and then no -autoloadwcfg.
    {"TwoViews", [](O& o) { o.view = {"a.wcfg", "dir/b.wcfg"}; },
     "{top} -view {{a.wcfg}} -view {{dir/b.wcfg}}"},
    {"ViewWithoutGuiStillWritten",
     [](O& o) {
       o.gui = false;
       o.view = {"a.wcfg"};
     },
     "{top} -view {{a.wcfg}}"},
    testsupport::kWindows
        ? CommandCase{"ViewBackslashBecomesSlash", [](O& o) { o.view = {"dir\\b.wcfg"}; },
                      "{top} -view {{dir/b.wcfg}}"}
        : CommandCase{"ViewBackslashKeptOffWindows", [](O& o) { o.view = {"dir\\b.wcfg"}; },
                      "{top} -view {{dir\\b.wcfg}}"},
    {"ViewKeepsDotSegments", [](O& o) { o.view = {"./x/../a.wcfg"}; },
     "{top} -view {{./x/../a.wcfg}}"},
    {"TwoBatchFiles", [](O& o) { o.tclbatch = {"a.tcl", "b c.tcl"}; },
     "{top} -autoloadwcfg -tclbatch {a.tcl} -tclbatch {b c.tcl}"},
    {"RunAll", [](O& o) { o.runall = true; }, "{top} -autoloadwcfg -runall"},
    {"OnFinishBare", [](O& o) { o.onfinish = "quit"; }, "{top} -autoloadwcfg -onfinish quit"},
    {"OnErrorBareUnchecked", [](O& o) { o.onerror = "stop now"; },
     "{top} -autoloadwcfg -onerror stop now"},
    {"Flags16To19",
     [](O& o) { o.nosignalhandlers = o.ieeewarnings = o.quindle = o.stats = true; },
     "{top} -autoloadwcfg -nosignalhandlers -ieeewarnings -quindle -stats"},
    {"DebugLevelUnsigned", [](O& o) { o.internaldebuglevel = 4294967295u; },
     "{top} -autoloadwcfg -internaldebuglevel 4294967295"},
    {"SimModeAndKeyBare",
     [](O& o) {
       o.simmode = "gui";
       o.key = "k 1";
     },
     "{top} -autoloadwcfg -simmode gui -key k 1"},
    // Table order, not command-line order.
    {"StatsAfterTp",
     [](O& o) {
       o.stats = true;
       o.tp = true;
     },
     "{top} -tp -autoloadwcfg -stats"},
    // Launcher and shell options never reach the command.
    {"LauncherOptionsLeftOut",
     [](O& o) {
       o.gui = o.help = o.version = o.nolog = true;
       o.log = "run.log";
       o.noieeewarnings = true;
       o.intstyle = "silent";
       o.simrunnum = 3;
       o.socket = 4000;
       o.snapshot = "other";
     },
     "{top} -autoloadwcfg"},
    // Braces that cannot hold a value give way to backslashes.
    {"UnbalancedBracesBackslashed", [](O& o) { o.wdb = "a}b{c$d[e]"; },
     "{top} -wdb a\\}b\\{c\\$d\\[e\\] -autoloadwcfg"},
    {"TclTextValuesStayBare", [](O& o) { o.testplusarg = {"a{b"}; o.onfinish = "x\\"; },
     "{top} -testplusarg a{b -autoloadwcfg -onfinish x\\"},
    {"EveryRow",
     [](O& o) {
       o.key = "K";
       o.simmode = "standalone";
       o.internaldebuglevel = 2;
       o.stats = o.quindle = o.ieeewarnings = o.nosignalhandlers = true;
       o.onerror = "stop";
       o.onfinish = "quit";
       o.runall = true;
       o.tclbatch = {"r.tcl"};
       o.view = {"w.wcfg"};
       o.tl = o.tp = true;
       o.wdb = "d.wdb";
       o.vcdunit = "ps";
       o.vcdfile = "d.vcd";
       o.testplusarg = {"S=1"};
       o.maxlogsize = 9;
       o.maxdeltaid = 8;
     },
     "{top} -maxdeltaid 8 -maxlogsize 9 -testplusarg S=1 -vcdfile {d.vcd} -vcdunit {ps}"
     " -wdb {d.wdb} -tp -tl -view {{w.wcfg}} -tclbatch {r.tcl} -runall -onfinish quit"
     " -onerror stop -nosignalhandlers -ieeewarnings -quindle -stats -internaldebuglevel 2"
     " -simmode standalone -key K"},
};

INSTANTIATE_TEST_SUITE_P(Rows, SimulationCommandTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CommandCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(SimulationCommand, SnapshotComesFromTheArgumentNotTheRecord) {
  KVEL::CommandLineOptions options = defaultRecord();
  options.snapshot = "top";
  EXPECT_EQ("{work.top} -autoloadwcfg", KVEL::buildSimulationCommand(options, "work.top"));
  EXPECT_EQ("{} -autoloadwcfg", KVEL::buildSimulationCommand(options, ""));
}

// Keeps the pieces it is given; refuses the one after the first `taking`.
struct PieceRecord final : KVEL::PieceSink {
  explicit PieceRecord(std::size_t taking) : taking(taking) {}
  bool put(std::string_view piece) override {
    pieces.emplace_back(piece);
    return pieces.size() <= taking;
  }
  std::size_t taking;
  std::vector<std::string> pieces;
};

// The text written in pieces is the built text: pieces of at most 64 KB,
// each but the last one filled (items are not cut), a longer value a piece
// of its own; a refused piece is the last one asked for.
TEST(SimulationCommand, WrittenInPiecesIsTheBuiltText) {
  const std::string longValue(100000, 'v');
  const struct {
    const char* name;
    std::size_t values;
    bool withLong;
    std::size_t pieces;  // 0: as many as full ones take
  } cases[] = {
      {"one piece", 10, false, 1},
      {"many pieces", 50000, false, 0},
      {"a value longer than a piece", 3, true, 3},
  };
  for (const auto& c : cases) {
    KVEL::CommandLineOptions o = defaultRecord();
    for (std::size_t i = 0; i < c.values; ++i)
      o.testplusarg.push_back("V" + std::to_string(i) + "=" + std::to_string(i));
    if (c.withLong)
      o.tclbatch = {"a.tcl", longValue, "b.tcl"};
    PieceRecord all(SIZE_MAX);
    EXPECT_TRUE(KVEL::writeSimulationCommand(o, "top", all)) << c.name;
    std::string joined;
    for (const std::string& piece : all.pieces) {
      joined += piece;
      EXPECT_TRUE(piece.size() <= 65536 || piece == longValue) << c.name << ": " << piece.size();
    }
    EXPECT_EQ(KVEL::buildSimulationCommand(o, "top"), joined) << c.name;
    if (c.pieces != 0) {
      EXPECT_EQ(c.pieces, all.pieces.size()) << c.name;
    }
    for (std::size_t i = 0; c.pieces == 0 && i + 1 < all.pieces.size(); ++i)
      EXPECT_GT(all.pieces[i].size(), 65536u - 64) << c.name << ": piece " << i;
    PieceRecord first(0);
    EXPECT_FALSE(KVEL::writeSimulationCommand(o, "top", first)) << c.name;
    EXPECT_EQ(1u, first.pieces.size()) << c.name;
  }
}

// A numpunct that groups every three digits with a comma.
struct Grouping : std::numpunct<char> {
  char do_thousands_sep() const override { return ','; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(SimulationCommand, IntegersStayPlainUnderAGroupingGlobalLocale) {
  std::locale previous = std::locale::global(std::locale(std::locale::classic(), new Grouping));
  KVEL::CommandLineOptions options = defaultRecord();
  options.maxdeltaid = 1234567;
  options.maxlogsize = 20000;
  options.internaldebuglevel = 4000000000u;
  std::string text = KVEL::buildSimulationCommand(options, "top");
  std::locale::global(previous);
  EXPECT_EQ("{top} -maxdeltaid 1234567 -maxlogsize 20000 -autoloadwcfg -internaldebuglevel "
            "4000000000",
            text);
}

// Every value written as a word must reach the simulator unchanged: Tcl
// itself evaluates the text and compares its words with the values. Values
// braces can hold are written in the plain form, "{" value "}".
TEST(SimulationCommand, TclReadsBackEveryWordOptionsValue) {
  const std::pair<const char*, bool> cases[] = {
      {"run.tcl", true}, {"my waves.wdb", true}, {"a$b[c];\"d\"", true}, {"a{b}c", true},
      {"a\\{b", true}, {"dir\\\\", true}, {"C:\\scripts\\", false}, {"a{b", false},
      {"}{", false}, {"#}y", false}, {"a\\\nb", false}, {"#{ \t\n\r\v\f;$[]\"\\}", false},
      {"\xC3\xA9t\xC3\xA9 {", false}, {"\xD0\x96\xD1\x83\xD0\xBA.tcl", true},
      {"\xE6\x97\xA5\xE6\x9C\xAC}\\", false}, {"\xF0\x9F\x98\x80 x", true},
      {"\xF0\x9F\x98\x80{", false},
  };
  Tcl_FindExecutable(nullptr);
  Tcl_Interp* interp = Tcl_CreateInterp();
  for (const auto& c : cases) {
    const std::string v = c.first;
    KVEL::CommandLineOptions o = defaultRecord();
    o.vcdfile = o.vcdunit = o.wdb = v;
    o.view = {v};
    o.tclbatch = {v, "next"};
    const std::string text = KVEL::buildSimulationCommand(o, v);
    Tcl_SetVar(interp, "v", c.first, 0);
    // The -view word is a Tcl list whose one element is the value.
    Tcl_SetVar(interp, "g", boost::filesystem::path(v).generic_string().c_str(), 0);
    Tcl_Eval(interp, ("set w [list " + text + "]\n"
                      "expr {[lreplace $w 8 8] eq [list $v -vcdfile $v -vcdunit $v -wdb $v -view"
                      " -tclbatch $v -tclbatch next] && [llength [lindex $w 8]] == 1"
                      " && [lindex $w 8 0] eq $g}")
                         .c_str());
    EXPECT_STREQ("1", Tcl_GetStringResult(interp)) << text;
    EXPECT_EQ(c.second, KVEL::tclWord(v) == "{" + v + "}") << KVEL::tclWord(v);
  }
  Tcl_DeleteInterp(interp);
}

}  // namespace
