// Text beyond ASCII that every front end must pass on unchanged, and the
// end-to-end check shared by the text tests: a program runs on names and
// values holding a sample ("@" in a row), and the words the simulator's `kvel`
// command receives and the files on disk must hold exactly what was typed.
// Each including test instantiates TextMatrix with its own rows.
#ifndef TESTS_SUPPORT_TEXT_SAMPLES_H
#define TESTS_SUPPORT_TEXT_SAMPLES_H

#include <tcl.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_process.h"

namespace testsupport {

struct TextSample {
  const char* name;
  const char* text;              // UTF-8
  std::vector<unsigned> heldBy;  // ANSI code pages that can hold it
};

// A Latin letter with accent, Cyrillic, CJK and an emoji (outside the BMP).
inline const std::vector<TextSample>& textSamples() {
  static const std::vector<TextSample> samples = {
      {"Accented", "\xC3\xA9t\xC3\xA9", {1252}},
      {"Cyrillic", "\xD0\x96\xD1\x83\xD0\xBA", {1251, 932}},
      {"Cjk", "\xE6\x97\xA5\xE6\x9C\xAC", {932}},
      {"Emoji", "\xF0\x9F\x98\x80", {}},
  };
  return samples;
}

inline void PrintTo(const TextSample& sample, std::ostream* os) { *os << sample.name; }

enum Encoding { kUtf8, kUtf8Mark, kUtf16Le, kUtf16Be };

// UTF-8 text as saved in `encoding`, with its byte-order mark where it has one.
inline std::string encoded(const std::string& utf8, Encoding encoding) {
  if (encoding == kUtf8 || encoding == kUtf8Mark)
    return (encoding == kUtf8Mark ? "\xEF\xBB\xBF" : "") + utf8;
  std::vector<unsigned> units = {0xFEFF};
  for (std::string::size_type i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    unsigned code = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += extra + 1;
    if (code >= 0x10000) {
      units.push_back(0xD800 + ((code - 0x10000) >> 10));
      code = 0xDC00 + (code & 0x3FF);
    }
    units.push_back(code);
  }
  std::string out;
  for (unsigned u : units) {
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
  Words words;                              // the simulator's, if it is called
  std::map<std::string, std::string> made;  // files afterwards ("": any content)
  std::map<std::string, std::string> env{};
  std::string cwd{};
  Encoding encoding = kUtf8;
  bool shellOpensText = false;  // the shell opens a path holding the text
  std::string out{};            // the whole standard output, where given
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
  for (std::string::size_type start = 0, end; start < out.size(); start = end + 1) {
    end = std::min(out.find('\n', start), out.size());
    int count = 0;
    const char** elements = nullptr;
    if (out.compare(start, 6, "kvel: ") == 0 &&
        Tcl_SplitList(nullptr, out.substr(start + 6, end - start - 6).c_str(), &count,
                      &elements) == TCL_OK) {
      calls.emplace_back(elements, elements + count);
      Tcl_Free(reinterpret_cast<char*>(elements));
    }
  }
  for (Words& call : calls)
    for (std::string& word : call)
      if (word.find("dd_") != std::string::npos && word.find("dd_") > 0) {
        word.erase(0, word.find("dd_"));
        std::replace(word.begin(), word.end(), '\\', '/');
      }
  return calls;
}

// True where the shell's Tcl 8.6 cannot open a path holding this text: on
// Windows, a character outside the Basic Multilingual Plane (4 bytes in UTF-8).
inline bool shellCannotOpen(const std::string& utf8) {
#ifdef _WIN32
  return std::any_of(utf8.begin(), utf8.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0xF0; });
#else
  (void)utf8;
  return false;
#endif
}

class TextMatrix : public ::testing::TestWithParam<std::tuple<TextRow, TextSample>> {};

TEST_P(TextMatrix, ArrivesUnchanged) {
  const TextRow& row = std::get<0>(GetParam());
  const std::string s = std::get<1>(GetParam()).text;
  TempDir dir;
  writeFile(dir.file("kvel.dir/top/kvelk.exe"), "");
  for (const auto& file : row.files)
    writeFile(dir.file(fill(file.first, s)), encoded(fill(file.second, s), row.encoding));
  RunOptions options;
  options.cwd = dir.file(fill(row.cwd, s));
  options.unsetEnv = {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "ZEK_MSG_INIT_FAIL"};
  for (const auto& var : row.env)
    options.setEnv[var.first] = fill(var.second, s);
  RunResult r = run(row.program, fill(row.args, s), options);
  const std::vector<Words> calls = simulatorCalls(r.out);
  if (row.shellOpensText && shellCannotOpen(s)) {
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
  if (!row.out.empty()) {
    EXPECT_EQ(fill(row.out, s), r.out);
  }
  for (const auto& file : row.made) {
    const std::string path = dir.file(fill(file.first, s));
    EXPECT_TRUE(fileExists(path)) << path;
    if (!file.second.empty()) {
      EXPECT_EQ(fill(file.second, s), readFile(path)) << path;
    }
  }
}

inline std::string textRowName(
    const ::testing::TestParamInfo<std::tuple<TextRow, TextSample>>& info) {
  return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
}

}  // namespace testsupport

#endif
