// Command-line expansion and command files: rewriting, nesting, line format,
// messages, and the guards against self-inclusion and unreadable files.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kvel/cmdfile/command_file_reader.h"
#include "kvel/cmdfile/command_file_stream.h"
#include "kvel/cmdfile/environment_expansion.h"
#include "kvel/cmdfile/line_splitting.h"
#include "tests/kvel/cmdfile/scoped_environment.h"
#include "tests/support/row_names.h"
#include "tests/support/test_process.h"

namespace {

using Arguments = std::vector<std::string>;
using cmdfiletest::ScopedEnvironment;
using cmdfiletest::ScopedWorkingDirectory;
using testsupport::writeFile;

struct Outcome {
  bool ok = false;
  Arguments arguments;
  std::string out;
  std::string err;
};

// err: the returned error as the launcher prints it, with its line end.
Outcome expand(const Arguments& arguments) {
  Outcome outcome;
  std::ostringstream warnings;
  KVEL::cmdfile::ArgumentList expanded;
  outcome.ok = KVEL::cmdfile::expandArguments(arguments, expanded, warnings, &outcome.err);
  outcome.arguments = expanded.strings();
  if (!outcome.err.empty())
    outcome.err += "\n";
  outcome.out = warnings.str();
  return outcome;
}

// The arguments one command file of the given content expands to.
class CommandFile : public testing::Test {
protected:
  Outcome expandFile(const std::string& content) {
    writeFile(temp.file("opts.txt"), content);
    return expand({"-f", temp.file("opts.txt")});
  }
  testsupport::TempDir temp;
};

struct RewriteCase {
  Arguments arguments;
  Arguments expected;
};

class CommandLineRewrite : public testing::TestWithParam<RewriteCase> {};

TEST_P(CommandLineRewrite, GivesSingleDashLongArgumentsASecondDash) {
  const Outcome outcome = expand(GetParam().arguments);
  ASSERT_TRUE(outcome.ok) << outcome.err;
  EXPECT_EQ(outcome.arguments, GetParam().expected);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.out, "");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineRewrite,
    testing::Values(
        RewriteCase{{"-snapshot", "top"}, {"--snapshot", "top"}},
        RewriteCase{{"-abc"}, {"--abc"}},
        RewriteCase{{"-", "--", "-5", "--x", "---x"}, {"-", "--", "-5", "--x", "---x"}},
        RewriteCase{{"-maxdeltaid", "-50"}, {"--maxdeltaid", "--50"}},
        RewriteCase{{"-log", "-gui"}, {"--log", "--gui"}},
        RewriteCase{{"--file=opts.txt", "-F", "x", "--FILE", "y", "-File"},
                    {"--file=opts.txt", "-F", "x", "--FILE", "y", "--File"}},
        RewriteCase{{"", "top", "a-b"}, {"", "top", "a-b"}},
        // Command-line arguments are neither split, unquoted nor expanded.
        RewriteCase{{"\"a b\"", "$HOME", "${HOME}/x", " -x"}, {"\"a b\"", "$HOME", "${HOME}/x", " -x"}},
        RewriteCase{{}, {}}),
    [](const testing::TestParamInfo<RewriteCase>& info) {
      return testsupport::indexedName(info.index, info.param.arguments);
    });
// clang-format on

class MissingFileName : public testing::TestWithParam<Arguments> {};

TEST_P(MissingFileName, IsReportedAndFails) {
  const Outcome outcome = expand(GetParam());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.err, "ERROR: Missing command file name for switch '-f [--file]'\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, MissingFileName,
                         testing::Values(Arguments{"-f"}, Arguments{"top", "--file"},
                                         Arguments{"-gui", "-file"}),
                         [](const testing::TestParamInfo<Arguments>& info) {
                           return testsupport::indexedName(info.index, info.param);
                         });

TEST(CommandFileName, UnopenableFileIsReported) {
  const Outcome outcome = expand({"top", "-f", "/nonexistent/kvel/opts.txt", "-gui"});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.err, "Unable to open command file /nonexistent/kvel/opts.txt\n");
}

TEST_F(CommandFile, NameIsTakenVerbatimAndRelativeToWorkingDirectory) {
  writeFile(temp.file("-x"), "from-dash-file\n");
  writeFile(temp.file("opts.txt"), "from-opts\n");
  ScopedWorkingDirectory inTemp(temp.path());
  const Outcome outcome = expand({"-f", "-x", "-file", "opts.txt", "--file", "opts.txt"});
  ASSERT_TRUE(outcome.ok) << outcome.err;
  EXPECT_EQ(outcome.arguments, (Arguments{"from-dash-file", "from-opts", "from-opts"}));
}

TEST_F(CommandFile, NestedFilesSpliceInPlace) {
  writeFile(temp.file("a.txt"), "a1 a2\na3\n");
  writeFile(temp.file("b.txt"), "b1\nb2 -f " + temp.file("a.txt") + " b3\nb4\n");
  const Outcome outcome = expand({"p", "-f", temp.file("b.txt"), "q", "-f", temp.file("a.txt")});
  ASSERT_TRUE(outcome.ok) << outcome.err;
  EXPECT_EQ(outcome.arguments,
            (Arguments{"p", "b1", "b2", "a1", "a2", "a3", "b3", "b4", "q", "a1", "a2", "a3"}));
}

TEST_F(CommandFile, SwitchAndValueMayStandOnDifferentLines) {
  const Outcome outcome = expandFile("-snapshot\ntop\n-5\n-\n--\n-foo\n\"-abc\"\n");
  ASSERT_TRUE(outcome.ok) << outcome.err;
  EXPECT_EQ(outcome.arguments, (Arguments{"--snapshot", "top", "-5", "-", "--", "--foo", "--abc"}));
}

TEST_F(CommandFile, FileSwitchAtEndOfLineWithNameOnNextLineFails) {
  const Outcome outcome = expandFile("-gui -f\nmore.txt\n");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.err, "ERROR: Missing command file name for switch '-f [--file]'\n");
}

struct ContentCase {
  const char* title;
  std::string content;
  Arguments expected;
};

void PrintTo(const ContentCase& c, std::ostream* os) { *os << c.title; }

class FileContent : public CommandFile, public testing::WithParamInterface<ContentCase> {};

TEST_P(FileContent, GivesTheArguments) {
  const Outcome outcome = expandFile(GetParam().content);
  ASSERT_TRUE(outcome.ok) << outcome.err;
  EXPECT_EQ(outcome.arguments, GetParam().expected);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.out, "");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Lines, FileContent,
    testing::Values(
        ContentCase{"empty file", "", {}},
        ContentCase{"comments and blank lines only", "# one\n\n   \t\n// two\n  # three\r\n", {}},
        ContentCase{"comment marks inside a line", "a # b\nc // d\n/x\n", {"a", "#", "b", "c", "//", "d", "/x"}},
        ContentCase{"last line without line feed", "-gui\n-log x.log", {"--gui", "--log", "x.log"}},
        ContentCase{"CRLF lines", "-gui\r\n-log x.log\r\n\r\n# c\r\nlast\r", {"--gui", "--log", "x.log", "last"}},
        ContentCase{"quoting", "-testplusarg \"a b\"  x\nx=\"a  b\"\n\"\"\n\"a b \"\n",
                    {"--testplusarg", "a b", "x", "x=a  b", "", "a b"}},
        ContentCase{"lone quotes open and close at once", "\" \"", {"\"", "\""}},
        // A line that is not UTF-8 is in the ANSI code page (Windows; its
        // text as UTF-8 here) or keeps its bytes (Linux); C6 D6 is ЖЦ in
        // code page 1251. A valid UTF-8 line is UTF-8 on both.
        ContentCase{"line not UTF-8", "-testplusarg \xC6\xD6\n-tp \xD0\x96\xD0\xA6\n",
                    {"--testplusarg", testsupport::fromAnsiCodePage("\xC6\xD6"), "--tp",
                     "\xD0\x96\xD0\xA6"}},
        ContentCase{"one byte that is no UTF-8 decides for its line",
                    "\xC3\xA9 \xC6\n\xC3\xA9\n\xC0\xAF\n",
                    {testsupport::fromAnsiCodePage("\xC3\xA9"), testsupport::fromAnsiCodePage("\xC6"),
                     "\xC3\xA9", testsupport::fromAnsiCodePage("\xC0\xAF")}}),
    testsupport::NameByTitle());
// clang-format on

// UTF-16 units as a file's bytes: the byte-order mark, then the units.
std::string utf16(const std::u16string& units, bool bigEndian) {
  std::string bytes;
  for (const char16_t unit : u"\uFEFF" + units) {
    bytes += static_cast<char>(bigEndian ? unit >> 8 : unit & 0xFF);
    bytes += static_cast<char>(bigEndian ? unit & 0xFF : unit >> 8);
  }
  return bytes;
}

// UTF-8 words as this process's text (on Windows its code page); false when
// that cannot hold every character.
bool inProgramText(const Arguments& utf8, Arguments& text) {
  text = utf8;
  bool representable = true;
  for (std::string& word : text)
    representable = testsupport::inProcessText(word, word) && representable;
  return representable;
}

// A UTF-16 file (either byte order) gives what its text gives as a UTF-8
// file, or is refused when it is no UTF-16 or a character has no place in
// the process's text.
TEST_F(CommandFile, Utf16FileIsReadAsItsText) {
  ScopedEnvironment environment;
  environment.set("KVT_WORD", "v_1");
  writeFile(temp.file("inner.txt"), "-tp z\n");
  const std::string innerName = temp.file("inner.txt");
  const std::string refused = "ERROR: Command file " + temp.file("opts.txt") + " ";
  // clang-format off
  const struct {
    std::u16string text;
    Arguments expected;  // in UTF-8
    std::string problem;  // when it is refused
  } cases[] = {
      {u"", {}, ""},
      {u"# c\r\n  -gui\r\n// d\r\n-log x.log\r\n", {"--gui", "--log", "x.log"}, ""},
      {u"-testplusarg \"a \u00E9\" \u00FC=$KVT_WORD", {"--testplusarg", "a \xC3\xA9", "\xC3\xBC=v_1"}, ""},
      {u"-f " + std::u16string(innerName.begin(), innerName.end()) + u" \u043F\u0440\n", {"--tp", "z", "\xD0\xBF\xD1\x80"}, ""},
      {u"\u6F22 x=\U0001F600\n", {"\xE6\xBC\xA2", "x=\xF0\x9F\x98\x80"}, ""},
      {u"a\x1A" u"b \x01" u"c\nd", {"a\x1A" "b", "d"}, ""},
      {std::u16string(u"x\r\ny \0z", 7), {}, "holds a NUL character (line 2)"},
      {u"x\n\xD800y", {}, "is not valid UTF-16: an unpaired surrogate U+D800 (line 2)"},
      {u"\xDC00y", {}, "is not valid UTF-16: an unpaired surrogate U+DC00 (line 1)"},
      {u"y\xD83D", {}, "is not valid UTF-16: an unpaired surrogate U+D83D (line 1)"},
  };
  // clang-format on
  for (const auto& c : cases) {
    Arguments expected;
    const bool representable = inProgramText(c.expected, expected);
    for (const bool bigEndian : {false, true}) {
      const Outcome outcome = expandFile(utf16(c.text, bigEndian));
      const std::string title = (bigEndian ? "BE: " : "LE: ") + outcome.err;
      if (!c.problem.empty())
        EXPECT_EQ(outcome.err, refused + c.problem + "\n");
      else if (!representable)
        EXPECT_NE(outcome.err.find("holds a character that cannot be represented: U+"),
                  std::string::npos)
            << title;
      else
        EXPECT_EQ(outcome.arguments, expected) << title;
      EXPECT_EQ(outcome.ok, c.problem.empty() && representable) << title;
    }
  }
  EXPECT_EQ(expandFile(std::string("\xFE\xFF\0-\0", 5)).err,
            refused + "is not valid UTF-16: it has an odd number of bytes (5)\n");
}

// An open serial port is refused as well as one named so (ports are Windows').
TEST(CommandFileSource, OpenSerialPortIsRefused) {
  std::FILE* port = KVEL::openCommandFile("\\\\.\\COM1");
  if (port == nullptr)
    GTEST_SKIP() << "no serial port COM1 to open here";
  std::string reason;
  EXPECT_FALSE(KVEL::isReadableSource(port, &reason)) << reason;
  std::fclose(port);
}

TEST_F(CommandFile, MismatchedQuoteFailsTheFile) {
  const Outcome outcome = expandFile("ok\n  a\"b c\"d  \r\nnever\n");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.err,
            "Mismatched quote found in line a\"b c\"d\nERROR: Error founds in command file " +
                temp.file("opts.txt") + "\n");
}

TEST_F(CommandFile, ReferencesAreExpandedAndFailuresWarnOnStdout) {
  ScopedEnvironment environment;
  environment.set("KVT_SEED", "7");
  environment.unset("KVT_NOPE");
  const Outcome outcome =
      expandFile("-testplusarg SEED=$KVT_SEED\n\"a ${KVT_NOPE} \" \"${KVT_SEED} \"\n");
  ASSERT_TRUE(outcome.ok) << outcome.err;
  // A failed argument stays as it was after quote removal, blanks included.
  EXPECT_EQ(outcome.arguments, (Arguments{"--testplusarg", "SEED=7", "a ${KVT_NOPE} ", "7"}));
  EXPECT_EQ(outcome.out,
            "WARNING: Could not be expanded an environment variable in a ${KVT_NOPE}  due to "
            "following error: Env Variable KVT_NOPE is not defined.\n");
  EXPECT_EQ(outcome.err, "");
}

TEST_F(CommandFile, NestedFileNameIsUnquotedAndExpanded) {
  ScopedEnvironment environment;
  environment.set("KVT_OPTS_DIR", temp.file("sub dir"));
  writeFile(temp.file("sub dir/more.txt"), "-gui\n");
  const Outcome outcome = expandFile("-f \"${KVT_OPTS_DIR}/more.txt\" after\n");
  ASSERT_TRUE(outcome.ok) << outcome.err;
  EXPECT_EQ(outcome.arguments, (Arguments{"--gui", "after"}));
}

TEST_F(CommandFile, UnexpandedNestedFileNameWarnsThenFails) {
  ScopedEnvironment environment;
  environment.unset("UNSET");
  const Outcome outcome = expandFile("-f ${UNSET}/x.txt\n");
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.out,
            "WARNING: Could not be expanded an environment variable in ${UNSET}/x.txt due to "
            "following error: Env Variable UNSET is not defined.\n");
  EXPECT_EQ(outcome.err, "Unable to open command file ${UNSET}/x.txt\n");
}

TEST_F(CommandFile, DirectoryIsReportedAsUnreadable) {
  const std::string directory = temp.file("dir.txt");
  ASSERT_EQ(testsupport::makeDirectory(directory), 0);
  const Outcome outcome = expand({"-f", directory});
  EXPECT_FALSE(outcome.ok);
  // Windows refuses to open a directory: the open fails, not the read.
  EXPECT_EQ(outcome.err, testsupport::kWindows ? "Unable to open command file " + directory + "\n"
                                               : "ERROR: Unable to read command file " + directory +
                                                     ": Is a directory\n");
}

TEST_F(CommandFile, FileNamingItselfFails) {
  ScopedWorkingDirectory inTemp(temp.path());
  writeFile(temp.file("self.txt"), "a\n-f self.txt\n");
  const Outcome outcome = expand({"-f", "self.txt"});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.err,
            "ERROR: Command file self.txt is already being read: self.txt -> self.txt\n");
}

TEST_F(CommandFile, CycleThroughTwoFilesUnderOtherNamesFails) {
  ScopedWorkingDirectory inTemp(temp.path());
  ASSERT_EQ(testsupport::makeDirectory("sub"), 0);
  writeFile(temp.file("a.txt"), "-f sub/b.txt\n");
  writeFile(temp.file("sub/b.txt"), "-f ./sub/../a.txt\n");
  const Outcome outcome = expand({"-f", "a.txt"});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.err,
            "ERROR: Command file ./sub/../a.txt is already being read: a.txt -> sub/b.txt -> "
            "./sub/../a.txt\n");
}

TEST_F(CommandFile, CycleThroughSymbolicLinkFails) {
  ScopedWorkingDirectory inTemp(temp.path());
  writeFile(temp.file("a.txt"), "-f link.txt\n");
  if (!testsupport::makeSymbolicLink("a.txt", "link.txt")) {
    if (testsupport::kWindows)
      GTEST_SKIP() << testsupport::kNoSymbolicLink;
    FAIL() << "symlink failed";
  }
  const Outcome outcome = expand({"-f", "a.txt"});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.err, "ERROR: Command file link.txt is already being read: a.txt -> link.txt\n");
}

// A second name for the same file (a hard link) is the same file: the
// identity check (device and inode; volume and file index on Windows) sees it.
TEST_F(CommandFile, CycleThroughHardLinkFails) {
  ScopedWorkingDirectory inTemp(temp.path());
  writeFile(temp.file("a.txt"), "x\n-f other.txt\n");
  ASSERT_TRUE(testsupport::makeHardLink("a.txt", "other.txt"));
  const Outcome outcome = expand({"-f", "a.txt"});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.err,
            "ERROR: Command file other.txt is already being read: a.txt -> other.txt\n");
}

TEST_F(CommandFile, SameFileReadTwiceWithoutCycleWorks) {
  ScopedWorkingDirectory inTemp(temp.path());
  writeFile(temp.file("c.txt"), "c\n");
  writeFile(temp.file("a.txt"), "-f c.txt -f c.txt\n-f c.txt\n");
  const Outcome outcome = expand({"-f", "a.txt", "-f", "c.txt"});
  ASSERT_TRUE(outcome.ok) << outcome.err;
  EXPECT_EQ(outcome.arguments, (Arguments{"c", "c", "c", "c"}));
}

// Files n0.txt .. n<count-1>.txt, each naming the next; the last holds "end".
void writeChain(const testsupport::TempDir& temp, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string name = temp.file("n" + std::to_string(i) + ".txt");
    if (i + 1 < count) {
      writeFile(name, "L" + std::to_string(i) + " -f n" + std::to_string(i + 1) + ".txt\n");
    } else {
      writeFile(name, "end\n");
    }
  }
}

TEST_F(CommandFile, ChainsUpToSixtyFourFilesWork) {
  ScopedWorkingDirectory inTemp(temp.path());
  for (const int count : {63, 64}) {
    writeChain(temp, count);
    const Outcome outcome = expand({"-f", "n0.txt"});
    ASSERT_TRUE(outcome.ok) << count << ": " << outcome.err;
    ASSERT_EQ(outcome.arguments.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(outcome.arguments.front(), "L0");
    EXPECT_EQ(outcome.arguments[count - 2], "L" + std::to_string(count - 2));
    EXPECT_EQ(outcome.arguments.back(), "end");
  }
}

TEST_F(CommandFile, SixtyFifthNestedFileFails) {
  ScopedWorkingDirectory inTemp(temp.path());
  writeChain(temp, 65);
  const Outcome outcome = expand({"-f", "n0.txt"});
  EXPECT_FALSE(outcome.ok);
  std::string chain;
  for (int i = 0; i < 65; ++i)
    chain += (i ? " -> n" : "n") + std::to_string(i) + ".txt";
  EXPECT_EQ(outcome.err,
            "ERROR: Command file n64.txt is nested more than 64 levels deep: " + chain + "\n");
}

TEST(ReadCommandFile, AppendsToOutputAndFailsOnMissingFile) {
  testsupport::TempDir temp;
  writeFile(temp.file("x.txt"), "-ab b\n");
  KVEL::cmdfile::ArgumentList output(Arguments{"kept"});
  std::ostringstream warnings;
  std::string err;
  ASSERT_TRUE(KVEL::cmdfile::readFile(temp.file("x.txt"), output, warnings, &err));
  EXPECT_EQ(output.strings(), (Arguments{"kept", "--ab", "b"}));
  EXPECT_FALSE(KVEL::cmdfile::readFile(temp.file("none.txt"), output, warnings, &err));
  EXPECT_EQ(err, "Unable to open command file " + temp.file("none.txt"));
}

// A command file read the straightforward way (std::getline, one line at a
// time, through the public helpers), to prove the block reading and in-place
// handling equal on generated files (read in text mode: Ctrl-Z ends both on Windows).
bool referenceRead(const std::string& fileName, Arguments& output, std::ostream& out,
                   std::ostream& err) {
  std::ifstream file(fileName);
  std::string line;
  for (int lineNumber = 1; !file.eof(); ++lineNumber) {
    std::getline(file, line);
    if (line.find('\0') != std::string::npos) {
      err << "ERROR: Command file " << fileName << " holds a NUL byte (line " << lineNumber
          << "); a UTF-16 file must begin with its byte-order mark\n";
      return false;
    }
    KVEL::trimWhitespace(line);
    if (line.empty() || line[0] == '#' || line.compare(0, 2, "//") == 0)
      continue;
    Arguments lineArguments;
    std::string message;
    if (!KVEL::cmdfile::splitLine(line, lineArguments, &message)) {
      err << message << "\nERROR: Error founds in command file " << fileName << "\n";
      return false;
    }
    for (std::string& argument : lineArguments) {
      KVEL::stripQuotes(argument);
      std::string expansion;
      std::string message;
      if (KVEL::expandEnvironmentVariables(argument, expansion, &message)) {
        argument = expansion;
      } else {
        out << "WARNING: Could not be expanded an environment variable in " << argument
            << " due to following error: " << message << "\n";
      }
    }
    for (const std::string& argument : lineArguments) {
      const bool addDash = argument.size() > 2 && argument[0] == '-' && argument[1] != '-';
      output.push_back(addDash ? "-" + argument : argument);
    }
  }
  return true;
}

std::string randomContent(std::mt19937& random) {
  // clang-format off
  static const std::vector<std::string> fragments = {
      "-abc", "x", "-", "--", "-5", " ", " ", "\t", "\"", "\"", "$KVT_A", "${KVT_A}",
      "${KVT_B}", "${KVT_NOPE}", "$KVT_NOPE/", "$", "{", "}", "#", "//", "\r", "\v", "\f",
      "\xC3\xA9", std::string(1, '\0'), "\n", "\n", "\n", "\r\n", "a b", "=", "\"q r\"", "\x1A"};
  // clang-format on
  std::uniform_int_distribution<int> length(0, 60);
  std::uniform_int_distribution<std::size_t> pick(0, fragments.size() - 1);
  std::string content;
  for (int n = length(random); n > 0; --n)
    content += fragments[pick(random)];
  return content;
}

TEST(ReadCommandFile, EqualsLineByLineReadingOnGeneratedFiles) {
  testsupport::TempDir temp;
  ScopedEnvironment environment;
  environment.set("KVT_A", "va$KVT_B");
  environment.set("KVT_B", " b b ");
  environment.unset("KVT_NOPE");
  std::mt19937 random(7);
  const std::string name = temp.file("gen.txt");
  int failures = 0;
  int warnings = 0;
  for (int i = 0; i < 3000; ++i) {
    const std::string content = randomContent(random);
    writeFile(name, content);
    Outcome expected;
    std::ostringstream out;
    std::ostringstream err;
    expected.ok = referenceRead(name, expected.arguments, out, err);
    expected.err = err.str();
    expected.out = out.str();
    const Outcome actual = expand({"-f", name});
    ASSERT_EQ(actual.ok, expected.ok) << "file #" << i;
    ASSERT_EQ(actual.err, expected.err) << "file #" << i;
    ASSERT_EQ(actual.out, expected.out) << "file #" << i;
    if (expected.ok) {
      ASSERT_EQ(actual.arguments, expected.arguments) << "file #" << i;
    }
    failures += expected.ok ? 0 : 1;
    warnings += expected.out.empty() ? 0 : 1;
  }
  EXPECT_GT(failures, 300);
  EXPECT_GT(warnings, 300);
  EXPECT_GT(3000 - failures, 300);
}

}  // namespace
