#include "kvel/rerun_line.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstring>

#include "kvel/cmdfile/program_text.h"
#include "kvel/json_text.h"
#include "kvel/short_text_bytes.h"

namespace KVEL {

namespace {

bool isAsciiWordCharacter(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The length of the printable character at text's start, or 0 for a
// control byte (C0, DEL), a C1 control written in UTF-8 and a byte that is
// not UTF-8.
std::size_t printableLength(std::string_view text) {
  const unsigned char c = static_cast<unsigned char>(text[0]);
  if (c < 0x20 || c == 0x7F)
    return 0;
  if (c < 0x80)
    return 1;
  const std::size_t length = utf8SequenceLength(text);
  if (length == 0)
    return 0;
  if (c == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0)
    return 0;
  return length;
}

bool isPrintable(std::string_view word) {
  for (std::size_t i = 0; i < word.size();) {
    const std::size_t length = printableLength(word.substr(i));
    if (length == 0)
      return false;
    i += length;
  }
  return true;
}

// The ASCII characters a word may hold bare: letters, digits and those of
// punctuation.
class BareSet {
public:
  explicit BareSet(const char* punctuation) {
    for (unsigned c = 0; c < 0x80; ++c)
      bare_[c] = isAsciiWordCharacter(static_cast<unsigned char>(c));
    for (const char* p = punctuation; *p != '\0'; ++p)
      bare_[static_cast<unsigned char>(*p)] = true;
  }
  bool holds(unsigned char c) const { return bare_[c]; }

private:
  bool bare_[0x100] = {};  // none from 0x80 on
};

bool needsNoQuotes(std::string_view word, const BareSet& bare) {
  if (word.empty())
    return false;
  const char* const p = word.data();
  const std::size_t size = word.size();
  for (std::size_t i = 0; i < size;) {
    while (i < size && bare.holds(static_cast<unsigned char>(p[i])))
      ++i;
    if (i == size)
      break;
    const unsigned char c = static_cast<unsigned char>(p[i]);
    if (c >= 0x80) {
      const std::size_t length = printableLength(word.substr(i));
      if (length == 0)
        return false;
      i += length;
      continue;
    }
    return false;
  }
  return true;
}

// Whether word is ASCII of posixBare() alone, sixteen bytes at a time: most
// words of a large command line. False for the others, which
// needsNoQuotes then looks at (text beyond ASCII among them).
bool posixBareAscii(std::string_view word) {
#ifdef __SSE2__
  const std::size_t size = word.size();
  if (size == 0)
    return false;
  // The set is % + to : = @ to Z _ a to z; a byte from 0x80 on is negative
  // as a signed byte, in none of the ranges.
  const auto bare = [](__m128i v) {
    const auto within = [v](char low, char high) {
      return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(low - 1))),
                           _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(high + 1))));
    };
    const __m128i in = _mm_or_si128(
        _mm_or_si128(_mm_or_si128(within('+', ':'), within('@', 'Z')), within('a', 'z')),
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('%')),
                                  _mm_cmpeq_epi8(v, _mm_set1_epi8('='))),
                     _mm_cmpeq_epi8(v, _mm_set1_epi8('_'))));
    return _mm_movemask_epi8(in) == 0xFFFF;
  };
  const char* const p = word.data();
  if (size < 16)
    return bare(shortTextBytes(p, size));
  for (std::size_t i = 0; i + 16 <= size; i += 16) {
    if (!bare(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))))
      return false;
  }
  return bare(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - 16)));
#else
  (void)word;
  return false;
#endif
}

const BareSet& posixBare() {
  static const BareSet bare("-_.,:/=+@%");
  return bare;
}

// One byte in a printf format: itself, or \ooo where printf must make it.
void appendFormatByte(std::string& out, unsigned char c) {
  if (c < 0x20 || c >= 0x7F || c == '\'' || c == '\\') {
    char octal[8];
    std::snprintf(octal, sizeof octal, "\\%03o", c);
    out += octal;
  } else if (c == '%') {
    out += "%%";
  } else {
    out += static_cast<char>(c);
  }
}

}  // namespace

std::string posixShellWord(std::string_view word) {
  std::string out;
  appendPosixShellWord(out, word);
  return out;
}

void appendPosixShellWord(std::string& line, std::string_view word) {
  if (posixBareAscii(word) || needsNoQuotes(word, posixBare())) {
    line.append(word.data(), word.size());
    return;
  }
  const std::size_t start = line.size();
  std::string& out = line;
  bool quoted = false;  // inside single quotes, opened for printable text
  auto openQuoted = [&] {
    if (!quoted)
      out += '\'';
    quoted = true;
  };
  auto closeQuoted = [&] {
    if (quoted)
      out += '\'';
    quoted = false;
  };
  for (std::size_t i = 0; i < word.size();) {
    const std::size_t plain = printableAsciiRun(word.substr(i), '\'', 0x7F);
    if (plain != 0) {
      openQuoted();
      out.append(word.data() + i, plain);
      i += plain;
      continue;
    }
    const std::size_t length = printableLength(word.substr(i));
    if (length != 0) {
      openQuoted();
      if (word[i] == '\'')
        out += "'\\''";
      else
        out.append(word.data() + i, length);
      i += length;
      continue;
    }
    // A run of bytes sh cannot be given as they are, with the character after it.
    closeQuoted();
    std::size_t end = i;
    while (end < word.size() && printableLength(word.substr(end)) == 0)
      ++end;
    std::size_t trailingNewlines = 0;
    while (end == word.size() && trailingNewlines < end - i &&
           word[end - 1 - trailingNewlines] == '\n')
      ++trailingNewlines;
    if (end - trailingNewlines > i) {
      const std::size_t next = end < word.size() ? end + printableLength(word.substr(end)) : end;
      out += "\"$(printf '";
      for (std::size_t j = i; j < end - trailingNewlines; ++j)
        appendFormatByte(out, static_cast<unsigned char>(word[j]));
      for (std::size_t j = end; j < next; ++j)
        appendFormatByte(out, static_cast<unsigned char>(word[j]));
      out += "')\"";
      end = next;
    }
    for (std::size_t n = 0; n < trailingNewlines; ++n)
      out += "\"$nl\"";
    i = end;
  }
  closeQuoted();
  if (line.size() == start)
    line += "''";
}

namespace {
const char kNewlinePrefix[] = "nl=$(printf '\\n.'); nl=${nl%.}; ";
bool endsInNewline(std::string_view word) { return !word.empty() && word.back() == '\n'; }
}  // namespace

const char* posixShellLinePrefix(const std::string& programName,
                                 const cmdfile::ArgumentList& arguments) {
  if (endsInNewline(programName))
    return kNewlinePrefix;
  for (std::string_view argument : arguments)
    if (endsInNewline(argument))
      return kNewlinePrefix;
  return "";
}

std::string posixShellLine(const std::vector<std::string>& words) {
  std::string line;
  if (std::any_of(words.begin(), words.end(), endsInNewline))
    line = kNewlinePrefix;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i != 0)
      line += ' ';
    line += posixShellWord(words[i]);
  }
  return line;
}

bool cmdLine(const std::vector<std::string>& words, std::string* line, std::string* err) {
  std::string out;
  bool cmdQuoted = false;  // inside cmd's quotes: every " toggles them
  bool crtQuoted = false;  // inside the C runtime's quotes
  // A double quote that opens or closes the runtime's quotes (and so cmd's).
  auto toggle = [&] {
    out += '"';
    crtQuoted = !crtQuoted;
    cmdQuoted = !cmdQuoted;
  };
  // One % cannot be read as a variable; between two, cmd expands any name it
  // knows, at its prompt and with cmd /c alike, whatever the quotes and
  // carets (which cmd versions treat differently around %).
  std::size_t percents = 0;
  for (const std::string& word : words)
    percents += static_cast<std::size_t>(std::count(word.begin(), word.end(), '%'));
  if (percents > 1) {
    *err =
        "the arguments hold % more than once, and cmd would take the text between two of "
        "them for a variable's name";
    return false;
  }
  for (std::size_t w = 0; w < words.size(); ++w) {
    const std::string& word = words[w];
    if (!isPrintable(word)) {
      *err = "argument " + std::to_string(w) +
             " holds a control character or a byte that is not UTF-8, which cmd cannot be given";
      return false;
    }
    if (w != 0)
      out += ' ';
    static const BareSet cmdBare("-_.,:/\\=+@");
    if (needsNoQuotes(word, cmdBare)) {
      out += word;
      continue;
    }
    if (word.empty()) {
      toggle();
      toggle();
      continue;
    }
    // A word with blanks is quoted from its start, for the reader.
    if (word.find_first_of(" \t") != std::string::npos)
      toggle();
    std::size_t backslashes = 0;
    for (std::size_t i = 0; i < word.size(); ++i) {
      const char c = word[i];
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      if (c == '"') {
        // 2n+1 backslashes and the quote: n backslashes and a quote for the
        // program; for cmd, a quote like any other.
        out.append(2 * backslashes + 1, '\\');
        out += '"';
        cmdQuoted = !cmdQuoted;
        backslashes = 0;
        continue;
      }
      out.append(backslashes, '\\');
      backslashes = 0;
      if (!cmdQuoted && std::strchr("&|<>^()", c) != nullptr)
        out += '^';
      out += c;
    }
    // Backslashes at the end stand before the closing quote, if there is one.
    out.append(crtQuoted ? 2 * backslashes : backslashes, '\\');
    if (crtQuoted)
      toggle();
  }
  *line = std::move(out);
  return true;
}

bool holdsForBatchFile(std::string_view cmdLineText) {
  return cmdLineText.find('%') == std::string_view::npos;
}

}  // namespace KVEL
