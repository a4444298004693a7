// Text beyond ASCII that every front end must pass on unchanged, and the
// encodings a command file may be saved in.
#ifndef TESTS_SUPPORT_TEXT_SAMPLES_H
#define TESTS_SUPPORT_TEXT_SAMPLES_H

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct TextSample {
  const char* name;
  const char* text;  // UTF-8
};

inline void PrintTo(const TextSample& sample, std::ostream* os) { *os << sample.name; }

// A Latin letter with accent, Cyrillic, CJK and an emoji (outside the BMP).
inline const std::vector<TextSample>& textSamples() {
  static const std::vector<TextSample> samples = {
      {"Accented", "\xC3\xA9t\xC3\xA9"},
      {"Cyrillic", "\xD0\x96\xD1\x83\xD0\xBA"},
      {"Cjk", "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"Emoji", "\xF0\x9F\x98\x80"},
  };
  return samples;
}

// True where the shell's Tcl 8.6 cannot open a path holding this text: on
// Windows, a character outside the Basic Multilingual Plane (4 bytes in UTF-8).
inline bool shellCannotOpen(const std::string& utf8) {
#ifdef _WIN32
  for (char c : utf8)
    if (static_cast<unsigned char>(c) >= 0xF0)
      return true;
#else
  (void)utf8;
#endif
  return false;
}

// UTF-8 text as UTF-16 with its byte-order mark, little or big endian.
inline std::string utf16WithMark(const std::string& utf8, bool bigEndian) {
  std::vector<unsigned> units;
  for (std::string::size_type i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    unsigned code = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += extra + 1;
    if (code >= 0x10000) {
      units.push_back(0xD800 + ((code - 0x10000) >> 10));
      units.push_back(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      units.push_back(code);
    }
  }
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (unsigned u : units) {
    char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
    out += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return out;
}

}  // namespace testsupport

#endif
