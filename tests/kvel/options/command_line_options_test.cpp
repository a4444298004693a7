// The option table: defaults of the settings record, the visible and hidden
// option sets, the kind, description and variable of every option.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kvel/options/command_line_options.h"

namespace {

using KVEL::CommandLineOptions;

void expectDefaults(const CommandLineOptions& o) {
  EXPECT_EQ("", o.commandLine);
  EXPECT_EQ("", o.programName);
  EXPECT_FALSE(o.gui);
  EXPECT_FALSE(o.help);
  EXPECT_FALSE(o.nolog);
  EXPECT_FALSE(o.version);
  EXPECT_FALSE(o.runall);
  EXPECT_FALSE(o.tp);
  EXPECT_FALSE(o.tl);
  EXPECT_FALSE(o.nosignalhandlers);
  EXPECT_FALSE(o.ieeewarnings);
  EXPECT_TRUE(o.noieeewarnings);
  EXPECT_FALSE(o.stats);
  EXPECT_FALSE(o.quindle);
  EXPECT_EQ(10000, o.maxdeltaid);
  EXPECT_EQ(0, o.simrunnum);
  EXPECT_EQ(0, o.socket);
  EXPECT_EQ("", o.simmode);
  EXPECT_TRUE(o.tclbatch.empty());
  EXPECT_TRUE(o.rawArguments.empty());
  EXPECT_TRUE(o.expandedArguments.empty());
  EXPECT_TRUE(o.testplusarg.empty());
  EXPECT_EQ("", o.log);
  EXPECT_EQ(-1, o.maxlogsize);
  EXPECT_EQ("", o.vcdfile);
  EXPECT_EQ("", o.vcdunit);
  EXPECT_EQ("", o.wdb);
  EXPECT_TRUE(o.view.empty());
  EXPECT_EQ("", o.onfinish);
  EXPECT_EQ("", o.onerror);
  EXPECT_EQ("default", o.intstyle);
  EXPECT_EQ("", o.snapshot);
  EXPECT_EQ(0U, o.internaldebuglevel);
  EXPECT_EQ("", o.key);
}

std::vector<std::string> namesOf(const OptionSet& set) {
  std::vector<std::string> names;
  for (const auto& option : set) names.push_back(option->name());
  return names;
}

TEST(OptionTable, FreshRecordHoldsEveryDefaultAndTheSetsHoldEveryName) {
  CommandLineOptions constructed;
  {
    SCOPED_TRACE("constructor alone");
    expectDefaults(constructed);
  }

  CommandLineOptions o;
  OptionSet visible;
  OptionSet hidden;
  o.registerOptions(visible);
  o.registerHiddenOptions(hidden);
  {
    SCOPED_TRACE("after both registrations");
    expectDefaults(o);
  }

  EXPECT_EQ((std::vector<std::string>{"R", "f", "file", "g", "gui", "h", "help", "ieeewarnings",
                                      "log", "maxdeltaid", "maxlogsize", "nolog",
                                      "nosignalhandlers", "onerror", "onfinish", "runall", "stats",
                                      "t", "tclbatch", "testplusarg", "tl", "tp", "version", "view",
                                      "wdb"}),
            namesOf(visible));
  EXPECT_EQ((std::vector<std::string>{"internaldebuglevel", "intstyle", "key", "noieeewarnings",
                                      "quindle", "simmode", "simrunnum", "snapshot", "socket",
                                      "vcdfile", "vcdunit"}),
            namesOf(hidden));
}

// Registration writes a default only where the table gives one; the other
// variables keep what the record held.
TEST(OptionTable, RegistrationWritesDefaultsOnlyWhereTheTableGivesOne) {
  CommandLineOptions o;
  o.gui = o.help = o.nolog = o.version = o.runall = o.tp = o.tl = true;
  o.nosignalhandlers = o.ieeewarnings = o.stats = o.quindle = true;
  o.noieeewarnings = false;
  o.maxdeltaid = o.simrunnum = o.socket = o.maxlogsize = 5;
  o.internaldebuglevel = 5;
  o.log = o.onfinish = o.onerror = o.simmode = o.intstyle = "set";
  o.wdb = o.snapshot = o.vcdfile = o.vcdunit = o.key = "kept";
  o.tclbatch = o.testplusarg = o.view = {"kept"};

  OptionSet visible;
  OptionSet hidden;
  o.registerOptions(visible);
  o.registerHiddenOptions(hidden);

  EXPECT_FALSE(o.gui || o.help || o.nolog || o.version || o.runall || o.tp || o.tl);
  EXPECT_FALSE(o.nosignalhandlers || o.ieeewarnings || o.stats || o.quindle);
  EXPECT_TRUE(o.noieeewarnings);
  EXPECT_EQ(10000, o.maxdeltaid);
  EXPECT_EQ(0, o.simrunnum);
  EXPECT_EQ(0, o.socket);
  EXPECT_EQ(-1, o.maxlogsize);
  EXPECT_EQ(0U, o.internaldebuglevel);
  EXPECT_EQ("", o.log);
  EXPECT_EQ("", o.onfinish);
  EXPECT_EQ("", o.onerror);
  EXPECT_EQ("", o.simmode);
  EXPECT_EQ("default", o.intstyle);
  for (const std::string* kept : {&o.wdb, &o.snapshot, &o.vcdfile, &o.vcdunit, &o.key}) {
    EXPECT_EQ("kept", *kept);
  }
  for (const auto* kept : {&o.tclbatch, &o.testplusarg, &o.view}) {
    EXPECT_EQ(std::vector<std::string>{"kept"}, *kept);
  }
}

enum class Kind { flag, integer, unsignedInteger, text, list, unbound };

struct TableRow {
  std::string name;
  Kind kind;
  std::string description;
};

// A value that the option's kind accepts, and where that value must land.
void expectBinding(const std::string& name, Kind kind, KVEL::OptionValue& option) {
  SCOPED_TRACE("option " + name);
  switch (kind) {
    case Kind::flag:
      EXPECT_TRUE(option.isFlag());
      EXPECT_TRUE(option.setValue("true"));
      break;
    case Kind::integer:
    case Kind::unsignedInteger: {
      EXPECT_FALSE(option.isFlag());
      EXPECT_TRUE(option.setValue("4242"));
      std::string err;
      EXPECT_FALSE(option.store("x", &err));
      EXPECT_EQ("Illegal value : xfor option " + name, err);
      break;
    }
    case Kind::text:
      EXPECT_FALSE(option.isFlag());
      EXPECT_TRUE(option.setValue("value-of-" + name));
      break;
    case Kind::list:
      EXPECT_FALSE(option.isFlag());
      EXPECT_TRUE(option.setValue("item-of-" + name));
      break;
    case Kind::unbound:
      EXPECT_FALSE(option.isFlag());
      EXPECT_TRUE(option.setValue("ignored"));
      break;
  }
}

// Checks the record after every option got the value expectBinding gives it.
void expectAllBound(const CommandLineOptions& o) {
  for (const bool* flag : {&o.gui, &o.help, &o.nolog, &o.version, &o.runall, &o.tp, &o.tl,
                           &o.nosignalhandlers, &o.ieeewarnings, &o.noieeewarnings, &o.stats,
                           &o.quindle}) {
    EXPECT_TRUE(*flag);
  }
  EXPECT_EQ(4242, o.maxdeltaid);
  EXPECT_EQ(4242, o.simrunnum);
  EXPECT_EQ(4242, o.socket);
  EXPECT_EQ(4242, o.maxlogsize);
  EXPECT_EQ(4242U, o.internaldebuglevel);
  EXPECT_EQ("value-of-log", o.log);
  EXPECT_EQ("value-of-onfinish", o.onfinish);
  EXPECT_EQ("value-of-onerror", o.onerror);
  EXPECT_EQ("value-of-wdb", o.wdb);
  EXPECT_EQ("value-of-intstyle", o.intstyle);
  EXPECT_EQ("value-of-simmode", o.simmode);
  EXPECT_EQ("value-of-snapshot", o.snapshot);
  EXPECT_EQ("value-of-vcdfile", o.vcdfile);
  EXPECT_EQ("value-of-vcdunit", o.vcdunit);
  EXPECT_EQ("value-of-key", o.key);
  EXPECT_EQ((std::vector<std::string>{"item-of-t", "item-of-tclbatch"}), o.tclbatch);
  EXPECT_EQ(std::vector<std::string>{"item-of-testplusarg"}, o.testplusarg);
  EXPECT_EQ(std::vector<std::string>{"item-of-view"}, o.view);
  EXPECT_TRUE(o.rawArguments.empty());
  EXPECT_TRUE(o.expandedArguments.empty());
}

TEST(OptionTable, EveryOptionHasItsKindDescriptionAndVariable) {
  const std::string commandFile = "Take command line options from a file";
  const std::string guiText = "Run with interactive GUI";
  const std::string helpText = "Print help message and exit";
  const std::string runallText = "Run simulation till end i.e. do 'run all;quit'";
  const std::string tclText = "Specify the TCL file for batch mode execution";
  // In the sets' name order.
  const std::vector<TableRow> visibleRows = {
      {"R", Kind::flag, runallText},
      {"f", Kind::unbound, commandFile},
      {"file", Kind::unbound, commandFile},
      {"g", Kind::flag, guiText},
      {"gui", Kind::flag, guiText},
      {"h", Kind::flag, helpText},
      {"help", Kind::flag, helpText},
      {"ieeewarnings", Kind::flag, "Enable warnings from VHDL IEEE functions"},
      {"log", Kind::text, "Specify the log file name"},
      {"maxdeltaid", Kind::integer,
       "Specify the maximum delta number. Will report error if it exceeds maximum simulation "
       "loops at the same time"},
      {"maxlogsize", Kind::integer,
       "Set the maximum size a log file can reach in MB. The default setting is unlimited"},
      {"nolog", Kind::flag, "Suppress log file generation"},
      {"nosignalhandlers", Kind::flag,
       "Run with no signal handlers to avoid conflict with security software."},
      {"onerror", Kind::text, "Specify behavior upon simulation run-time error: quit|stop"},
      {"onfinish", Kind::text, "Specify behavior at end of simulation: quit|stop"},
      {"runall", Kind::flag, runallText},
      {"stats", Kind::flag, "Display memory and cpu stats upon exiting"},
      {"t", Kind::list, tclText},
      {"tclbatch", Kind::list, tclText},
      {"testplusarg", Kind::list,
       "Specify plus args to be used by $test$plusargs and $value$plusargs system functions"},
      {"tl", Kind::flag,
       "Enable printing of file name and line number of statements being executed."},
      {"tp", Kind::flag, "Enable printing of hierarchical names of process being executed."},
      {"version", Kind::flag, "Print the simulator version and quit."},
      {"view", Kind::list,
       "Open a wave configuration file. This switch should be used together with -gui switch"},
      {"wdb", Kind::text, "Specify the waveform database output file."},
  };
  const std::vector<TableRow> hiddenRows = {
      {"internaldebuglevel", Kind::unsignedInteger,
       "Specify how much internal debug info to display.  For Quorim staff only"},
      {"intstyle", Kind::text,
       "Display messages according to specified style: ulm|pyrun|silent|default"},
      {"key", Kind::text, "Specify the simulation key for Dravik"},
      {"noieeewarnings", Kind::flag, "Disable warnings from VHDL IEEE functions"},
      {"quindle", Kind::flag, "Enable quindle transmit for kvel"},
      {"simmode", Kind::text, "Specify the database write mode: gui|test|standalone"},
      {"simrunnum", Kind::integer, "Specify the number used for creating shared memory"},
      {"snapshot", Kind::text,
       "Specify the name of simulation snapshot to launch or WDB file to open"},
      {"socket", Kind::integer,
       "Specify the TCP port number on which the simulation client is listening"},
      {"vcdfile", Kind::text, "Specify the vcd output file"},
      {"vcdunit", Kind::text,
       "Specify the vcd output unit. Default is the same as the engine precision unit"},
  };

  CommandLineOptions o;
  OptionSet visible;
  OptionSet hidden;
  o.registerOptions(visible);
  o.registerHiddenOptions(hidden);
  ASSERT_EQ(visibleRows.size(), visible.size());
  ASSERT_EQ(hiddenRows.size(), hidden.size());

  auto check = [](const std::vector<TableRow>& rows, const OptionSet& set) {
    auto option = set.begin();
    for (const TableRow& row : rows) {
      ASSERT_EQ(row.name, (*option)->name());
      EXPECT_EQ(row.description, (*option)->description()) << row.name;
      expectBinding(row.name, row.kind, **option);
      ++option;
    }
  };
  check(visibleRows, visible);
  check(hiddenRows, hidden);
  expectAllBound(o);
}

}  // namespace
