// The bash completion for kvel, driven in a real bash: the script is sourced,
// COMP_WORDS/COMP_CWORD are set as bash would set them, and _kvel's COMPREPLY
// is compared with what should be offered in a prepared working directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/packaging/usage_listing.h"
#include "tests/support/test_process.h"

namespace {

const std::string kCompletionScript =
    std::string(KVEL_SOURCE_DIR) + "/scripts/bash-completion/kvel";

typedef std::vector<std::string> Words;

class KvelCompletion : public ::testing::Test {
protected:
  void SetUp() override {
    bash_ = packagingtest::findInPath("bash");
    if (bash_.empty())
      GTEST_SKIP() << "bash is not installed";
    // Snapshots (one under the library prefix, one nested), a directory
    // without a kernel, a database launch's script directory, databases in
    // subdirectories (the deepest beyond the search), a directory named like
    // a database, and plain files.
    for (const char* file :
         {"kvel.dir/top/kvelk.exe", "kvel.dir/work.alu/kvelk.exe", "kvel.dir/lib/a/b/kvelk.exe",
          "kvel.dir/waves/run.wdb/kvel_script.tcl", "kvel.dir/nokernel/kvel_script.tcl",
          "kvel.dir/stray.wdb", "run.tcl", "opts.f", "dump.wdb", "two words.wdb", "notes.txt",
          "waves/run.wdb", "deep/er/still/x.wdb", "deep/er/still/too/far.wdb", "dir.wdb/inside.txt"})
      testsupport::writeFile(dir_.file(file), "x\n");
  }

  // Candidates that _kvel offers for `words`, the last being the word under
  // the cursor; sorted.
  Words complete(const Words& words) {
    std::vector<std::string> args = {
        "--norc", "--noprofile", "-c",
        "source \"$1\" || exit 9; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1));"
        " COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE}; _kvel || exit 8;"
        " for c in \"${COMPREPLY[@]}\"; do printf '%s\\n' \"$c\"; done",
        "bash", kCompletionScript};
    args.insert(args.end(), words.begin(), words.end());
    testsupport::RunOptions options;
    options.cwd = dir_.path();
    const testsupport::RunResult result = testsupport::run(bash_, args, options);
    EXPECT_EQ(0, result.exitStatus) << result.err;
    EXPECT_EQ("", result.err);
    Words candidates;
    std::string::size_type start = 0, end;
    while ((end = result.out.find('\n', start)) != std::string::npos) {
      candidates.push_back(result.out.substr(start, end - start));
      start = end + 1;
    }
    std::sort(candidates.begin(), candidates.end());
    return candidates;
  }

  std::string bash_;
  testsupport::TempDir dir_;
};

const Words kAllFiles = {"deep",   "dir.wdb", "dump.wdb",      "kvel.dir", "notes.txt",
                         "opts.f", "run.tcl", "two words.wdb", "waves"};
const Words kAllTargets = {"deep/er/still/x.wdb", "dump.wdb", "lib/a/b", "top",
                           "two words.wdb",       "waves/run.wdb", "work.alu"};

struct Case {
  const char* what;
  Words words;
  Words expected;  // sorted
};

const Case kCases[] = {
    {"switch prefix, one dash", {"kvel", "-tc"}, {"-tclbatch"}},
    {"switch prefix, two dashes", {"kvel", "--t"}, {"--t", "--tclbatch", "--testplusarg", "--tl", "--tp"}},
    {"one-letter switch", {"kvel", "-R"}, {"-R"}},
    {"hidden switches are not offered", {"kvel", "-snap"}, {}},
    {"unknown switch", {"kvel", "--xyz"}, {}},

    {"files after -f", {"kvel", "-f", ""}, kAllFiles},
    {"files after --f", {"kvel", "--f", ""}, kAllFiles},
    {"files after -file", {"kvel", "-file", "o"}, {"opts.f"}},
    {"files after --file", {"kvel", "--file", "o"}, {"opts.f"}},
    {"files after -t", {"kvel", "-t", "r"}, {"run.tcl"}},
    {"files after --t", {"kvel", "--t", "r"}, {"run.tcl"}},
    {"files after -tclbatch", {"kvel", "-tclbatch", ""}, kAllFiles},
    {"files after --tclbatch", {"kvel", "--tclbatch", "r"}, {"run.tcl"}},
    {"files after -view", {"kvel", "-view", "n"}, {"notes.txt"}},
    {"files after --view", {"kvel", "--view", "n"}, {"notes.txt"}},
    {"files after -log", {"kvel", "-log", "n"}, {"notes.txt"}},
    {"files after --log", {"kvel", "--log", ""}, kAllFiles},
    {"files after -wdb", {"kvel", "-wdb", "d"}, {"deep", "dir.wdb", "dump.wdb"}},
    {"files after --wdb", {"kvel", "--wdb", "t"}, {"two words.wdb"}},
    {"files in a directory", {"kvel", "-f", "waves/"}, {"waves/run.wdb"}},
    {"a value that begins with a dash is still a file", {"kvel", "-log", "-"}, {}},

    {"actions after -onfinish", {"kvel", "-onfinish", ""}, {"quit", "stop"}},
    {"actions after --onerror", {"kvel", "--onerror", "s"}, {"stop"}},
    {"nothing after a numeric switch", {"kvel", "-maxdeltaid", ""}, {}},
    {"nothing after -testplusarg", {"kvel", "-testplusarg", ""}, {}},

    {"snapshots and databases", {"kvel", ""}, kAllTargets},
    {"target prefix", {"kvel", "t"}, {"top", "two words.wdb"}},
    {"snapshot under the library prefix", {"kvel", "work"}, {"work.alu"}},
    {"database in a directory", {"kvel", "waves/"}, {"waves/run.wdb"}},
    {"database in a subdirectory by its first letters", {"kvel", "wa"}, {"waves/run.wdb"}},
    {"database three levels down, not four", {"kvel", "de"}, {"deep/er/still/x.wdb"}},
    {"search starts in the directory typed", {"kvel", "deep/er/"},
     {"deep/er/still/too/far.wdb", "deep/er/still/x.wdb"}},
    {"nested snapshot", {"kvel", "l"}, {"lib/a/b"}},
    {"nested snapshot by its inner part", {"kvel", "lib/a/"}, {"lib/a/b"}},
    {"absolute path to a database", {"kvel", "@DIR@/wav"}, {"@DIR@/waves/run.wdb"}},
    {"target after flags and values", {"kvel", "-gui", "-log", "x.log", "-f", "opts.f", ""}, kAllTargets},
    {"a switch value is not the target", {"kvel", "--log", "top", ""}, kAllTargets},
    {"no second target", {"kvel", "top", ""}, {}},
    {"no second target after options", {"kvel", "-R", "dump.wdb", "-gui", ""}, {}},
};

// "@DIR@" in a case stands for the working directory's absolute path.
Words withDirectory(Words words, const std::string& directory) {
  for (std::string& w : words)
    if (w.compare(0, 5, "@DIR@") == 0)
      w = directory + w.substr(5);
  return words;
}

TEST_F(KvelCompletion, OffersWhatFitsTheCursor) {
  for (const Case& c : kCases)
    EXPECT_EQ(withDirectory(c.expected, dir_.path()), complete(withDirectory(c.words, dir_.path())))
        << c.what;
}

// Every switch that `kvel -help` lists, in both forms, and nothing else.
TEST_F(KvelCompletion, OffersEverySwitchThatHelpLists) {
  const testsupport::RunResult help = testsupport::run(KVEL_BIN, {"-help"});
  const std::vector<packagingtest::UsageEntry> usage = packagingtest::parseUsageListing(help.err);
  ASSERT_FALSE(usage.empty()) << help.err;
  Words single, both;
  for (const auto& entry : usage) {
    single.push_back("-" + entry.name);
    both.push_back("-" + entry.name);
    both.push_back("--" + entry.name);
  }
  std::sort(single.begin(), single.end());
  std::sort(both.begin(), both.end());
  EXPECT_EQ(both, complete({"kvel", "-"}));
  Words doubleOnly;
  for (const std::string& s : single)
    doubleOnly.push_back("-" + s);
  EXPECT_EQ(doubleOnly, complete({"kvel", "--"}));
}

TEST_F(KvelCompletion, IsRegisteredForKvel) {
  const testsupport::RunResult result = testsupport::run(
      bash_, {"--norc", "--noprofile", "-c", "source \"$1\" && complete -p kvel", "bash", kCompletionScript});
  EXPECT_EQ(0, result.exitStatus) << result.err;
  EXPECT_EQ("complete -F _kvel kvel\n", result.out);
}

// Without a kvel.dir only databases are offered; no error from the glob.
TEST(KvelCompletionElsewhere, OffersDatabasesWithoutSnapshotDirectory) {
  const std::string bash = packagingtest::findInPath("bash");
  if (bash.empty())
    GTEST_SKIP() << "bash is not installed";
  testsupport::TempDir dir;
  testsupport::writeFile(dir.file("only.wdb"), "");
  testsupport::RunOptions options;
  options.cwd = dir.path();
  const testsupport::RunResult result = testsupport::run(
      bash,
      {"--norc", "--noprofile", "-c",
       "source \"$1\"; COMP_WORDS=(kvel ''); COMP_CWORD=1; _kvel; printf '%s\\n' \"${COMPREPLY[@]}\"",
       "bash", kCompletionScript},
      options);
  EXPECT_EQ(0, result.exitStatus);
  EXPECT_EQ("", result.err);
  EXPECT_EQ("only.wdb\n", result.out);
}

}  // namespace
