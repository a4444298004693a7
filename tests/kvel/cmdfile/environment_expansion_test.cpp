// Environment-variable references, the ZEK_DATADIR directory list and
// separator collapsing.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kvel/cmdfile/environment_expansion.h"
#include "tests/kvel/cmdfile/scoped_environment.h"
#include "tests/support/row_names.h"
#include "tests/support/test_process.h"

namespace {

using cmdfiletest::ScopedEnvironment;
using cmdfiletest::ScopedWorkingDirectory;

struct ExpansionCase {
  const char* title;
  std::vector<std::pair<std::string, std::string>> set;
  std::vector<std::string> unset;
  std::string argument;
  bool expanded;
  std::string expansionOrMessage;
};

void PrintTo(const ExpansionCase& c, std::ostream* os) { *os << c.title; }

class ExpandVariables : public testing::TestWithParam<ExpansionCase> {};

TEST_P(ExpandVariables, GivesExpansionOrMessage) {
  const ExpansionCase& c = GetParam();
  if (testsupport::kWindows && std::string(c.title) == "data dir defined empty keeps reference")
    GTEST_SKIP() << testsupport::kNoEmptyVariable;
  ScopedEnvironment environment;
  for (const auto& [name, value] : c.set)
    environment.set(name, value);
  for (const std::string& name : c.unset)
    environment.unset(name);
  std::string expansion = "stale";
  std::string message = "stale";
  const bool expanded = KVEL::expandEnvironmentVariables(c.argument, expansion, &message);
  ASSERT_EQ(expanded, c.expanded);
  if (expanded) {
    EXPECT_EQ(expansion, c.expansionOrMessage);
    EXPECT_EQ(message, "stale");  // nothing reported
  } else {
    EXPECT_EQ(message, c.expansionOrMessage);
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    References, ExpandVariables,
    testing::Values(
        ExpansionCase{"braced", {{"HOME", "/home/u"}}, {}, "${HOME}/x", true, "/home/u/x"},
        ExpansionCase{"plain", {{"HOME", "/home/u"}}, {}, "$HOME/x", true, "/home/u/x"},
        ExpansionCase{"plain to end", {{"HOME", "/home/u"}}, {}, "-d=$HOME", true, "-d=/home/u"},
        ExpansionCase{"braced unset", {}, {"HOME"}, "${HOME}/x", false,
                      "Env Variable HOME is not defined."},
        ExpansionCase{"plain unset", {}, {"HOME"}, "$HOME/x", false,
                      "Env Variable HOME not defined."},
        ExpansionCase{"braced empty", {{"KVT_EMPTY", ""}}, {}, "${KVT_EMPTY}", false,
                      "Env Variable KVT_EMPTY is not defined."},
        ExpansionCase{"plain empty", {{"KVT_EMPTY", ""}}, {}, "a/$KVT_EMPTY", false,
                      "Env Variable KVT_EMPTY not defined."},
        ExpansionCase{"backslash is part of a plain name", {{"DIR", "/d"}}, {"DIR\\file"},
                      "$DIR\\file", false, "Env Variable DIR\\file not defined."},
        ExpansionCase{"backslash after braces", {{"DIR", "/d"}}, {}, "${DIR}\\file", true,
                      "/d\\file"},
        ExpansionCase{"dollar at the end", {}, {}, "cost$", true, "cost$"},
        ExpansionCase{"dollar inside", {{"b", "B"}}, {}, "a$b", true, "aB"},
        ExpansionCase{"value not rescanned", {{"KVT_V", "$HOME${X}"}}, {}, "${KVT_V}/x", true,
                      "$HOME${X}/x"},
        ExpansionCase{"plain value not rescanned", {{"KVT_V", "$KVT_V"}}, {}, "$KVT_V/$KVT_V",
                      true, "$KVT_V/$KVT_V"},
        ExpansionCase{"two references", {{"A", "1"}, {"B", "22"}}, {}, "x${A}${B}", true,
                      "x122"},
        ExpansionCase{"two plain references", {{"A", "1"}, {"B", "22"}}, {}, "$A/$B/c", true,
                      "1/22/c"},
        ExpansionCase{"later failure reported", {{"A", "1"}}, {"KVT_NOPE"}, "${A}${KVT_NOPE}",
                      false, "Env Variable KVT_NOPE is not defined."},
        ExpansionCase{"no closing brace", {}, {}, "a${b", false, "${ without closing }"},
        ExpansionCase{"brace closed only before", {}, {}, "}${b", false, "${ without closing }"},
        ExpansionCase{"missing name", {}, {}, "x${}y", false, "${} missing variable name"},
        ExpansionCase{"empty plain name", {}, {}, "$/x", false, "Env Variable  not defined."},
        ExpansionCase{"extra closing brace", {{"A", "1"}}, {}, "${A}}", true, "1}"},
        ExpansionCase{"trimmed without references", {}, {}, " \t a b \r\n", true, "a b"},
        ExpansionCase{"trimmed before expansion only", {{"KVT_S", " s "}}, {}, " ${KVT_S} ",
                      true, " s "},
        ExpansionCase{"data dir name with backslash", {{"ZEK_DATADIR", "/x"}},
                      {"ZEK_DATADIR\\lib"}, "$ZEK_DATADIR\\lib", false,
                      "Env Variable ZEK_DATADIR\\lib not defined."},
        ExpansionCase{"data dir unset", {}, {"ZEK_DATADIR"}, "$ZEK_DATADIR/lib", false,
                      "The environment variable ZEK_DATADIR is not defined."},
        ExpansionCase{"braced data dir unset", {}, {"ZEK_DATADIR"}, "${ZEK_DATADIR}/lib", false,
                      "The environment variable ZEK_DATADIR is not defined."},
        ExpansionCase{"data dir empty list keeps reference", {{"ZEK_DATADIR", ";;"}}, {},
                      "$ZEK_DATADIR/lib", true, "$ZEK_DATADIR/lib"},
        ExpansionCase{"data dir defined empty keeps reference", {{"ZEK_DATADIR", ""}}, {},
                      "${ZEK_DATADIR}/lib", true, "${ZEK_DATADIR}/lib"}),
    testsupport::NameByTitle());
// clang-format on

// A directory as the expansion gives it: absolute and normalised by
// Boost.Filesystem, whose Windows form writes "\\" between the parts. A
// temporary directory is absolute and normal already, so elsewhere this is
// the name unchanged.
std::string normalised(std::string directory) {
  if (testsupport::kWindows)
    std::replace(directory.begin(), directory.end(), '/', '\\');
  return directory;
}

// A TempDir with directories <tmp>/one (absent), <tmp>/two/lib (present).
class DataDirectory : public testing::Test {
protected:
  void SetUp() override {
    testsupport::writeFile(temp.file("two/lib/marker"), "x");
    environment.set("ZEK_DATADIR", temp.file("one") + ";" + temp.file("two"));
  }
  bool expand(const std::string& argument) {
    return KVEL::expandEnvironmentVariables(argument, expansion, &message);
  }
  testsupport::TempDir temp;
  ScopedEnvironment environment;
  std::string expansion;
  std::string message;
};

TEST_F(DataDirectory, FirstDirectoryWithExistingPathWins) {
  ASSERT_TRUE(expand("$ZEK_DATADIR/lib"));
  EXPECT_EQ(expansion, normalised(temp.file("two")) + "/lib");
  EXPECT_EQ(message, "");
  ASSERT_TRUE(expand("${ZEK_DATADIR}/lib"));
  EXPECT_EQ(expansion, normalised(temp.file("two")) + "/lib");
  testsupport::writeFile(temp.file("one/lib"), "file, not directory");
  ASSERT_TRUE(expand("$ZEK_DATADIR/lib"));
  EXPECT_EQ(expansion, normalised(temp.file("one")) + "/lib");
}

// Another letter case of the name is the data-directory reference on
// Windows, and an ordinary (here undefined) variable elsewhere.
TEST_F(DataDirectory, LetterCaseOfTheNameFollowsThePlatform) {
  testsupport::makeDirectory(temp.file("two/lib/$ZEK_DATADIR"));
  // Each row: the argument, what follows the directory on Windows, the message elsewhere.
  const char* const cases[][3] = {
      {"$zek_datadir/lib", "/lib", "Env Variable zek_datadir not defined."},
      {"${Zek_DataDir}/lib", "/lib", "Env Variable Zek_DataDir is not defined."},
      {"$zEK_DATADIR/lib/$ZEK_DATADIR", "/lib/$ZEK_DATADIR",
       "Env Variable zEK_DATADIR not defined."},
  };
  for (const auto& c : cases) {
    if (testsupport::kWindows)
      EXPECT_TRUE(expand(c[0]) && expansion == normalised(temp.file("two")) + c[1])
          << c[0] << ": " << expansion << message;
    else
      EXPECT_TRUE(!expand(c[0]) && message == c[2]) << c[0] << ": " << message;
  }
}

TEST_F(DataDirectory, NoExistingCandidateKeepsReference) {
  ASSERT_TRUE(expand("$ZEK_DATADIR/missing"));
  EXPECT_EQ(expansion, "$ZEK_DATADIR/missing");
  EXPECT_EQ(message, "");
  // The whole argument is the path, so a switch glued to it never matches.
  ASSERT_TRUE(expand("-L$ZEK_DATADIR/lib"));
  EXPECT_EQ(expansion, "-L$ZEK_DATADIR/lib");
}

TEST_F(DataDirectory, OnlyFirstOfTwoReferencesIsResolved) {
  testsupport::makeDirectory(temp.file("two/$ZEK_DATADIR"));
  ASSERT_TRUE(expand("$ZEK_DATADIR/$ZEK_DATADIR"));
  EXPECT_EQ(expansion, normalised(temp.file("two")) + "/$ZEK_DATADIR");
}

TEST_F(DataDirectory, UnbracedFormWinsOverBraced) {
  testsupport::makeDirectory(temp.file("two/${ZEK_DATADIR}"));
  ASSERT_TRUE(expand("$ZEK_DATADIR/${ZEK_DATADIR}"));
  EXPECT_EQ(expansion, normalised(temp.file("two")) + "/${ZEK_DATADIR}");
}

TEST_F(DataDirectory, OtherReferencesExpandFirst) {
  environment.set("KVT_SUB", "lib");
  ASSERT_TRUE(expand("${ZEK_DATADIR}/${KVT_SUB}"));
  EXPECT_EQ(expansion, normalised(temp.file("two")) + "/lib");
}

TEST_F(DataDirectory, CandidateIsTrimmed) {
  environment.set("ZEK_DATADIR", temp.file("two") + "/lib \t");
  ASSERT_TRUE(expand("$ZEK_DATADIR"));
  EXPECT_EQ(expansion, normalised(temp.file("two") + "/lib"));
}

TEST_F(DataDirectory, RelativeEntriesAreMadeAbsoluteAndNormalised) {
  ScopedWorkingDirectory inTemp(temp.path());
  environment.set("ZEK_DATADIR", ";;one;x/../two;");
  ASSERT_TRUE(expand("$ZEK_DATADIR/lib"));
  EXPECT_EQ(expansion, normalised(temp.file("two")) + "/lib");
}

TEST_F(DataDirectory, FileSystemErrorIsReportedWithCandidate) {
  if (testsupport::kWindows)
    GTEST_SKIP() << testsupport::kNoFailingStatusQuery;
  const std::string longName(300, 'n');
  environment.set("ZEK_DATADIR", temp.file(longName));
  EXPECT_FALSE(expand("$ZEK_DATADIR/lib"));
  const std::string candidate = temp.file(longName) + "/lib";
  EXPECT_EQ(message.compare(0, candidate.size() + 2, candidate + ": "), 0) << message;
  EXPECT_GT(message.size(), candidate.size() + 2);
}

TEST(SplitDirectoryList, UndefinedVariableFails) {
  ScopedEnvironment environment;
  environment.unset("KVT_DIRS");
  std::vector<std::string> directories;
  std::string message;
  EXPECT_FALSE(KVEL::splitDirectoryList("KVT_DIRS", directories, &message));
  EXPECT_EQ(message, "The environment variable KVT_DIRS is not defined.");
  EXPECT_TRUE(directories.empty());
}

TEST(SplitDirectoryList, EmptyEntriesAreSkippedAndOrderKept) {
  ScopedEnvironment environment;
  std::vector<std::string> directories;
  std::string message = "stale";
  if (testsupport::kWindows) {
    // Boost.Filesystem's Windows form normalises to "\\" separators.
    environment.set("KVT_DIRS", ";;C:/b//c;C:/a/./d/../e;");
    ASSERT_TRUE(KVEL::splitDirectoryList("KVT_DIRS", directories, &message));
    EXPECT_EQ(message, "stale");
    EXPECT_EQ(directories, (std::vector<std::string>{"C:\\b\\c", "C:\\a\\e"}));
    return;  // (The Windows C runtime cannot hold a variable defined empty.)
  }
  environment.set("KVT_DIRS", ";;/b//c;/a/./d/../e;");
  ASSERT_TRUE(KVEL::splitDirectoryList("KVT_DIRS", directories, &message));
  EXPECT_EQ(message, "stale");
  EXPECT_EQ(directories, (std::vector<std::string>{"/b/c", "/a/e"}));

  directories.clear();
  environment.set("KVT_DIRS", "");
  ASSERT_TRUE(KVEL::splitDirectoryList("KVT_DIRS", directories, &message));
  EXPECT_TRUE(directories.empty());
}

TEST(SplitDirectoryList, SingleRelativeEntryBecomesAbsolute) {
  testsupport::TempDir temp;
  ScopedWorkingDirectory inTemp(temp.path());
  ScopedEnvironment environment;
  environment.set("ZEK_DATADIR", ";;dir;");
  std::vector<std::string> directories;
  std::string message;
  ASSERT_TRUE(KVEL::splitDirectoryList("ZEK_DATADIR", directories, &message));
  EXPECT_EQ(directories, (std::vector<std::string>{normalised(temp.file("dir"))}));
}

struct CollapseCase {
  std::string text;
  std::string expected;
};

class CollapseSeparators : public testing::TestWithParam<CollapseCase> {};

TEST_P(CollapseSeparators, ShortensRunsAfterTheFirstTwoCharacters) {
  EXPECT_EQ(KVEL::collapseSeparators(GetParam().text), GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, CollapseSeparators,
    testing::Values(CollapseCase{"C:\\\\data//x", "C:\\data/x"},
                    CollapseCase{"\\\\server\\\\share", "\\\\server\\share"},
                    CollapseCase{"//net///a", "//net/a"}, CollapseCase{"ab\\/\\/c", "ab\\/c"},
                    CollapseCase{"abc////", "abc/"}, CollapseCase{"x/a/b", "x/a/b"},
                    // The run is counted from the third character on.
                    CollapseCase{"a//b", "a//b"}, CollapseCase{"", ""}, CollapseCase{"/", "/"},
                    CollapseCase{"ab", "ab"}),
    [](const testing::TestParamInfo<CollapseCase>& info) {
      return testsupport::indexedName(info.index, info.param.text);
    });
// clang-format on

}  // namespace
