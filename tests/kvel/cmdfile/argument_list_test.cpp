// The compact argument list: what goes in comes out byte for byte, in order,
// NUL-terminated, across the growth of both of its page buffers.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "kvel/cmdfile/argument_list.h"

namespace {

using KVEL::cmdfile::ArgumentList;
using Strings = std::vector<std::string>;

struct ListCase {
  const char* name;
  Strings pushed;
  bool dashed;  // pushed with a dash in front
};

class ArgumentListTable : public testing::TestWithParam<ListCase> {};

TEST_P(ArgumentListTable, GivesBackWhatWasPushed) {
  const ListCase& c = GetParam();
  ArgumentList list;
  Strings expected;
  for (const std::string& text : c.pushed) {
    if (c.dashed)
      list.pushWithDash(text);
    else
      list.push_back(text);
    expected.push_back(c.dashed ? "-" + text : text);
  }
  ASSERT_EQ(list.size(), expected.size());
  EXPECT_EQ(list.empty(), expected.empty());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(list[i], expected[i]) << "argument " << i;
    // The NUL-terminated form ends at the first NUL.
    ASSERT_EQ(std::string(list.c_str(i)), std::string(expected[i].c_str())) << "argument " << i;
  }
  // A copy is whole and independent; a move leaves the source empty.
  ArgumentList copy(list);
  copy.push_back("after");
  EXPECT_EQ(list.strings(), expected);
  ArgumentList moved(std::move(copy));
  EXPECT_TRUE(copy.empty());
  expected.push_back("after");
  EXPECT_EQ(moved.strings(), expected);
  moved.clear();
  EXPECT_TRUE(moved.empty());
  moved.push_back("again");
  EXPECT_EQ(moved.strings(), Strings{"again"});
}

Strings many(std::size_t count) {
  Strings texts;
  for (std::size_t i = 0; i < count; ++i)
    texts.push_back(i % 7 == 0 ? std::string() : "SEED_" + std::to_string(i) + "=\xC3\xA9");
  return texts;
}

// Forty switches, each repeated: more than are looked for among the earlier ones.
Strings repeatedSwitches() {
  Strings texts;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 40; ++i)
      texts.insert(texts.end(), {"-s" + std::to_string(i), "V" + std::to_string(i)});
  }
  return texts;
}

const std::string kNulInSwitch("-x\0y", 4);

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lists, ArgumentListTable, testing::Values(
    ListCase{"Empty", {}, false},
    ListCase{"EmptyArguments", {"", "", "x", ""}, false},
    ListCase{"BeyondAscii", {"\xC3\xA9t\xC3\xA9", "\xD0\x9F\xD1\x80\xD0\xB8", "\xE6\xBC\xA2\xE5\xAD\x97",
                             "\xF0\x9F\x98\x80", "a b\tc"}, false},
    ListCase{"WithDash", {"testplusarg", "", "\xD0\xB6"}, true},
    // Past 64 KiB of text and of offsets: both buffers grow and move.
    ListCase{"GrowsPastSeveralMoves", many(200000), false},
    ListCase{"OneLongArgument", {std::string(3u << 20, 'x'), "y"}, false},
    ListCase{"RepeatedSwitches", repeatedSwitches(), false},
    ListCase{"RepeatedWithDash", {"testplusarg", "x", "testplusarg", "-x", "-x", "testplusarg"}, true},
    ListCase{"HoldsNul", {kNulInSwitch, "-x", kNulInSwitch, std::string("a\0", 2), "-x", "-x\xC3\xA9"},
             false}),
    [](const testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });
// clang-format on

struct SharingCase {
  const char* name;
  Strings pushed;
  std::vector<std::pair<std::size_t, std::size_t>> shared, apart;
};

// A repeated switch is written once; anything else keeps a text of its own.
TEST(ArgumentList, RepeatedSwitchesShareTheirText) {
  const SharingCase cases[] = {
      {"SwitchRepeated", {"-testplusarg", "A", "-testplusarg", "B", "-testplusarg"}, {{0, 2}, {0, 4}},
       {}},
      {"ValuesRepeated", {"-t", "A", "-t", "A"}, {{0, 2}}, {{1, 3}}},
      {"NulKeepsItsOwn", {"-x", kNulInSwitch, kNulInSwitch, "-x"}, {{0, 3}}, {{0, 1}, {1, 2}}},
      {"LongSwitchKeepsItsOwn", {"-" + std::string(40, 'l'), "-" + std::string(40, 'l')}, {},
       {{0, 1}}},
      {"BeyondAscii", {"-\xD0\x96", "-\xD0\x96", "-\xD0\x97"}, {{0, 1}}, {{0, 2}}},
  };
  for (const SharingCase& c : cases) {
    const ArgumentList list(c.pushed);
    for (const auto& pair : c.shared)
      EXPECT_EQ(list.textOffset(pair.first), list.textOffset(pair.second))
          << c.name << " " << pair.first << " " << pair.second;
    for (const auto& pair : c.apart)
      EXPECT_NE(list.textOffset(pair.first), list.textOffset(pair.second))
          << c.name << " " << pair.first << " " << pair.second;
    EXPECT_EQ(c.pushed, list.strings()) << c.name;
  }
}

}  // namespace
