// Text beyond ASCII that every front end must pass on unchanged, and the
// end-to-end check each text test instantiates with its own rows: a program
// runs on names and values holding a sample ("@" in a row); the words the
// simulator's `kvel` command receives and the files made must hold it.
#ifndef TESTS_SUPPORT_TEXT_SAMPLES_H
#define TESTS_SUPPORT_TEXT_SAMPLES_H

#include <tcl.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace testsupport {

struct TextSample {
  const char* name;
  const char* text;              // UTF-8
  const char16_t* utf16;         // the same text
  std::vector<unsigned> heldBy;  // ANSI code pages that can hold it
};

// A Latin letter with accent, Cyrillic, CJK and an emoji (outside the BMP).
// In code page 932 the second byte of some characters is an ASCII one: "{"
// in 本 (96 7B), "\" in ソ and 表 (83 5C, 95 5C), "[" in ー (81 5B).
inline const std::vector<TextSample>& textSamples() {
  static const std::vector<TextSample> samples = {
      {"Accented", "\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9", {1252}},
      {"Cyrillic", "\xD0\x96\xD1\x83\xD0\xBA", u"\u0416\u0443\u043A", {1251, 932}},
      {"Cjk", "\xE6\x97\xA5\xE6\x9C\xAC", u"\u65E5\u672C", {932}},
      {"CjkAsciiSecondBytes", "\xE3\x82\xBD\xE3\x83\xBC\xE8\xA1\xA8", u"\u30BD\u30FC\u8868", {932}},
      {"Emoji", "\xF0\x9F\x98\x80", u"\U0001F600", {}},
  };
  return samples;
}

inline void PrintTo(const TextSample& sample, std::ostream* os) { *os << sample.name; }

// kAnsi: the system's ANSI code page, as programs wrote files before the
// UTF-8 manifest (Windows only).
enum Encoding { kUtf8, kUtf8Mark, kUtf16Le, kUtf16Be, kAnsi };

// ASCII text with "@" standing for the sample, saved in `encoding` with its
// byte-order mark where it has one.
inline std::string encoded(const std::string& text, const TextSample& sample, Encoding encoding) {
  std::string out = encoding == kUtf8Mark ? "\xEF\xBB\xBF" : "";
  std::u16string units = u"\uFEFF";
  for (char c : text) {
    out += c == '@' ? sample.text : std::string(1, c);
    units += c == '@' ? sample.utf16 : std::u16string(1, static_cast<char16_t>(c));
  }
  if (encoding == kAnsi) {
    std::string ansi;
    toAnsiCodePage(out, ansi);
    return ansi;
  }
  if (encoding == kUtf8 || encoding == kUtf8Mark)
    return out;
  out.clear();
  for (char16_t u : units) {
    char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
    out += encoding == kUtf16Be ? std::string{high, low} : std::string{low, high};
  }
  return out;
}

typedef std::vector<std::string> Words;

struct TextRow {
  const char* name;
  const char* program;
  std::map<std::string, std::string> files;  // written first, in `encoding`
  Words args;
  Words words;                              // the simulator's, if called
  std::map<std::string, std::string> made;  // files afterwards ("": any content)
  std::map<std::string, std::string> env{};
  std::string cwd{};
  Encoding encoding = kUtf8;
  bool shellOpensText = false;  // the shell opens a path holding the text
  std::string out{};            // the whole standard output, where given
  // The program runs in the ANSI code page (built without the UTF-8
  // manifest, as on Windows before 10 version 1903): a sample that code page
  // cannot hold is refused with an ERROR line naming it, status 1, and the
  // shell's output is in that code page.
  bool ansi = false;
};

inline void PrintTo(const TextRow& row, std::ostream* os) { *os << row.name; }

inline std::string fill(std::string text, const std::string& s) {
  for (std::string::size_type at; (at = text.find('@')) != std::string::npos;)
    text.replace(at, 1, s);
  return text;
}
inline Words fill(Words words, const std::string& s) {
  for (std::string& word : words)
    word = fill(word, s);
  return words;
}

// The words of each "kvel: ..." line of the shell's output; a ZEK_DATADIR
// entry comes back as a complete path and is kept from "dd_" on.
inline std::vector<Words> simulatorCalls(const std::string& out) {
  std::vector<Words> calls;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    int count = 0;
    const char** elements = nullptr;
    if (line.compare(0, 6, "kvel: ") != 0 ||
        Tcl_SplitList(nullptr, line.c_str() + 6, &count, &elements) != TCL_OK)
      continue;
    calls.emplace_back(elements, elements + count);
    Tcl_Free(reinterpret_cast<char*>(elements));
    for (std::string& word : calls.back()) {
      const std::string::size_type at = word.find("dd_");
      if (at != std::string::npos && at > 0) {
        word.erase(0, at);
        std::replace(word.begin(), word.end(), '\\', '/');
      }
    }
  }
  return calls;
}

// The shell's Tcl 8.6 on Windows cannot open a path holding a character
// outside the Basic Multilingual Plane (4 bytes in UTF-8, lead byte 0xF0).
const bool kShellOnWindows = kWindows;

class TextMatrix : public ::testing::TestWithParam<std::tuple<TextRow, TextSample>> {};

TEST_P(TextMatrix, ArrivesUnchanged) {
  const TextRow& row = std::get<0>(GetParam());
  const TextSample& sample = std::get<1>(GetParam());
  const std::string s = sample.text;
  const unsigned page = ansiCodePage();
  std::string inPage;
  const bool pageHolds = toAnsiCodePage(s, inPage);
  if (row.encoding == kAnsi && page == 0)
    GTEST_SKIP() << "no ANSI code page here: Linux keeps a command file's bytes";
  if (row.encoding == kAnsi && !pageHolds)
    GTEST_SKIP() << "code page " << page << " cannot hold the sample: no such file";
  TempDir dir;
  writeFile(dir.file("kvel.dir/top/kvelk.exe"), "");
  for (const auto& file : row.files)
    writeFile(dir.file(fill(file.first, s)), encoded(file.second, sample, row.encoding));
  RunOptions options;
  options.cwd = dir.file(fill(row.cwd, s));
  options.unsetEnv = {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "ZEK_MSG_INIT_FAIL"};
  for (const auto& var : row.env)
    options.setEnv[var.first] = fill(var.second, s);
  RunResult r = run(row.program, fill(row.args, s), options);
  if (row.ansi && page != 0) {
    if (!pageHolds) {
      // Refused whole, never run with a substitute.
      EXPECT_EQ(1, r.exitStatus) << r.out << r.err;
      EXPECT_EQ(0u, (r.out + r.err).find("ERROR: ")) << r.out << r.err;
      EXPECT_NE(std::string::npos, (r.out + r.err).find(" code page " + std::to_string(page)))
          << r.out << r.err;
      EXPECT_EQ(std::vector<Words>{}, simulatorCalls(r.out)) << r.out;
      return;
    }
    r.out = fromAnsiCodePage(r.out);
    r.err = fromAnsiCodePage(r.err);
  }
  const std::vector<Words> calls = simulatorCalls(r.out);
  if (row.shellOpensText && kShellOnWindows && s.find('\xF0') != std::string::npos) {
    // One clear error from the shell, never a run on another file.
    EXPECT_EQ(1, r.exitStatus) << r.out << r.err;
    EXPECT_NE(std::string::npos, r.err.find("ERROR: [shell] ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(s)) << r.err;
    EXPECT_EQ(std::vector<Words>{}, calls) << r.out;
    return;
  }
  EXPECT_EQ(0, r.exitStatus) << r.out << r.err;
  EXPECT_EQ(row.words.empty() ? std::vector<Words>{} : std::vector<Words>{fill(row.words, s)},
            calls)
      << r.out << r.err;
  EXPECT_TRUE(row.out.empty() || fill(row.out, s) == r.out) << r.out;
  for (const auto& file : row.made) {
    const std::string path = dir.file(fill(file.first, s));
    EXPECT_TRUE(fileExists(path) && (file.second.empty() || fill(file.second, s) == readFile(path)))
        << path;
  }
}

inline std::string textRowName(
    const ::testing::TestParamInfo<std::tuple<TextRow, TextSample>>& info) {
  return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
}

}  // namespace testsupport

#endif
