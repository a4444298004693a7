// parse and printUsage: argument lists as a user types them (so they pass
// through the command-file expansion first), the resulting record, the
// result and the exact text on standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kvel/options/command_line_options.h"
#include "tests/support/test_process.h"

namespace {

using KVEL::CommandLineOptions;

std::string usageFor(const std::string& programName) {
  static const std::string golden = testsupport::readFile(KVEL_USAGE_GOLDEN);
  const std::string prefix = "Usage: kvel ";
  std::string text = golden;
  const auto at = text.find(prefix);
  text.replace(at, prefix.size(), "Usage: " + programName + " ");
  return text;
}

struct Outcome {
  bool result;
  std::string err;
  std::string out;
};

Outcome runParse(CommandLineOptions& o, const std::vector<std::string>& args,
                 const std::string& program = "kvel") {
  std::vector<std::string> storage = {program};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(&s[0]);
  argv.push_back(nullptr);
  std::ostringstream out;
  std::ostringstream err;
  const bool result = o.parse(static_cast<int>(storage.size()), argv.data(), out, err);
  return Outcome{result, err.str(), out.str()};
}

CommandLineOptions registeredDefaults() {
  CommandLineOptions o;
  OptionSet visible;
  OptionSet hidden;
  o.registerOptions(visible);
  o.registerHiddenOptions(hidden);
  return o;
}

// Every variable an option can set.
void expectSameSettings(const CommandLineOptions& expected, const CommandLineOptions& actual) {
  EXPECT_EQ(expected.gui, actual.gui);
  EXPECT_EQ(expected.help, actual.help);
  EXPECT_EQ(expected.nolog, actual.nolog);
  EXPECT_EQ(expected.version, actual.version);
  EXPECT_EQ(expected.runall, actual.runall);
  EXPECT_EQ(expected.tp, actual.tp);
  EXPECT_EQ(expected.tl, actual.tl);
  EXPECT_EQ(expected.nosignalhandlers, actual.nosignalhandlers);
  EXPECT_EQ(expected.ieeewarnings, actual.ieeewarnings);
  EXPECT_EQ(expected.noieeewarnings, actual.noieeewarnings);
  EXPECT_EQ(expected.stats, actual.stats);
  EXPECT_EQ(expected.quindle, actual.quindle);
  EXPECT_EQ(expected.maxdeltaid, actual.maxdeltaid);
  EXPECT_EQ(expected.simrunnum, actual.simrunnum);
  EXPECT_EQ(expected.socket, actual.socket);
  EXPECT_EQ(expected.simmode, actual.simmode);
  EXPECT_EQ(expected.tclbatch, actual.tclbatch);
  EXPECT_EQ(expected.testplusarg, actual.testplusarg);
  EXPECT_EQ(expected.log, actual.log);
  EXPECT_EQ(expected.maxlogsize, actual.maxlogsize);
  EXPECT_EQ(expected.vcdfile, actual.vcdfile);
  EXPECT_EQ(expected.vcdunit, actual.vcdunit);
  EXPECT_EQ(expected.wdb, actual.wdb);
  EXPECT_EQ(expected.view, actual.view);
  EXPECT_EQ(expected.onfinish, actual.onfinish);
  EXPECT_EQ(expected.onerror, actual.onerror);
  EXPECT_EQ(expected.intstyle, actual.intstyle);
  EXPECT_EQ(expected.snapshot, actual.snapshot);
  EXPECT_EQ(expected.internaldebuglevel, actual.internaldebuglevel);
  EXPECT_EQ(expected.key, actual.key);
}

const char* const kViewWarning =
    "WARNING: '-view' switch ignored in command line mode. It should be used together with "
    "'-gui' switch.\n";

struct ParseCase {
  std::string label;
  std::vector<std::string> args;
  bool result;
  std::string message;  // stderr before the usage text
  bool usage;
  std::function<void(CommandLineOptions&)> expect;  // applied to the defaults
};

void noChange(CommandLineOptions&) {}

void runCases(const std::vector<ParseCase>& cases) {
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.label);
    CommandLineOptions actual;
    const Outcome outcome = runParse(actual, c.args);
    EXPECT_EQ(c.result, outcome.result);
    EXPECT_EQ(c.message + (c.usage ? usageFor("kvel") : ""), outcome.err);
    EXPECT_EQ("", outcome.out);
    CommandLineOptions expected = registeredDefaults();
    c.expect(expected);
    expectSameSettings(expected, actual);
  }
}

TEST(Parse, AcceptedArgumentLists) {
  runCases({
      {"no arguments", {}, true, "", false, noChange},
      {"flag then snapshot", {"-gui", "mysnap"}, true, "", false,
       [](CommandLineOptions& o) {
         o.gui = true;
         o.snapshot = "mysnap";
       }},
      {"double-dash switch", {"mysnap", "--gui"}, true, "", false,
       [](CommandLineOptions& o) {
         o.gui = true;
         o.snapshot = "mysnap";
       }},
      {"value that looks like a switch", {"-log", "-gui"}, true, "", false,
       [](CommandLineOptions& o) { o.log = "--gui"; }},
      {"value that is a lone dash", {"-tclbatch", "-", "--wdb", "--"}, true, "", false,
       [](CommandLineOptions& o) {
         o.tclbatch = {"-"};
         o.wdb = "--";
       }},
      {"short negative number", {"-maxdeltaid", "-5"}, true, "", false,
       [](CommandLineOptions& o) { o.maxdeltaid = -5; }},
      {"trailing junk ignored", {"-maxdeltaid", "12abc"}, true, "", false,
       [](CommandLineOptions& o) { o.maxdeltaid = 12; }},
      {"unsigned wraps", {"-internaldebuglevel", "-1"}, true, "", false,
       [](CommandLineOptions& o) { o.internaldebuglevel = 4294967295U; }},
      {"snapshot switch alone is overwritten", {"-snapshot", "a"}, true, "", false, noChange},
      {"positional beats snapshot switch", {"-snapshot", "a", "b"}, true, "", false,
       [](CommandLineOptions& o) { o.snapshot = "b"; }},
      {"empty argument then snapshot", {"", "top"}, true, "", false,
       [](CommandLineOptions& o) { o.snapshot = "top"; }},
      {"only empty arguments", {"", ""}, true, "", false, noChange},
      {"alias and long form append in order", {"-t", "a.tcl", "-tclbatch", "b.tcl", "--t", "c"},
       true, "", false,
       [](CommandLineOptions& o) { o.tclbatch = {"a.tcl", "b.tcl", "c"}; }},
      {"one-letter aliases", {"-g", "-R"}, true, "", false,
       [](CommandLineOptions& o) {
         o.gui = true;
         o.runall = true;
       }},
      {"last value wins", {"-maxlogsize", "5", "-maxlogsize", "7", "-log", "a", "-log", "b"},
       true, "", false,
       [](CommandLineOptions& o) {
         o.maxlogsize = 7;
         o.log = "b";
       }},
      {"choices are not enforced", {"-onfinish", "whatever", "-onerror", "QUIT"}, true, "", false,
       [](CommandLineOptions& o) {
         o.onfinish = "whatever";
         o.onerror = "QUIT";
       }},
      {"flag twice and the always-on flag", {"-gui", "-gui", "-noieeewarnings"}, true, "", false,
       [](CommandLineOptions& o) { o.gui = true; }},
      {"joined file form reaches the parser", {"top", "--file=y"}, false,
       "Unexpected option encountered : file=y\n", true, noChange},
      {"--f names a command file as -f does", {"--f", "x", "top"}, false,
       "Unable to open command file x\n", false, noChange},
      {"view with gui", {"-view", "w.wcfg", "-gui"}, true, "", false,
       [](CommandLineOptions& o) {
         o.view = {"w.wcfg"};
         o.gui = true;
       }},
      {"view with g", {"-g", "-view", "w.wcfg"}, true, "", false,
       [](CommandLineOptions& o) {
         o.view = {"w.wcfg"};
         o.gui = true;
       }},
      {"view without gui warns", {"-view", "a.wcfg", "top", "-view", "b.wcfg"}, true, kViewWarning,
       false,
       [](CommandLineOptions& o) {
         o.view = {"a.wcfg", "b.wcfg"};
         o.snapshot = "top";
       }},
      {"help prints usage", {"-h"}, true, "", true, [](CommandLineOptions& o) { o.help = true; }},
      {"help suppresses the view warning", {"top", "-help", "-view", "w.wcfg"}, true, "", true,
       [](CommandLineOptions& o) {
         o.help = true;
         o.view = {"w.wcfg"};
         o.snapshot = "top";
       }},
      {"every other option",
       {"-intstyle", "silent", "-key", "K", "-simmode", "gui", "-socket", "4000", "-simrunnum",
        "3", "-vcdfile", "a.vcd", "-vcdunit", "ns", "-quindle", "-wdb", "w.wdb", "-testplusarg",
        "A=1", "-testplusarg", "B", "-tl", "-tp", "-version", "-nolog", "-stats",
        "-nosignalhandlers", "-ieeewarnings", "-log", "l.log", "-onerror", "stop", "-runall",
        "-maxdeltaid", "2147483647", "-internaldebuglevel", "3"},
       true, "", false,
       [](CommandLineOptions& o) {
         o.intstyle = "silent";
         o.key = "K";
         o.simmode = "gui";
         o.socket = 4000;
         o.simrunnum = 3;
         o.vcdfile = "a.vcd";
         o.vcdunit = "ns";
         o.quindle = true;
         o.wdb = "w.wdb";
         o.testplusarg = {"A=1", "B"};
         o.tl = o.tp = o.version = o.nolog = o.stats = true;
         o.nosignalhandlers = o.ieeewarnings = o.runall = true;
         o.log = "l.log";
         o.onerror = "stop";
         o.maxdeltaid = 2147483647;
         o.internaldebuglevel = 3;
       }},
  });
}

TEST(Parse, RejectedArgumentLists) {
  runCases({
      {"second positional argument", {"mysnap", "other"}, false,
       "Expected a switch but found o\n", true, noChange},
      {"empty argument after the snapshot", {"top", ""}, false,
       "Expected a switch but found \n", true, noChange},
      // The first character whole, never half of it; a byte that starts no
      // character stands alone.
      {"second positional beyond ASCII", {"top", "\xC3\xA9xtra"}, false,
       "Expected a switch but found \xC3\xA9\n", true, noChange},
      {"second positional emoji", {"top", "\xF0\x9F\x98\x80\xD0\x96"}, false,
       "Expected a switch but found \xF0\x9F\x98\x80\n", true, noChange},
      {"second positional broken sequence", {"top", "\xE6\x97x"}, false,
       "Expected a switch but found \xE6\n", true, noChange},
      {"value missing at the end", {"-log"}, false, "No value specified for option : log\n", true,
       noChange},
      {"value missing after a good pair", {"top", "-t", "a", "-view"}, false,
       "No value specified for option : view\n", true,
       [](CommandLineOptions& o) { o.tclbatch = {"a"}; }},
      {"unknown single dash", {"-foo"}, false, "Unexpected option encountered : foo\n", true,
       noChange},
      {"unknown double dash", {"--foo"}, false, "Unexpected option encountered : foo\n", true,
       noChange},
      {"three dashes keep one", {"---foo"}, false, "Unexpected option encountered : -foo\n", true,
       noChange},
      {"lone dash", {"-"}, false, "Unexpected option encountered : \n", true, noChange},
      {"lone double dash", {"--"}, false, "Unexpected option encountered : \n", true, noChange},
      {"no joined value", {"-log=x.log"}, false, "Unexpected option encountered : log=x.log\n",
       true, noChange},
      {"case-sensitive", {"-LOG", "x"}, false, "Unexpected option encountered : LOG\n", true,
       noChange},
      {"no abbreviation", {"-lo", "x"}, false, "Unexpected option encountered : lo\n", true,
       noChange},
      {"rewritten negative value", {"-maxdeltaid", "-50"}, false,
       "Illegal value : --50for option maxdeltaid\n", true, noChange},
      {"int out of range", {"-socket", "2147483648"}, false,
       "Illegal value : 2147483648for option socket\n", true, noChange},
      {"unsigned out of range", {"-internaldebuglevel", "4294967296"}, false,
       "Illegal value : 4294967296for option internaldebuglevel\n", true, noChange},
      {"help then unknown", {"-help", "-foo"}, false, "Unexpected option encountered : foo\n",
       true, [](CommandLineOptions& o) { o.help = true; }},
      {"unknown then help", {"-foo", "-help"}, false, "Unexpected option encountered : foo\n",
       true, noChange},
      {"scanning stops at the first failure", {"-gui", "-bad", "-nolog", "other"}, false,
       "Unexpected option encountered : bad\n", true,
       [](CommandLineOptions& o) { o.gui = true; }},
      {"view not warned on failure", {"-view", "w", "a", "b"}, false,
       "Expected a switch but found b\n", true,
       [](CommandLineOptions& o) { o.view = {"w"}; }},
  });
}

TEST(Parse, RecordsTheCommandLineAndBothArgumentLists) {
  CommandLineOptions o;
  const Outcome outcome = runParse(o, {"-gui", "my snap", "-t", "-abc"}, "/opt/kvel");
  EXPECT_TRUE(outcome.result);
  EXPECT_EQ("", outcome.err);
  EXPECT_EQ("/opt/kvel", o.programName);
  EXPECT_EQ("/opt/kvel -gui my snap -t -abc", o.commandLine);
  EXPECT_EQ((std::vector<std::string>{"-gui", "my snap", "-t", "-abc"}), o.rawArguments);
  EXPECT_EQ((std::vector<std::string>{"--gui", "my snap", "-t", "--abc"}), o.expandedArguments.strings());
  EXPECT_EQ(std::vector<std::string>{"--abc"}, o.tclbatch);
  EXPECT_EQ("my snap", o.snapshot);
}

TEST(Parse, CommandFileFailureWritesNoUsage) {
  CommandLineOptions o;
  const Outcome outcome = runParse(o, {"top", "-gui", "-f"});
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ("ERROR: Missing command file name for switch '-f [--file]'\n", outcome.err);
  EXPECT_EQ("kvel top -gui -f", o.commandLine);
  // Nothing was parsed: the snapshot is not taken and the flag not set.
  EXPECT_EQ("", o.snapshot);
  EXPECT_FALSE(o.gui);
}

TEST(Parse, ArgumentsFromACommandFileAreParsedInPlace) {
  testsupport::TempDir dir;
  const std::string file = dir.file("opts.txt");
  testsupport::writeFile(file, "-testplusarg SEED=7\n-view\nw.wcfg\n");
  CommandLineOptions o;
  const Outcome outcome = runParse(o, {"top", "-tclbatch", "run.tcl", "-f", file, "-g"});
  EXPECT_TRUE(outcome.result);
  EXPECT_EQ("", outcome.err);
  EXPECT_EQ((std::vector<std::string>{"top", "--tclbatch", "run.tcl", "--testplusarg", "SEED=7",
                                      "--view", "w.wcfg", "-g"}),
            o.expandedArguments.strings());
  EXPECT_EQ(std::vector<std::string>{"run.tcl"}, o.tclbatch);
  EXPECT_EQ(std::vector<std::string>{"SEED=7"}, o.testplusarg);
  EXPECT_EQ(std::vector<std::string>{"w.wcfg"}, o.view);
  EXPECT_TRUE(o.gui);
  EXPECT_EQ("top", o.snapshot);
}

TEST(Parse, ArgumentsEndAtTheFirstNullEntry) {
  std::string program = "kvel";
  std::string gui = "-gui";
  std::string snap = "top";
  std::vector<char*> argv = {&program[0], &gui[0], nullptr, &snap[0], nullptr};
  CommandLineOptions o;
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_TRUE(o.parse(4, argv.data(), out, err));
  EXPECT_EQ("", err.str() + out.str());
  EXPECT_EQ("kvel -gui", o.commandLine);
  EXPECT_EQ(std::vector<std::string>{"-gui"}, o.rawArguments);
  EXPECT_TRUE(o.gui);
  EXPECT_EQ("", o.snapshot);
}

TEST(Parse, EmptyArgumentVectorIsAnEmptyCommandLine) {
  for (const int argc : {0, -1}) {
    char* argv[] = {nullptr};
    CommandLineOptions o;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_TRUE(o.parse(argc, argv, out, err));
    EXPECT_TRUE(o.parse(argc, nullptr, out, err));
    EXPECT_EQ("", err.str() + out.str());
    EXPECT_EQ("", o.programName);
    EXPECT_EQ("", o.commandLine);
    EXPECT_TRUE(o.expandedArguments.empty());
  }
}

TEST(Usage, MatchesTheGoldenTextByteForByte) {
  CommandLineOptions o;
  o.programName = "kvel";
  OptionSet visible;
  o.registerOptions(visible);
  const std::string err = o.usageText(visible);
  EXPECT_EQ(testsupport::readFile(KVEL_USAGE_GOLDEN), err);
  EXPECT_EQ(25 + 3, std::count(err.begin(), err.end(), '\n'));
}

TEST(Usage, NamesTheProgramAsInvokedAndLeavesStreamFlagsAlone) {
  CommandLineOptions o;
  std::string program = "C:/tools/kvel.exe";
  std::string help = "--help";
  char* argv[] = {&program[0], &help[0], nullptr};
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_TRUE(o.parse(2, argv, out, err));
  EXPECT_EQ(usageFor("C:/tools/kvel.exe"), err.str());
  err.str("");
  err << 7 << "|" << std::setw(3) << 7 << "|";
  EXPECT_EQ("7|  7|", err.str());
}

TEST(Usage, LongNamesPushTheDescriptionRight) {
  CommandLineOptions o;
  o.programName = "k";
  OptionSet set;
  set.insert(std::make_shared<KVEL::OptionValue>("averyveryverylongname", "d"));
  set.insert(std::make_shared<KVEL::OptionValue>("abcdefghijklmnopqr", "e"));
  EXPECT_EQ(
      "Kvel simulation executable\nUsage: k [options]\n"
      "(Switches with double dash '--' can also be used with a single dash '-')\n"
      "    --abcdefghijklmnopqr : e\n"
      "    --averyveryverylongname : d\n",
      o.usageText(set));
}

// The parser over an expanded list, read in place, against the same
// arguments as an argument vector: the same result, message, snapshot and
// values, also where a switch's value is missing at the end.
struct BothFormsCase {
  const char* name;
  std::vector<std::string> args;
};

class ParserForms : public testing::TestWithParam<BothFormsCase> {};

TEST_P(ParserForms, ListAndVectorGiveTheSame) {
  struct Run {
    bool result;
    std::string err;
    CommandLineOptions record;
  };
  const auto run = [](bool fromList, const std::vector<std::string>& args) {
    Run r{false, "", CommandLineOptions()};
    OptionSet all;
    r.record.registerOptions(all);
    r.record.registerHiddenOptions(all);
    std::string program = "kvel";
    std::vector<std::string> storage = {program};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& text : storage)
      argv.push_back(&text[0]);
    const KVEL::cmdfile::ArgumentList list(args);
    KVEL::ArgumentParser parser =
        fromList ? KVEL::ArgumentParser(program, list, &all)
                 : KVEL::ArgumentParser(static_cast<int>(argv.size()), argv.data(), &all);
    r.result = parser.parse(&r.err);
    r.record.snapshot = parser.positionalArgument;
    return r;
  };
  const Run vector = run(false, GetParam().args);
  const Run list = run(true, GetParam().args);
  EXPECT_EQ(vector.result, list.result);
  EXPECT_EQ(vector.err, list.err);
  expectSameSettings(vector.record, list.record);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Forms, ParserForms, testing::Values(
    BothFormsCase{"Empty", {}},
    BothFormsCase{"ValuesFlagsAndSnapshot",
                  {"--testplusarg", "A=\xC3\xA9", "top", "--tclbatch", "\xE6\xBC\xA2.tcl", "-gui",
                   "--testplusarg", "\xF0\x9F\x98\x80", "--maxdeltaid", "5", "--view", "\xD0\xB2.wcfg"}},
    BothFormsCase{"ValueThatStartsWithADash", {"--testplusarg", "--tp", "top"}},
    BothFormsCase{"EmptyValue", {"--wdb", "", "top"}},
    BothFormsCase{"ValueMissingAtTheEnd", {"top", "--testplusarg"}},
    BothFormsCase{"SecondPositional", {"top", "\xD0\xB6"}},
    BothFormsCase{"UnknownSwitch", {"top", "--nosuch"}}),
    [](const testing::TestParamInfo<BothFormsCase>& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
