// Option objects: conversions per target type, flags, the diagnostic dump
// and the name-ordered set.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "kvel/options/option_value.h"

namespace {

using KVEL::OptionValue;
using KVEL::RefOptionValue;
using KVEL::RefOptionValueList;

struct IntCase {
  std::string text;
  bool accepted;
  int value;  // expected target afterwards (the previous value when rejected)
};

TEST(RefOptionValueInt, ConvertsBaseTenOrRejectsWithMessage) {
  const int before = 77;
  const std::vector<IntCase> cases = {
      {"42", true, 42},
      {" 42", true, 42},
      {"\t\n\v\f\r 42", true, 42},
      {"42xyz", true, 42},
      {"12abc", true, 12},
      {"-7", true, -7},
      {"+7", true, 7},
      {"0", true, 0},
      {"-0", true, 0},
      {"007", true, 7},
      {"0x10", true, 0},
      {"3.9", true, 3},
      {"2147483647", true, INT_MAX},
      {"-2147483648", true, INT_MIN},
      {"2147483648", false, before},
      {"-2147483649", false, before},
      {"99999999999999999999999999", false, before},
      {"-99999999999999999999999999", false, before},
      {"", false, before},
      {" ", false, before},
      {"abc", false, before},
      {"-", false, before},
      {"+", false, before},
      {"--50", false, before},
      {"+-5", false, before},
      {"- 5", false, before},
      {"x42", false, before},
  };
  for (const IntCase& c : cases) {
    SCOPED_TRACE("text '" + c.text + "'");
    int target = before;
    RefOptionValue<int> option("maxdeltaid", "d", &target);
    std::string err;
    const bool result = option.store(c.text, &err);
    EXPECT_EQ(c.accepted, result);
    EXPECT_EQ(c.value, target);
    EXPECT_EQ(c.accepted ? "" : "Illegal value : " + c.text + "for option maxdeltaid", err);
    EXPECT_FALSE(option.isFlag());
  }
}

struct UnsignedCase {
  std::string text;
  bool accepted;
  unsigned int value;
};

TEST(RefOptionValueUnsigned, ConvertsWithThirtyTwoBitWrapOrRejects) {
  const unsigned int before = 5;
  const std::vector<UnsignedCase> cases = {
      {"0", true, 0},
      {"17", true, 17},
      {"  17", true, 17},
      {"17 18", true, 17},
      {"12abc", true, 12},
      {"+3", true, 3},
      {"4294967295", true, 4294967295U},
      {"-1", true, 4294967295U},
      {"-0", true, 0},
      {"-2", true, 4294967294U},
      {"-4294967295", true, 1},
      {"-2147483648", true, 2147483648U},
      {"4294967296", false, before},
      {"-4294967296", false, before},
      {"18446744073709551615", false, before},
      {"18446744073709551616", false, before},
      {"", false, before},
      {"abc", false, before},
      {"-", false, before},
      {"--1", false, before},
  };
  for (const UnsignedCase& c : cases) {
    SCOPED_TRACE("text '" + c.text + "'");
    unsigned int target = before;
    RefOptionValue<unsigned int> option("internaldebuglevel", "d", &target);
    std::string err;
    const bool result = option.store(c.text, &err);
    EXPECT_EQ(c.accepted, result);
    EXPECT_EQ(c.value, target);
    EXPECT_EQ(c.accepted ? "" : "Illegal value : " + c.text + "for option internaldebuglevel",
              err);
    EXPECT_FALSE(option.isFlag());
  }
}

TEST(RefOptionValueBool, OnlyTrueAndOneSwitchOn) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"true", true}, {"1", true},      {"True", false}, {"TRUE", false}, {"yes", false},
      {"0", false},   {"false", false}, {"", false},     {" 1", false},   {"true ", false},
  };
  for (const auto& c : cases) {
    for (const bool before : {false, true}) {
      SCOPED_TRACE("text '" + c.first + "'");
      bool target = before;
      RefOptionValue<bool> option("gui", "d", &target);
      std::string err;
      EXPECT_TRUE(option.store(c.first, &err));
      EXPECT_EQ("", err);
      EXPECT_EQ(c.second, target);
      EXPECT_TRUE(option.isFlag());
    }
  }
}

TEST(RefOptionValueString, LastValueWinsAndAnyTextIsAccepted) {
  std::string target = "keep";
  RefOptionValue<std::string> option("log", "d", &target);
  EXPECT_EQ("keep", target);  // the plain constructor leaves the variable alone
  for (const std::string text : {"a", "b", "", "--gui", "with blank"}) {
    EXPECT_TRUE(option.setValue(text));
    EXPECT_EQ(text, target);
  }
  EXPECT_FALSE(option.isFlag());
}

TEST(RefOptionValueList, AppendsInOrderAndNeverClears) {
  std::vector<std::string> target;
  RefOptionValueList<std::vector<std::string>> option("tclbatch", "d", &target);
  EXPECT_TRUE(target.empty());
  EXPECT_TRUE(option.setValue("a"));
  EXPECT_TRUE(option.setValue("b"));
  EXPECT_TRUE(option.setValue(""));
  EXPECT_TRUE(option.setValue("a"));
  EXPECT_EQ((std::vector<std::string>{"a", "b", "", "a"}), target);
  EXPECT_FALSE(option.isFlag());

  std::vector<std::string> prefilled = {"x"};
  RefOptionValueList<std::vector<std::string>> other("view", "d", &prefilled);
  EXPECT_EQ(std::vector<std::string>{"x"}, prefilled);
}

TEST(RefOptionValue, DefaultingConstructorWritesTheDefault) {
  int number = 1;
  RefOptionValue<int> numberOption("maxlogsize", "d", &number, -1);
  EXPECT_EQ(-1, number);
  unsigned int level = 9;
  RefOptionValue<unsigned int> levelOption("internaldebuglevel", "d", &level, 0U);
  EXPECT_EQ(0U, level);
  std::string text = "x";
  RefOptionValue<std::string> textOption("intstyle", "d", &text, std::string("default"));
  EXPECT_EQ("default", text);
  bool flag = false;
  RefOptionValue<bool> flagOption("noieeewarnings", "d", &flag, true);
  EXPECT_TRUE(flag);
}

TEST(OptionValue, UnboundTakesAValueAndStoresNothing) {
  OptionValue option("f", "Take command line options from a file");
  EXPECT_EQ("f", option.name());
  EXPECT_EQ("Take command line options from a file", option.description());
  EXPECT_FALSE(option.isFlag());
  std::string err;
  EXPECT_TRUE(option.store("anything", &err));
  EXPECT_EQ("", err);
  std::ostringstream out;
  option.print(out);
  EXPECT_EQ("", out.str());
}

TEST(OptionPrint, WritesNameColonValue) {
  int number = -3;
  unsigned int level = 4294967295U;
  std::string text = "a b";
  bool on = true;
  bool off = false;
  std::vector<std::string> list = {"x", "y"};
  std::vector<std::string> empty;
  std::ostringstream out;
  RefOptionValue<int>("maxdeltaid", "", &number).print(out);
  RefOptionValue<unsigned int>("internaldebuglevel", "", &level).print(out);
  RefOptionValue<std::string>("log", "", &text).print(out);
  RefOptionValue<bool>("gui", "", &on).print(out);
  RefOptionValue<bool>("nolog", "", &off).print(out);
  RefOptionValueList<std::vector<std::string>>("tclbatch", "", &list).print(out);
  RefOptionValueList<std::vector<std::string>>("view", "", &empty).print(out);
  EXPECT_EQ(
      "maxdeltaid:-3\n"
      "internaldebuglevel:4294967295\n"
      "log:a b\n"
      "gui:1\n"
      "nolog:0\n"
      "tclbatch: x y\n"
      "view:\n",
      out.str());
}

TEST(OptionSet, OrderedByteWiseAndFirstInsertedStays) {
  bool first = false;
  bool second = false;
  OptionSet set;
  for (const std::string name : {"f", "file", "R", "gui", "g", "Z", "a"}) {
    set.insert(std::make_shared<OptionValue>(name, ""));
  }
  auto original = std::make_shared<RefOptionValue<bool>>("tp", "first", &first);
  EXPECT_TRUE(set.insert(original).second);
  EXPECT_FALSE(set.insert(std::make_shared<RefOptionValue<bool>>("tp", "second", &second)).second);
  EXPECT_EQ(8U, set.size());

  std::vector<std::string> names;
  for (const auto& option : set) names.push_back(option->name());
  EXPECT_EQ((std::vector<std::string>{"R", "Z", "a", "f", "file", "g", "gui", "tp"}), names);

  const auto found = set.find(std::make_shared<OptionValue>("tp", ""));
  ASSERT_NE(set.end(), found);
  EXPECT_EQ(original.get(), found->get());
  EXPECT_EQ("first", (*found)->description());
}

}  // namespace
