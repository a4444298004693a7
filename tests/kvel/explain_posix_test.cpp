// The rerun line of KVEL_EXPLAIN, run by sh (dash, which has no $'...'),
// launches with the same arguments: the same run script, the command files
// no longer needed; the line itself holds no control byte and no byte that
// is not UTF-8.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kvel/account_spill.h"
#include "tests/support/launch_workspace.h"

namespace {

struct Rerun {
  const char* name;
  std::string file;               // a.f
  std::vector<std::string> args;  // after "top -f a.f"
};

void PrintTo(const Rerun& c, std::ostream* os) { *os << c.name; }

class ExplainRerun : public testing::TestWithParam<Rerun> {};

TEST_P(ExplainRerun, ShRerunWritesTheSameScript) {
  const Rerun& c = GetParam();
  testsupport::LaunchWorkspace ws;
  ws.kernel("top");
  ws.file("a.f", c.file);
  std::vector<std::string> args{"top", "-f", "a.f"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  testsupport::RunOptions options;
  options.setEnv["KVEL_EXPLAIN"] = "1";
  options.unsetEnv.push_back("KVT_UNSET");
  const testsupport::RunResult first = ws.run(KVEL_DOUBLE_BIN, args, options);
  ASSERT_EQ(first.exitStatus, 0) << first.out << first.err;
  const std::string script = ws.read("kvel.dir/top/kvel_script.tcl");
  const std::string marker = "KVEL_EXPLAIN: rerun with: ";
  const std::size_t at = first.err.find(marker);
  ASSERT_NE(at, std::string::npos) << first.err;
  const std::size_t end = first.err.find('\n', at);
  const std::string line = first.err.substr(at + marker.size(), end - at - marker.size());
  EXPECT_EQ(line.find("a.f"), std::string::npos) << line;
  for (const char byte : line) {
    const unsigned char u = static_cast<unsigned char>(byte);
    EXPECT_TRUE(u >= 0x20 && u != 0x7F && u != 0xE9 && u != 0x9B) << int(u) << " in " << line;
  }

  ws.file("kvel.dir/top/kvel_script.tcl", "");
  testsupport::RunOptions plain;
  plain.unsetEnv = {"KVEL_EXPLAIN", "KVT_UNSET"};
  const testsupport::RunResult again = ws.run("/bin/sh", {"-c", line}, plain);
  ASSERT_EQ(again.exitStatus, 0) << line << "\n" << again.out << again.err;
  EXPECT_EQ(ws.read("kvel.dir/top/kvel_script.tcl"), script) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ExplainRerun,
    testing::ValuesIn(std::vector<Rerun>{
        {"QuotesTclTextAndBeyondAscii",
         "-testplusarg \"MSG=it's a \\\"test\\\"\" -testplusarg {x[3]}$v;\n"
         "-tclbatch \"dir with blank/r.tcl\" -testplusarg X=${KVT_UNSET}\n"
         "-testplusarg N=é表😀 -onfinish \"quit; puts %d\"\n",
         {"-tp"}},
        {"TabInAFile", "-testplusarg \"T=a\tb\"\n", {}},
        {"ControlBytesC1AndNotUtf8",
         "",
         {"-testplusarg", "E=\x1b[31m", "-testplusarg",
          "C1=\xC2\x9B"
          "x",
          "-testplusarg", "B=\xE9t\xFF", "-testplusarg", "Q=%'\\\"$x`"}},
        {"NewlinesInsideAndAtTheEnd",
         "",
         {"-testplusarg", "L=a\nb", "-testplusarg", "END=x\n\n", "-testplusarg", "\n"}}}),
    [](const testing::TestParamInfo<Rerun>& info) { return std::string(info.param.name); });

// A FIFO at the script's place: the dry run ends as the launch does, and
// neither waits on it.
TEST(ExplainDryRun, FifoAtTheScriptsPlaceEndsAsTheLaunchDoes) {
  for (const char* mode : {"only", "json-only", "1"}) {
    testsupport::LaunchWorkspace ws;
    ws.kernel("top");
    ASSERT_EQ(::mkfifo(ws.path("kvel.dir/top/kvel_script.tcl").c_str(), 0600), 0);
    testsupport::RunOptions options;
    options.setEnv["KVEL_EXPLAIN"] = mode;
    options.setEnv["KVEL_EXPLAIN_FILE"] = ws.path("account.json");
    options.timeoutSeconds = 30;
    const testsupport::RunResult r = ws.run(KVEL_DOUBLE_BIN, {"top"}, options);
    EXPECT_FALSE(r.timedOut) << mode;
    EXPECT_EQ(r.exitStatus, 1) << mode << r.out << r.err;
    EXPECT_EQ(r.out,
              "ERROR: Cannot write kvel.dir/top/kvel_script.tcl: not a regular file.\n"
              "ERROR: Unable to create script file kvel.dir/top/kvel_script.tcl.\n")
        << mode;
    EXPECT_EQ(ws.shellCalls().size(), 0u) << mode;
  }
}

// A write to the held account's temporary file that falls short is cut off
// again: the file keeps what came before it and takes nothing more, and the
// caller keeps the rest. Run in a child held to a file-size limit, which
// makes the write stop part way (the limit is the child's alone).
TEST(ExplainSpill, ShortWriteIsCutBackToWhatCameBefore) {
  struct Row {
    const char* name;
    rlim_t limit;           // bytes a file may hold
    std::size_t accepted;   // appends of 100 bytes taken
  };
  const std::vector<Row> rows{{"CutInsideTheSecond", 150, 1},
                              {"CutAtTheStartOfTheThird", 200, 2},
                              {"NothingFits", 50, 0},
                              {"AllFit", 1000, 4}};
  for (const Row& row : rows) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const struct rlimit limit = {row.limit, row.limit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      KVEL::AccountSpill spill;
      std::size_t taken = 0;
      for (char c : {'a', 'b', 'c', 'd'}) {
        if (spill.append(std::string(100, c)))
          ++taken;
      }
      // The copy goes to a file that may already pass the limit's size: lift it.
      const struct rlimit none = {RLIM_INFINITY, RLIM_INFINITY};
      ::setrlimit(RLIMIT_FSIZE, &none);
      const bool whole = spill.copyTo(out);
      std::fflush(out);
      ::_exit(whole && taken == row.accepted && spill.size() == 0 ? 0 : 10 + static_cast<int>(taken));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << row.name << " " << status;
    std::string expected;
    for (std::size_t k = 0; k < row.accepted; ++k)
      expected += std::string(100, static_cast<char>('a' + k));
    std::rewind(out);
    std::string got(1000, '\0');
    got.resize(std::fread(&got[0], 1, got.size(), out));
    EXPECT_EQ(got, expected) << row.name;
    std::fclose(out);
  }
}

}  // namespace
