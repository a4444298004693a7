// The list options' values: references into the expanded arguments' text
// read the same as copies, through everything the launch does to that list
// (growth that moves its pages, clearing it) and to the values (copies).
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kvel/cmdfile/argument_list.h"
#include "kvel/options/command_line_options.h"
#include "kvel/options/value_list.h"

namespace {

using KVEL::ValueList;
using KVEL::cmdfile::ArgumentList;
using Strings = std::vector<std::string>;

const Strings kBeyondAscii = {"N=\xC3\xA9", "\xD0\x96=\xD0\xB4\xD0\xB0", "\xE8\xA1\xA8 x",
                              "\xF0\x9F\x98\x80", ""};

struct ValueCase {
  const char* name;
  // Fills the list and says what it must read; the arguments live as long
  // as the step keeps them.
  std::function<Strings(ValueList&)> fill;
};

class ValueListTable : public testing::TestWithParam<ValueCase> {};

TEST_P(ValueListTable, ReadsWhatWasStored) {
  ValueList list;
  const Strings expected = GetParam().fill(list);
  ASSERT_EQ(expected.size(), list.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(expected[i], list[i]) << "value " << i;
  EXPECT_TRUE(list == expected);
  EXPECT_EQ(expected, list.strings());
  // A copy outlives the list and whatever it referred to.
  ValueList copy(list);
  list.clear();
  EXPECT_EQ(0u, list.capacity());
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(copy == expected);
}

// Every value pushed from a list of arguments, the list then cleared.
Strings referencedThenCleared(ValueList& list) {
  ArgumentList arguments(kBeyondAscii);
  for (std::size_t i = 0; i < arguments.size(); ++i)
    list.pushArgument(arguments, i);
  arguments.clear();
  return kBeyondAscii;
}

// The argument list grows past several moves of its pages after the values
// were taken; one value is taken at the end.
Strings referencedThenGrown(ValueList& list) {
  ArgumentList arguments(kBeyondAscii);
  for (std::size_t i = 0; i < arguments.size(); ++i)
    list.pushArgument(arguments, i);
  for (int i = 0; i < 300000; ++i)
    arguments.push_back("SEED_" + std::to_string(i));
  list.pushArgument(arguments, arguments.size() - 1);
  Strings expected = kBeyondAscii;
  expected.push_back("SEED_299999");
  return expected;
}

// Values from two lists: the second's are copies, both read right after
// both lists are gone.
Strings twoLists(ValueList& list) {
  {
    ArgumentList first({"-testplusarg", "A=1"});
    ArgumentList second({"B=\xD0\x96"});
    list.pushArgument(first, 1);
    list.pushArgument(second, 0);
    list.pushArgument(first, 0);
  }
  return {"A=1", "B=\xD0\x96", "-testplusarg"};
}

// A value is read up to its first NUL, as the parser reads it.
Strings readToNul(ValueList& list) {
  ArgumentList arguments({std::string("A=1\0B", 5), "x"});
  list.pushArgument(arguments, 0);
  list.pushArgument(arguments, 1);
  list.push_back(std::string("C\0D", 3));
  return {"A=1", "x", std::string("C\0D", 3)};
}

// Repeated switches share their text in the argument list; taken as
// values, each reads whole.
Strings repeatedSwitches(ValueList& list) {
  ArgumentList arguments;
  for (int i = 0; i < 3; ++i) {
    arguments.pushWithDash("-testplusarg");
    arguments.push_back("-\xE8\xA1\xA8");
  }
  for (std::size_t i = 0; i < arguments.size(); ++i)
    list.pushArgument(arguments, i);
  Strings expected;
  for (int i = 0; i < 3; ++i)
    expected.insert(expected.end(), {"--testplusarg", "-\xE8\xA1\xA8"});
  return expected;
}

// The parse stores references; the launch clears the expanded list before
// the values are read for the run script.
Strings parsedThenCleared(ValueList& list) {
  KVEL::CommandLineOptions options;
  std::vector<std::string> words = {"kvel", "top", "-testplusarg", "N=\xC3\xA9 \xD0\x96",
                                    "-t", "\xE8\xA1\xA8.tcl", "--testplusarg", "\xF0\x9F\x98\x80"};
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(&word[0]);
  std::ostringstream out, err;
  EXPECT_TRUE(options.parse(static_cast<int>(argv.size()), argv.data(), out, err));
  options.expandedArguments.clear();
  EXPECT_TRUE(options.tclbatch == Strings{"\xE8\xA1\xA8.tcl"});
  list = std::move(options.testplusarg);
  return {"N=\xC3\xA9 \xD0\x96", "\xF0\x9F\x98\x80"};
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, ValueListTable, testing::Values(
    ValueCase{"Empty", [](ValueList&) { return Strings{}; }},
    ValueCase{"CopiesBeyondAscii", [](ValueList& l) { l = {kBeyondAscii[0], kBeyondAscii[1],
        kBeyondAscii[2], kBeyondAscii[3], kBeyondAscii[4]}; return kBeyondAscii; }},
    ValueCase{"ManyCopies", [](ValueList& l) { l.assign(70000, "SEED=7");
        return Strings(70000, "SEED=7"); }},
    ValueCase{"ReferencedThenCleared", referencedThenCleared},
    ValueCase{"ReferencedThenGrown", referencedThenGrown},
    ValueCase{"TwoLists", twoLists},
    ValueCase{"ReadToNul", readToNul},
    ValueCase{"RepeatedSwitches", repeatedSwitches},
    ValueCase{"ParsedThenCleared", parsedThenCleared}),
    [](const testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
