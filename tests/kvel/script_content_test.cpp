// Script content written as it is made: the streamed command text gives the
// bytes the whole one gives, and content that cannot be made part way
// leaves every file as it was.
#include <string>
#include <vector>

#include "kvel/simulation_command.h"
#include "tests/kvel/run_script_fixture.h"

namespace runscripttest {
namespace {

using testsupport::onDisk;
using testsupport::readFile;
using testsupport::writeFile;

struct StreamCase {
  const char* name;
  bool gui, hardLinked;
  void (*set)(KVEL::CommandLineOptions&);
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

const StreamCase kStreams[] = {
    {"NoOptions", false, false, [](KVEL::CommandLineOptions&) {}},
    {"GuiLinesFirst", true, false,
     [](KVEL::CommandLineOptions& o) { o.view.push_back("dir/a b.wcfg"); }},
    // Some 20 pieces of 64 KB, each ending inside a value.
    {"ValuesAcrossPieces", false, false,
     [](KVEL::CommandLineOptions& o) {
       for (int i = 0; i < 60000; ++i)
         o.testplusarg.push_back("SEED_" + std::to_string(i) + "=" + std::to_string(i * 7919));
     }},
    {"ValueLongerThanAPiece", false, false,
     [](KVEL::CommandLineOptions& o) {
       static const std::string longValue(200000, 'v');
       o.testplusarg = {"A=1", longValue, "B=2"};
       o.tclbatch.push_back("x {y");
     }},
    // Written in place: the text is made once for its size, then written.
    {"InPlaceAcrossPieces", false, true,
     [](KVEL::CommandLineOptions& o) {
       for (int i = 0; i < 30000; ++i)
         o.tclbatch.push_back("run_" + std::to_string(i) + ".tcl");
     }},
};

class StreamedScript : public RunScript, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(StreamedScript, HoldsTheBuiltCommandText) {
  const StreamCase& c = GetParam();
  options_.gui = c.gui;
  c.set(options_);
  if (c.hardLinked) {
    writeFile("kvel.dir/top/kvel_script.tcl", "old\n");
    ASSERT_TRUE(testsupport::makeHardLink("kvel.dir/top/kvel_script.tcl", "second.tcl"));
  }
  const std::string expected =
      onDisk(std::string(c.gui ? "load_feature core\ncurrent_fileset\n" : "") + "kvel " +
             KVEL::buildSimulationCommand(options_, "top") + "\n");
  const std::string own = KVEL::writeRunScript(options_, "top");
  EXPECT_EQ(expected, readFile("kvel.dir/top/kvel_script.tcl"));
  EXPECT_EQ(expected, readFile(own));
  if (c.hardLinked) {
    EXPECT_EQ(expected, readFile("second.tcl"));
  }
  EXPECT_EQ((std::vector<std::string>{"kvel_script.tcl"}), entries("kvel.dir/top"));
}

INSTANTIATE_TEST_SUITE_P(Rows, StreamedScript, ::testing::ValuesIn(kStreams),
                         [](const ::testing::TestParamInfo<StreamCase>& info) {
                           return std::string(info.param.name);
                         });

// Line ends on both sides of the edges of the buffer that turns them into
// CR LF on Windows; on the given call (1 the first, 0 never) the content
// stops before its last piece, as when memory runs out while it is made.
class PartContent final : public KVEL::FileContent {
public:
  explicit PartContent(int failingCall) : failingCall_(failingCall) {}
  bool produce(KVEL::PieceSink& sink) const override {
    const bool fails = ++calls_ == failingCall_;
    for (std::size_t i = 0; i < pieces().size(); ++i)
      if ((fails && i + 1 == pieces().size()) || !sink.put(pieces()[i]))
        return false;
    return true;
  }
  static std::string whole() {
    std::string text;
    for (const std::string& piece : pieces())
      text += piece;
    return text;
  }

private:
  static const std::vector<std::string>& pieces() {
    static const std::vector<std::string> list{
        std::string(16383, 'a'), "\n", "\n\nb", std::string(16380, 'c') + "\n",
        std::string(40000, 'd'), "\n"};
    return list;
  }
  const int failingCall_;
  mutable int calls_ = 0;
};

struct ContentCase {
  const char* name;
  const char* where;  // "new", "replaced", "in place" (a hard link), "own" (a LaunchFile)
  int failingCall;
};

void PrintTo(const ContentCase& c, std::ostream* os) { *os << c.name; }

const ContentCase kContents[] = {
    {"NewFile", "new", 0},
    {"NewFileFailing", "new", 1},
    {"Replaced", "replaced", 0},
    {"ReplacedFailing", "replaced", 1},
    {"InPlace", "in place", 0},
    {"InPlaceFailingBeforeTheSize", "in place", 1},
    {"InPlaceFailingWhileWritten", "in place", 2},
    {"OwnScript", "own", 0},
    {"OwnScriptFailing", "own", 1},
};

class ContentInPieces : public RunScript, public ::testing::WithParamInterface<ContentCase> {};

TEST_P(ContentInPieces, WrittenWholeOrNotAtAll) {
  const ContentCase& c = GetParam();
  const std::string where = c.where;
  // Kept in pieces while the file is written in place.
  const std::string old = std::string(150000, 'o') + "\n";
  if (where == "replaced" || where == "in place")
    writeFile("a.tcl", old);
  std::vector<std::string> names{"a.tcl"};
  if (where == "in place") {
    ASSERT_TRUE(testsupport::makeHardLink("a.tcl", "b.tcl"));
    names.push_back("b.tcl");
  }
  KVEL::CheckedFolder here;
  std::string err;
  ASSERT_TRUE(here.open("", false, &err)) << err;
  const PartContent content(c.failingCall);
  KVEL::LaunchFile own(here);
  bool written = false;
  if (where == "own") {
    written = own.create(content, &err);
    names = {own.name()};
  } else {
    written = KVEL::FileReplacement(here, "a.tcl").replace(content, &err);
  }
  EXPECT_EQ(c.failingCall == 0, written) << err;
  const bool hadFile = where == "replaced" || where == "in place";
  if (!written && !hadFile)
    names.clear();
  for (const std::string& name : names)
    EXPECT_EQ(written ? onDisk(PartContent::whole()) : old, readFile(name)) << name;
  EXPECT_EQ(names, entries(".")) << "a temporary or a partial file left";
}

INSTANTIATE_TEST_SUITE_P(Rows, ContentInPieces, ::testing::ValuesIn(kContents),
                         [](const ::testing::TestParamInfo<ContentCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace runscripttest
