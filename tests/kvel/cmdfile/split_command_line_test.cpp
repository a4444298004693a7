// Line splitting, quote removal and trimming of command-file lines.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <boost/tokenizer.hpp>
#include <gtest/gtest.h>

#include "kvel/cmdfile/blank_pieces.h"
#include "kvel/cmdfile/line_splitting.h"
#include "tests/support/row_names.h"

namespace {

using Arguments = std::vector<std::string>;

struct SplitCase {
  std::string line;
  bool accepted;
  Arguments afterQuoteRemoval;
};

// Splitting followed by quote removal, as a command-file line goes through it.
class SplitAndUnquote : public testing::TestWithParam<SplitCase> {};

std::string splitRowName(const testing::TestParamInfo<SplitCase>& info) {
  return testsupport::indexedName(info.index, info.param.line);
}

TEST_P(SplitAndUnquote, GivesTheArguments) {
  const SplitCase& c = GetParam();
  Arguments arguments;
  std::string err;
  const bool accepted = KVEL::cmdfile::splitLine(c.line, arguments, &err);
  ASSERT_EQ(accepted, c.accepted);
  if (!accepted) {
    EXPECT_EQ(err, "Mismatched quote found in line " + c.line);
    return;
  }
  EXPECT_EQ(err, "");
  for (std::string& argument : arguments) KVEL::stripQuotes(argument);
  EXPECT_EQ(arguments, c.afterQuoteRemoval);
}

INSTANTIATE_TEST_SUITE_P(
    QuotingTable, SplitAndUnquote,
    testing::Values(
        SplitCase{"-testplusarg \"a b\"  x", true, {"-testplusarg", "a b", "x"}},
        SplitCase{"x=\"a  b\"", true, {"x=a  b"}},
        SplitCase{"\"abc\"", true, {"abc"}},
        SplitCase{"a\"b\"c", true, {"abc"}},
        SplitCase{"\"\"", true, {""}},
        SplitCase{"abc\"", true, {"abc\""}},
        SplitCase{"\" a b \"", true, {"\"", "a", "b", "\""}},
        SplitCase{"\"abc", false, {}},
        SplitCase{"a\"b c\"d", false, {}}),
    splitRowName);

INSTANTIATE_TEST_SUITE_P(
    Blanks, SplitAndUnquote,
    testing::Values(
        SplitCase{"a b", true, {"a", "b"}},
        SplitCase{"a \t  b", true, {"a", "b"}},
        SplitCase{"a # b", true, {"a", "#", "b"}},
        SplitCase{"a // b", true, {"a", "//", "b"}},
        // Vertical tab and form feed do not split; a word beginning with one is dropped.
        SplitCase{"a\vb c\fd", true, {"a\vb", "c\fd"}},
        SplitCase{"a \vb \fc d", true, {"a", "d"}},
        // Blanks inside a quoted run survive, tabs included.
        SplitCase{"\"a\t \tb\"", true, {"a\t \tb"}},
        // A run ends at the first piece that ends with a quote.
        SplitCase{"\"a b\" \"c d\"", true, {"a b", "c d"}},
        SplitCase{"--x=\"a b\"c\" d", true, {"--x=a b\"c", "d"}},
        // Two quotes in a word outside a run: one argument, first and last removed.
        SplitCase{"a\"b\"c\"d", true, {"ab\"cd"}},
        SplitCase{"'a b'", true, {"'a", "b'"}},
        SplitCase{"a\\ b", true, {"a\\", "b"}}),
    splitRowName);

// Outside quotes a word is dropped only when it begins with a control byte;
// text beyond ASCII is kept wherever it stands (also bytes that are not UTF-8).
INSTANTIATE_TEST_SUITE_P(
    FirstByte, SplitAndUnquote,
    testing::Values(
        SplitCase{"!a ~b", true, {"!a", "~b"}},
        SplitCase{std::string("a \x7F" "b"), true, {"a"}},
        SplitCase{std::string("a \x1F" "b \x01 c"), true, {"a", "c"}},
        SplitCase{"-tp \xC3\xA9t\xC3\xA9 \xD0\xBF\xD1\x80=\xE6\xBC\xA2 \xF0\x9F\x98\x80.tcl", true,
                  {"-tp", "\xC3\xA9t\xC3\xA9", "\xD0\xBF\xD1\x80=\xE6\xBC\xA2", "\xF0\x9F\x98\x80.tcl"}},
        SplitCase{"\x80 \xFF\xFE \xEF\xBB\xBFx", true, {"\x80", "\xFF\xFE", "\xEF\xBB\xBFx"}},
        SplitCase{"a\xC3\xA9 b", true, {"a\xC3\xA9", "b"}},
        SplitCase{"\"\xC3\xA9t\xC3\xA9\" b", true, {"\xC3\xA9t\xC3\xA9", "b"}},
        SplitCase{std::string("a \0b c", 6), true, {"a", "c"}}),
    splitRowName);

TEST(SplitCommandLine, AppendsToTheGivenList) {
  Arguments arguments{"kept"};
  ASSERT_TRUE(KVEL::splitCommandLine("x y", arguments));
  EXPECT_EQ(arguments, (Arguments{"kept", "x", "y"}));
}

TEST(SplitCommandLine, KeepsQuotesForQuoteRemoval) {
  Arguments arguments;
  ASSERT_TRUE(KVEL::splitCommandLine("-x \"a b\" c\"d\"", arguments));
  EXPECT_EQ(arguments, (Arguments{"-x", "\"a b\"", "c\"d\""}));
}

struct QuoteCase {
  std::string argument;
  std::string expected;
};

std::string quoteRowName(const testing::TestParamInfo<QuoteCase>& info) {
  return testsupport::indexedName(info.index, info.param.argument);
}

class StripQuotes : public testing::TestWithParam<QuoteCase> {};

TEST_P(StripQuotes, RemovesFirstAndLastQuote) {
  std::string argument = GetParam().argument;
  KVEL::stripQuotes(argument);
  EXPECT_EQ(argument, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, StripQuotes,
                         testing::Values(QuoteCase{"abc", "abc"}, QuoteCase{"\"abc", "\"abc"},
                                         QuoteCase{"abc\"", "abc\""}, QuoteCase{"\"\"", ""},
                                         QuoteCase{"\"a\"", "a"}, QuoteCase{"a\"b\"c", "abc"},
                                         QuoteCase{"\"a\"b\"c\"", "a\"b\"c"},
                                         QuoteCase{"\"\"\"", "\""}, QuoteCase{"", ""}),
                         quoteRowName);

class TrimWhitespace : public testing::TestWithParam<QuoteCase> {};

TEST_P(TrimWhitespace, TrimsTheSixCharacterSet) {
  std::string text = GetParam().argument;
  KVEL::trimWhitespace(text);
  EXPECT_EQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimWhitespace,
    testing::Values(QuoteCase{"  a  ", "a"}, QuoteCase{" \t\v\f\r\na b\r\n\f\v\t ", "a b"},
                    QuoteCase{"a", "a"}, QuoteCase{"", ""}, QuoteCase{" \r\n ", ""},
                    QuoteCase{"\xA0x\xA0", "\xA0x\xA0"}, QuoteCase{std::string("\0a", 2), std::string("\0a", 2)},
                    QuoteCase{"-x\r", "-x"}),
    quoteRowName);

// The pieces and the splitting as boost::tokenizer gives them, written the
// straightforward way, to prove the hand-written splitter equal.
std::vector<std::string> tokenizerPieces(const std::string& line) {
  const boost::char_separator<char> separator(" \t", " \t", boost::keep_empty_tokens);
  const boost::tokenizer<boost::char_separator<char>> tokens(line, separator);
  return std::vector<std::string>(tokens.begin(), tokens.end());
}

bool referenceSplit(const std::string& line, Arguments& arguments) {
  bool inQuote = false;
  std::string accumulator;
  for (const std::string& piece : tokenizerPieces(line)) {
    if (!inQuote && std::count(piece.begin(), piece.end(), '"') == 1) inQuote = true;
    if (inQuote) {
      accumulator += piece;
      if (!piece.empty() && piece.back() == '"') {
        arguments.push_back(accumulator);
        accumulator.clear();
        inQuote = false;
      }
    } else if (!piece.empty() && static_cast<unsigned char>(piece[0]) >= 0x21 &&
               static_cast<unsigned char>(piece[0]) != 0x7F) {
      arguments.push_back(piece);
    }
  }
  return !inQuote;
}

std::vector<std::string> handWrittenPieces(const std::string& line) {
  std::vector<std::string> pieces;
  KVEL::BlankPieces cutter(line);
  std::string_view piece;
  while (cutter.next(piece)) pieces.emplace_back(piece);
  return pieces;
}

std::string randomLine(std::mt19937& random) {
  static const char alphabet[] = {'a', 'b', '-', ' ', ' ', '\t', '"', '"', '\v',
                                  '\f', '\r', '#', '$', '\x80', '\xFF', '\0', '\x7F', '~'};
  std::uniform_int_distribution<int> length(0, 24);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
  std::string line;
  for (int n = length(random); n > 0; --n) line += alphabet[pick(random)];
  return line;
}

TEST(SplitCommandLine, HandWrittenSplitterEqualsTokenizerOnGeneratedLines) {
  std::mt19937 random(20170201);
  int mismatches = 0;
  int accepted = 0;
  std::string firstDifference;
  int messages = 0;
  for (int i = 0; i < 50000 && firstDifference.empty(); ++i) {
    const std::string line = randomLine(random);
    Arguments expected;
    Arguments actual;
    const bool expectedOk = referenceSplit(line, expected);
    std::string err;
    const bool actualOk = KVEL::cmdfile::splitLine(line, actual, &err);
    messages += err.empty() ? 0 : 1;
    if (handWrittenPieces(line) != tokenizerPieces(line) || actualOk != expectedOk ||
        actual != expected) {
      firstDifference = "line #" + std::to_string(i) + ": [" + line + "]";
    }
    ++(expectedOk ? accepted : mismatches);
  }
  EXPECT_EQ(firstDifference, "");
  // The generator reaches both outcomes often; each mismatch gave its message.
  EXPECT_GT(mismatches, 5000);
  EXPECT_GT(accepted, 5000);
  EXPECT_EQ(messages, mismatches);
}

}  // namespace
