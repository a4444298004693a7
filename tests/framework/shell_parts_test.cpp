// The stand-in shell in-process: its argument reading, the kvel command's
// re-quoting and the commands only the "kvel" application has.
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tcl.h>

#include "framework/gui_event_broker.h"
#include "framework/standin/shell_arguments.h"
#include "framework/standin/shell_commands.h"
#include "framework/standin/system_text.h"
#include "framework/zekmain.h"
#include "tests/support/test_process.h"

namespace {

using testsupport::TempDir;
using zekshell::ShellMode;

std::vector<std::string> splitTclList(const std::string& text) {
  int count = 0;
  const char** elements = nullptr;
  if (Tcl_SplitList(nullptr, text.c_str(), &count, &elements) != TCL_OK)
    throw std::runtime_error("not a Tcl list: " + text);
  std::vector<std::string> words(elements, elements + count);
  Tcl_Free(reinterpret_cast<char*>(elements));
  return words;
}

std::string mergeTclList(const std::vector<std::string>& words) {
  std::vector<const char*> pointers;
  for (const std::string& word : words)
    pointers.push_back(word.c_str());
  char* merged = Tcl_Merge(static_cast<int>(pointers.size()), pointers.data());
  std::string text(merged);
  Tcl_Free(merged);
  return text;
}

// Runs the shell entry in this process: args after the program path.
int runShell(const char* app, std::vector<std::string> args) {
  args.insert(args.begin(), "shell-test");
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(&arg[0]);  // deliberately no null entry after the last
  return zekmain::main(static_cast<int>(argv.size()), argv.data(), app, nullptr);
}

class ShellTest : public testing::Test {
protected:
  static void SetUpTestSuite() { Tcl_FindExecutable(nullptr); }
  // Runs `script` under app with a log; returns the status, fills output.
  // Tcl's standard output channel goes to a file for the run: everything the
  // shell writes to standard output passes through that channel.
  int runScript(const char* app, const std::string& script) {
    testsupport::writeFile(dir.file("s.tcl"), script);
    Tcl_Channel previous = Tcl_GetStdChannel(TCL_STDOUT);
    Tcl_Channel output = Tcl_OpenFileChannel(nullptr, dir.file("s.out").c_str(), "w", 0644);
    if (output == nullptr)
      throw std::runtime_error("cannot open " + dir.file("s.out"));
    Tcl_RegisterChannel(nullptr, output);
    Tcl_SetStdChannel(output, TCL_STDOUT);
    int status = runShell(
        app, {"-mode", "tcl", "-log", dir.file("s.log"), "-source", "{" + dir.file("s.tcl") + "}"});
    Tcl_SetStdChannel(previous, TCL_STDOUT);
    Tcl_UnregisterChannel(nullptr, output);
    stdoutText = testsupport::readTextFile(dir.file("s.out"));
    return status;
  }
  // The log after its two header lines, as text.
  std::string loggedOutput() const {
    std::string log = testsupport::readTextFile(dir.file("s.log"));
    std::size_t second = log.find('\n', log.find('\n') + 1);
    return second == std::string::npos ? "" : log.substr(second + 1);
  }
  TempDir dir;
  std::string stdoutText;
};

struct ArgumentsCase {
  std::vector<std::string> args;
  ShellMode mode;
  std::string source;  // "-" when none
  std::string log;     // "-" when none
  bool noLog;
  std::vector<std::string> tclArgs;
};

TEST_F(ShellTest, ArgumentsAreRead) {
  // clang-format off
  const ArgumentsCase cases[] = {
      {{}, ShellMode::Gui, "-", "-", false, {}},
      {{"-mode", "tcl", "-source", "a.tcl"}, ShellMode::Tcl, "a.tcl", "-", false, {}},
      {{"-mode", "batch", "-source", "{dir with blank/a.tcl}"}, ShellMode::Batch,
       "dir with blank/a.tcl", "-", false, {}},
      {{"-mode", "gui", "-log", "x.log", "-nolog"}, ShellMode::Gui, "-", "x.log", true, {}},
      {{"-mode", "tcl", "-mode", "gui"}, ShellMode::Gui, "-", "-", false, {}},
      {{"-log", "-nolog"}, ShellMode::Gui, "-", "-nolog", false, {}},
      {{"-tclargs", "-mode", "", "b c"}, ShellMode::Gui, "-", "-", false, {"-mode", "", "b c"}},
      {{"-nolog", "-tclargs"}, ShellMode::Gui, "-", "-", true, {}},
      // A value is literal unless the whole of it is one braced word.
      {{"-source", "C:\\a\\b.tcl", "-log", "{C:\\l\\x.log}"}, ShellMode::Gui, "C:\\a\\b.tcl",
       "C:\\l\\x.log", false, {}},
      {{"-source", "{a} {b}", "-log", "C:\\l\\"}, ShellMode::Gui, "{a} {b}", "C:\\l\\", false, {}},
      {{"-source", "{a}b", "-log", "{a{b}c}"}, ShellMode::Gui, "{a}b", "a{b}c", false, {}},
      {{"-source", "{a.tcl", "-log", " {x}"}, ShellMode::Gui, "{a.tcl", " {x}", false, {}},
      {{"-source", "{a\\}", "-log", "{a\\}}"}, ShellMode::Gui, "{a\\}", "a\\}", false, {}},
      {{"-source", "{}", "-log", "{{}}"}, ShellMode::Gui, "", "{}", false, {}},
      {{"-source", "{\xd0\x96 \xe6\xbc\xa2}", "-log", "", "-tclargs", "\xf0\x9f\x98\x80"},
       ShellMode::Gui, "\xd0\x96 \xe6\xbc\xa2", "", false, {"\xf0\x9f\x98\x80"}},
  };
  // clang-format on
  for (const ArgumentsCase& c : cases) {
    std::vector<std::string> args{"prog"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
      argv.push_back(&arg[0]);
    zekshell::ShellArguments out;
    std::string err;
    ASSERT_TRUE(
        zekshell::parseShellArguments(static_cast<int>(argv.size()), argv.data(), out, &err))
        << err;
    EXPECT_EQ(c.mode, out.mode);
    // Compared as the system encoding gives them back (Tcl keeps emoji as surrogates).
    EXPECT_EQ(c.source, out.hasSource ? zekshell::utf8ToSystem(out.sourceFile) : "-");
    EXPECT_EQ(c.log, out.hasLog ? zekshell::utf8ToSystem(out.logFile) : "-");
    EXPECT_EQ(c.noLog, out.noLog);
    for (std::string& arg : out.tclArgs)
      arg = zekshell::utf8ToSystem(arg);
    EXPECT_EQ(c.tclArgs, out.tclArgs);
  }
}

TEST_F(ShellTest, BadArgumentsAreNamed) {
  std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-bogus"}, "ERROR: [shell] unknown argument \"-bogus\""},
      {{"-mode", "tcl", "script.tcl"}, "ERROR: [shell] unknown argument \"script.tcl\""},
      {{"-MODE", "tcl"}, "ERROR: [shell] unknown argument \"-MODE\""},
      {{"-mode"}, "ERROR: [shell] argument \"-mode\" needs a value"},
      {{"-source"}, "ERROR: [shell] argument \"-source\" needs a value"},
      {{"-nolog", "-log"}, "ERROR: [shell] argument \"-log\" needs a value"},
      {{"-mode", "Tcl"},
       "ERROR: [shell] argument \"-mode\" has the unknown value \"Tcl\" (expected tcl, gui or "
       "batch)"},
  };
  if (testsupport::kWindows) {
    cases.push_back(
        {{"-log", "\xf0\x9f\x98\x80"},
         "ERROR: [shell] argument \"-log\" value \"\xf0\x9f\x98\x80\": Tcl 8.6 cannot open a file "
         "whose name holds a character outside the Basic Multilingual Plane (such as an emoji) "
         "on Windows"});
  } else {
    // Bytes that are no UTF-8 text would reach Tcl as other characters.
    cases.push_back(
        {{"-source", "snap\xff.tcl"},
         "ERROR: [shell] argument \"-source\" value \"snap\xff.tcl\" is not text in the "
         "system encoding (utf-8); it cannot be passed on unchanged"});
    cases.push_back({{"-tclargs", "ok", "\xe9t\xe9"},
                     "ERROR: [shell] argument \"\xe9t\xe9\" is not text in the system encoding "
                     "(utf-8); it cannot be passed on unchanged"});
  }
  for (const auto& c : cases) {
    std::vector<std::string> args{"prog"};
    args.insert(args.end(), c.first.begin(), c.first.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
      argv.push_back(&arg[0]);
    zekshell::ShellArguments out;
    std::string err;
    EXPECT_FALSE(
        zekshell::parseShellArguments(static_cast<int>(argv.size()), argv.data(), out, &err));
    EXPECT_EQ(c.second, err);
  }
}

// Tcl's system encoding is the process's code page; UTF-8 is named utf-8, not cp65001.
TEST_F(ShellTest, SystemEncodingIsTheProcessCodePage) {
  if (!testsupport::kWindows)
    GTEST_SKIP() << testsupport::kNoProcessCodePage;
  const unsigned cp = testsupport::processCodePage();
  EXPECT_EQ(cp == 65001 ? "utf-8" : "cp" + std::to_string(cp), Tcl_GetEncodingName(nullptr));
}

const std::vector<std::vector<std::string>> kWordLists = {
    {},
    {"top"},
    {"a b", "", "{", "}", "a{b", "}a{", "{a b}", "\"", "say \"hi\""},
    {"\\", "back\\slash", "end\\", "$HOME", "${x}", "[exit 3]", ";", "#hash", "a#"},
    {"line\nbreak", "tab\there", "\xc3\xa9t\xc3\xa9", "-testplusarg", "SEED=7"},
};

// The words quoted as the kvel command quotes them, with no prefix.
std::string quoteWords(const std::vector<std::string>& words) {
  std::vector<Tcl_Obj*> objects;
  for (const std::string& word : words) {
    objects.push_back(Tcl_NewStringObj(word.data(), static_cast<int>(word.size())));
    Tcl_IncrRefCount(objects.back());
  }
  std::string out;
  zekshell::appendQuotedWords(out, "", 0, static_cast<int>(objects.size()), objects.data());
  for (Tcl_Obj* object : objects)
    Tcl_DecrRefCount(object);
  return out;
}

TEST_F(ShellTest, QuotedWordsReadBackAsTheSameWordsOnOneLine) {
  // A carriage return cannot pass through a script file (Tcl reads it as a
  // line end), so it is checked here only.
  auto lists = kWordLists;
  lists.push_back({"cr\rlf", "\r"});
  for (const auto& words : lists) {
    std::string quoted = quoteWords(words);
    EXPECT_EQ(std::string::npos, quoted.find_first_of("\n\r")) << quoted;
    EXPECT_EQ(words, splitTclList(quoted)) << quoted;
  }
  EXPECT_EQ("top {a b} {}", quoteWords({"top", "a b", ""}));
}

// Written in pieces, the words give the same text: every piece ends at the
// end of a word, whatever the piece size, and a failed write stops at once.
TEST_F(ShellTest, QuotedWordsInPiecesEndAtWordEnds) {
  const std::vector<std::string> words = {"-testplusarg", "N=\xC3\xA9 \xD0\x96", "{\xE8\xA1\xA8",
                                          "\xF0\x9F\x98\x80", "", "line\nbreak", "#hash"};
  std::vector<Tcl_Obj*> objects;
  for (const std::string& word : words) {
    objects.push_back(Tcl_NewStringObj(word.data(), static_cast<int>(word.size())));
    Tcl_IncrRefCount(objects.back());
  }
  const std::string whole = "k: " + quoteWords(words) + "\n";
  const struct {
    const char* name;
    std::size_t pieceSize;
    std::size_t pieces;
  } cases[] = {{"OneWordAPiece", 1, words.size()}, {"AboutTwoWordsAPiece", 16, 3},
               {"AllAtOnce", 4096, 1}};
  for (const auto& c : cases) {
    std::vector<std::string> pieces;
    EXPECT_TRUE(zekshell::writeQuotedWords("k: ", 3, static_cast<int>(objects.size()),
                                           objects.data(), c.pieceSize, "\n",
                                           [&pieces](const std::string& piece) {
                                             pieces.push_back(piece);
                                             return true;
                                           }))
        << c.name;
    EXPECT_EQ(c.pieces, pieces.size()) << c.name;
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      joined += pieces[i];
      // The next piece starts a word: after the blank between two words.
      if (i + 1 < pieces.size()) {
        EXPECT_EQ(' ', pieces[i + 1][0]) << c.name << " piece " << i + 1;
      }
    }
    EXPECT_EQ(whole, joined) << c.name;
    // The first write fails: nothing more is written.
    int calls = 0;
    EXPECT_FALSE(zekshell::writeQuotedWords("k: ", 3, static_cast<int>(objects.size()),
                                            objects.data(), c.pieceSize, "\n",
                                            [&calls](const std::string&) { return ++calls < 0; }))
        << c.name;
    EXPECT_EQ(1, calls) << c.name;
  }
  for (Tcl_Obj* object : objects)
    Tcl_DecrRefCount(object);
}

// A command longer than a piece reaches standard output and the log whole.
TEST_F(ShellTest, KvelCommandEchoesALongCommandWhole) {
  std::vector<std::string> words;
  for (int i = 0; i < 30000; ++i)
    words.push_back(i % 2 ? "V" + std::to_string(i) + "=\xD0\x96\xE8\xA1\xA8" : "-testplusarg");
  ASSERT_EQ(0, runScript("kvel", "kvel " + mergeTclList(words) + "\n"));
  EXPECT_EQ(stdoutText, loggedOutput());
  ASSERT_EQ(0u, stdoutText.find("kvel: "));
  ASSERT_EQ(stdoutText.size() - 1, stdoutText.find('\n'));
  const std::vector<std::string> got = splitTclList(stdoutText.substr(6, stdoutText.size() - 7));
  ASSERT_EQ(words.size(), got.size());
  for (std::size_t i = 0; i < words.size(); ++i)
    ASSERT_EQ(words[i], got[i]) << i;
}

TEST_F(ShellTest, KvelCommandEchoesItsWordsRequoted) {
  std::string script;
  for (const auto& words : kWordLists)
    script += "kvel " + mergeTclList(words) + "\n";
  ASSERT_EQ(0, runScript("kvel", script));
  EXPECT_EQ(stdoutText, loggedOutput());
  std::vector<std::string> lines;
  std::string::size_type start = 0, end;
  while ((end = stdoutText.find('\n', start)) != std::string::npos) {
    lines.push_back(stdoutText.substr(start, end - start));
    start = end + 1;
  }
  ASSERT_EQ(kWordLists.size(), lines.size()) << stdoutText;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_EQ(0u, lines[i].find("kvel: ")) << lines[i];
    EXPECT_EQ(kWordLists[i], splitTclList(lines[i].substr(6))) << lines[i];
  }
}

TEST_F(ShellTest, SourcedScriptKnowsItsNameAndFrames) {
  // The kvel run script is evaluated directly; other applications keep
  // Tcl's source with its frame records.
  EXPECT_EQ(0, runScript("kvel", "puts [info script]\n"));
  EXPECT_EQ(dir.file("s.tcl") + "\n", stdoutText);
  EXPECT_EQ(0,
            runScript("Dravik",
                      "puts [info script]\nproc p {} {puts [dict get [info frame -1] type]}\np\n"));
  EXPECT_EQ(dir.file("s.tcl") + "\nsource\n", stdoutText);
}

TEST_F(ShellTest, KvelOnlyCommands) {
  EXPECT_EQ(0, runScript("kvel", "load_feature simulator\ncurrent_fileset\nputs done\n"));
  EXPECT_EQ("done\n", stdoutText);
  EXPECT_EQ(1, runScript("kvel", "load_feature\n"));
  EXPECT_EQ(1, runScript("Dravik", "kvel top\n"));
  EXPECT_EQ(1, runScript("Dravik", "load_feature simulator\n"));
  EXPECT_EQ("", stdoutText);
}

// The application name, exactly as given, picks the shell's commands: only
// "kvel" has the kvel command, and its words reach the output unchanged.
TEST_F(ShellTest, ApplicationNamePicksTheShellsCommands) {
  const std::string words = "top \xc3\xa9t\xc3\xa9 \xd0\x9c\xd0\xb8\xd1\x80 \xe6\xbc\xa2";
  struct Case {
    const char* app;
    int status;
    std::string out;
  };
  const Case cases[] = {
      {"kvel", 0, "kvel: " + words + "\n"},
      {"Dravik", 1, ""},
      {"Quindle", 1, ""},
      {"Kvel", 1, ""},
      {"kvel ", 1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.status, runScript(c.app, "kvel " + words + "\n")) << c.app;
    EXPECT_EQ(c.out, stdoutText) << c.app;
  }
}

TEST_F(ShellTest, ExitReturnsFromTheEntryWithoutEndingTheProcess) {
  EXPECT_EQ(7, runScript("kvel", "puts before\nexit 7\nputs after\n"));
  EXPECT_EQ("before\n", stdoutText);
  EXPECT_EQ(4, runScript("kvel", "catch {exit 4}\nputs after\n"));
  EXPECT_EQ(9, runScript("kvel", "proc p {} {catch {uplevel 1 {exit 9}}}\np\nexit 2\n"));
  EXPECT_EQ(0, runScript("kvel", "exit\n"));
  EXPECT_EQ(-1, runScript("kvel", "exit -1\n"));
  EXPECT_EQ(1, runScript("kvel", "exit 1 2\n"));
  EXPECT_EQ(0, runScript("kvel", "puts still-alive\n"));
  EXPECT_EQ("still-alive\n", stdoutText);
}

TEST_F(ShellTest, Event61IsRaisedBeforeTheLogIsOpened) {
  boost::signals2::connection thrower = GuiEventBroker::addListener(
      kFlagEventNumber, [](const GuiEvent*) { throw std::runtime_error("listener fails"); });
  EXPECT_THROW(runShell("kvel", {"-mode", "tcl", "-log", dir.file("never.log")}),
               std::runtime_error);
  thrower.disconnect();
  EXPECT_FALSE(testsupport::fileExists(dir.file("never.log")));

  runScript("kvel", "");
  EXPECT_NE(std::string::npos,
            testsupport::readTextFile(dir.file("s.log")).find("# front end: none\n"));
  boost::signals2::connection setter = GuiEventBroker::addListener(
      kFlagEventNumber, [](const GuiEvent* e) { *boost::any_cast<bool*>(e->data(0)) = true; });
  runScript("kvel", "");
  setter.disconnect();
  EXPECT_NE(std::string::npos,
            testsupport::readTextFile(dir.file("s.log")).find("# front end: attached\n"));
}

}  // namespace
