// The account's writer: plain runs found a word at a time, a long text given
// in pieces the same as whole (the pieces never cut a UTF-8 sequence; a
// text made in pieces that do is put together again where they do), and
// a held account that reaches its output only at the end, also once it has
// gone to a temporary file.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kvel/account_writer.h"
#include "kvel/cmdfile/argument_origins.h"
#include "kvel/json_text.h"
#include "tests/kvel/strict_json.h"
#include "tests/support/launch_workspace.h"

namespace {

using KVEL::AccountWriter;

struct PlainRun {
  const char* name;
  std::string text;
  char a, b;
  std::size_t length;
};

TEST(ExplainWriter, PlainRunStopsAtTheFirstByteToLookAt) {
  const std::string word16 = "0123456789abcdef";
  const std::vector<PlainRun> rows{
      {"Empty", "", '"', '\\', 0},
      {"ShortPlain", "ab c", '"', '\\', 4},
      {"WordsAndTail", word16 + word16 + "xyz", '"', '\\', 35},
      {"ControlInSecondWord", word16.substr(0, 9) + "\t" + word16, '"', '\\', 9},
      {"DelInFirstWord", "abc\x7f" + word16, '"', '\\', 3},
      {"QuoteExcluded", word16.substr(0, 8) + "\"x", '"', '\\', 8},
      {"BackslashFirst", "\\" + word16, '"', '\\', 0},
      {"QuoteKeptWhenNotExcluded", "a\"b'c" + word16, 0x7F, 0x7F, 21},
      {"ApostropheExcluded", "it's", '\'', 0x7F, 2},
      {"AccentAfterAWord", word16.substr(0, 10) + "é", '"', '\\', 10},
      {"Cyrillic", "ab Жук", '"', '\\', 3},
      {"Cjk", word16 + "表", '"', '\\', 16},
      {"EmojiFirst", "😀" + word16, '"', '\\', 0},
      {"NulByte", std::string("abcdefgh\0ijk", 12), '"', '\\', 8},
      {"NotUtf8", "abcdefg\xe9", '"', '\\', 7},
      {"SevenPlain", "abcdefg", '"', '\\', 7},
      {"SevenQuoteLast", "abcdef\"", '"', '\\', 6},
      {"OneControl", "\x01", '"', '\\', 0},
      {"NinePlain", "abcdefghi", '"', '\\', 9},
      {"TenTabInTheLastWord", "abcdefghi\t", '"', '\\', 9},
      {"FifteenDelInTheOverlap", word16.substr(0, 9) + "\x7f" + "abcde", '"', '\\', 9},
      {"TwentyAccentLast", word16 + "abc\xc3\xa9", '"', '\\', 19},
  };
  for (const PlainRun& row : rows)
    EXPECT_EQ(KVEL::printableAsciiRun(row.text, row.a, row.b), row.length) << row.name;
}

// What a writer passed to a temporary file; the file is read from its start.
std::string contentOf(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string content;
  char piece[4096];
  for (std::size_t got; (got = std::fread(piece, 1, sizeof piece, file)) > 0;)
    content.append(piece, got);
  return content;
}

struct LongText {
  const char* name;
  std::string text;
};

std::string repeated(const std::string& unit, std::size_t times) {
  std::string text;
  for (std::size_t k = 0; k < times; ++k)
    text += unit;
  return text;
}

// A text handed on in pieces of size bytes.
class CutText final : public KVEL::FileContent {
public:
  CutText(const std::string& text, std::size_t size) : text_(text), size_(size) {}
  bool produce(KVEL::PieceSink& sink) const override {
    for (std::size_t at = 0; at < text_.size(); at += size_)
      if (!sink.put(std::string_view(text_).substr(at, size_)))
        return false;
    return true;
  }

private:
  const std::string& text_;
  std::size_t size_;
};

TEST(ExplainWriter, PiecesGiveWhatTheWholeGives) {
  const std::size_t piece = AccountWriter::kPiece;
  const std::vector<LongText> rows{
      {"Short", "a \"b\" é"},
      {"PlainPastAPiece", std::string(3 * piece + 5, 'x')},
      {"AccentAcrossTheCut", std::string(piece - 1, 'x') + repeated("é", 40)},
      {"EmojiAcrossTheCut", std::string(piece - 2, 'x') + repeated("😀", 40)},
      {"CyrillicAndCjkOnly", repeated("Жук表", 30000)},
      {"ControlsAndC1", repeated("a\t\x1b[0m\xC2\x9b", 20000)},
      {"NotUtf8AcrossTheCut", std::string(piece - 1, 'y') + "\xE9\xE9" + repeated("\xC3", 5)},
      {"TruncatedSequenceAtTheEnd", std::string(piece + 3, 'z') + "\xE2\x82"},
  };
  for (const LongText& row : rows) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
      AccountWriter writer(file, false);
      writer.shown(row.text);
      writer << '|';
      writer.quoted(row.text);
      writer << '|';
      writer.jsonField("f", row.text);
    }
    std::string json;
    KVEL::appendJsonField(json, "f", row.text);
    const std::string shown = KVEL::cmdfile::shownText(row.text);
    EXPECT_TRUE(contentOf(file) == shown + "|\"" + shown + "\"|" + json) << row.name;
    std::fclose(file);
    // Made in pieces cut anywhere, even inside a character, as the command
    // text's maker may cut it: what is written is still what the whole gives.
    for (std::size_t cut : {std::size_t{1}, std::size_t{3}, piece - 1}) {
      std::FILE* cutFile = std::tmpfile();
      ASSERT_NE(cutFile, nullptr);
      {
        AccountWriter writer(cutFile, false);
        writer.shown(CutText(row.text, cut));
        writer << '|';
        writer.jsonField("f", CutText(row.text, cut));
      }
      EXPECT_TRUE(contentOf(cutFile) == shown + "|" + json) << row.name << ", cut every " << cut;
      std::fclose(cutFile);
    }
  }
}

TEST(ExplainWriter, HeldAccountComesWholeAtTheEnd) {
  struct Held {
    const char* name;
    std::size_t lines;
  };
  // Lines of about 64 bytes: a few stay in memory, many go to a temporary file.
  const std::vector<Held> rows{{"Small", 10}, {"PastWhatMemoryHolds", 60000}};
  const std::string line = "{\"text\":\"Жук 表 😀 é\"}" + std::string(64 - 31, '.') + "\n";
  for (const Held& row : rows) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
      AccountWriter writer(file, true);
      for (std::size_t k = 0; k < row.lines; ++k) {
        writer << line;
        writer.pass();
        writer.endStep();
      }
      EXPECT_EQ(contentOf(file), "") << row.name;
      writer.flush();
    }
    EXPECT_TRUE(contentOf(file) == repeated(line, row.lines)) << row.name;
    std::fclose(file);
  }
}

// The JSON document on standard error is the same document as in
// KVEL_EXPLAIN_FILE, whole also when it is too large to stay in memory, with
// the launch's own lines there kept out of it: held to the end after the
// lines of a failed parse; after a parse that succeeded written as it comes,
// with a later refusal on standard error after it.
TEST(ExplainWriter, DocumentOnStandardErrorIsTheFilesWithTheLaunchsLinesOutside) {
  enum class Lines { none, before, after };
  struct Row {
    const char* name;
    std::size_t values;   // -testplusarg values in the command file
    const char* last;     // the file's last line
    Lines lines;          // the launch's lines on standard error, against the document
  };
  const std::vector<Row> rows{
      {"SmallAccepted", 3, "-gui\n", Lines::none},
      {"LargeAccepted", 30000, "-gui\n", Lines::none},
      {"LargeRefusedAtTheEnd", 30000, "-maxdeltaidd 3\n", Lines::before},
      {"SmallLogRefusedAfterTheParse", 3, "-log kvel.dir/top/kvel_script.tcl\n", Lines::after},
      {"LargeLogRefusedAfterTheParse", 30000, "-log kvel.dir/top/kvel_script.tcl\n",
       Lines::after}};
  for (const Row& row : rows) {
    testsupport::LaunchWorkspace ws;
    ws.kernel("top");
    std::string args;
    for (std::size_t k = 0; k < row.values; ++k)
      args += "-testplusarg \"V" + std::to_string(k) + "=Жук 表 😀 é\"\n";
    ws.file("args.f", args + row.last);
    testsupport::RunOptions toFile;
    toFile.setEnv["KVEL_EXPLAIN"] = "json-only";
    toFile.setEnv["KVEL_EXPLAIN_FILE"] = ws.path("account.json");
    const testsupport::RunResult filed = ws.run(KVEL_DOUBLE_BIN, {"top", "-f", "args.f"}, toFile);
    const std::string document = ws.read("account.json");
    std::string problem;
    EXPECT_TRUE(testsupport::StrictJson::check(document, &problem)) << row.name << problem;
    EXPECT_EQ(filed.err.empty(), row.lines == Lines::none) << row.name << filed.err;
    testsupport::RunOptions toError;
    toError.setEnv["KVEL_EXPLAIN"] = "json-only";
    toError.unsetEnv.push_back("KVEL_EXPLAIN_FILE");
    const testsupport::RunResult held = ws.run(KVEL_DOUBLE_BIN, {"top", "-f", "args.f"}, toError);
    EXPECT_EQ(held.exitStatus, filed.exitStatus) << row.name;
    EXPECT_EQ(held.out, filed.out) << row.name;
    const std::string expected =
        row.lines == Lines::after ? document + filed.err : filed.err + document;
    EXPECT_TRUE(held.err == expected) << row.name << ": " << held.err.size() << " bytes against "
                                      << filed.err.size() << " + " << document.size();
  }
}

// KVEL_EXPLAIN_FILE naming a file that holds something already: the file
// is emptied and ends where the document ends, however the launch
// ends: a strict reader takes it, and where the launch did not start a
// shell it is what a new file would hold.
TEST(ExplainWriter, FileWrittenOverHoldsTheDocumentAlone) {
  struct Row {
    const char* name;
    const char* mode;
    const char* args;       // args.f
    std::size_t oldTimes;   // the old content: this many times the document's size, plus 7
  };
  const std::vector<Row> rows{{"LaunchedOverALongerFile", "json", "-testplusarg A=1\n-gui\n", 3},
                              {"DryRunOverALongerFile", "json-only", "-gui\n", 2},
                              {"ParseFailsOverALongerFile", "json", "-maxdeltaidd 3\n", 2},
                              {"OverAShorterFile", "json", "-gui\n", 0}};
  for (const Row& row : rows) {
    testsupport::LaunchWorkspace ws;
    ws.kernel("top");
    ws.file("args.f", row.args);
    testsupport::RunOptions options;
    options.setEnv["KVEL_EXPLAIN"] = row.mode;
    options.setEnv["KVEL_EXPLAIN_FILE"] = ws.path("account.json");
    const testsupport::RunResult fresh = ws.run(KVEL_DOUBLE_BIN, {"top", "-f", "args.f"}, options);
    const std::string document = ws.read("account.json");
    ASSERT_FALSE(document.empty()) << row.name << fresh.err;
    ws.file("account.json", repeated("{\"x\":[", document.size() * row.oldTimes / 6) + "]}\n{}");
    ws.file("kvel.dir/top/kvel_script.tcl", "");
    const testsupport::RunResult again = ws.run(KVEL_DOUBLE_BIN, {"top", "-f", "args.f"}, options);
    EXPECT_EQ(again.exitStatus, fresh.exitStatus) << row.name;
    // A launched document names its own run script, which differs between runs.
    const std::string over = ws.read("account.json");
    std::string problem;
    EXPECT_TRUE(testsupport::StrictJson::check(over, &problem)) << row.name << problem;
    EXPECT_EQ(over.find("{\"x\":["), std::string::npos) << row.name;
    if (std::string(row.mode) == "json-only" || fresh.exitStatus != 0) {
      EXPECT_TRUE(over == document) << row.name << ": " << over;
    }
  }
}

}  // namespace
