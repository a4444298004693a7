#include "kvel/json_text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "kvel/cmdfile/program_text.h"
#include "kvel/short_text_bytes.h"

namespace KVEL {

namespace {

// printableAsciiRun one byte at a time from i, where the quick looks stop.
std::size_t runFrom(const char* p, std::size_t i, std::size_t size, char a, char b) {
  for (; i < size; ++i) {
    const char c = p[i];
    if (c < 0x20 || c >= 0x7F || c == a || c == b)
      break;
  }
  return i;
}

#ifndef __SSE2__
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// Whether a word of bytes, none with its high bit set, holds one below n
// (n at most 0x80), or one equal to c.
bool holdsBelow(std::uint64_t word, unsigned n) { return ((word - kOnes * n) & ~word & kHighs) != 0; }
bool holds(std::uint64_t word, unsigned char c) {
  const std::uint64_t x = word ^ (kOnes * c);
  return ((x - kOnes) & ~x & kHighs) != 0;
}
#endif

void appendHexString(std::string& out, std::string_view text) {
  out += '"';
  appendJsonHexText(out, text);
  out += '"';
}

}  // namespace

#ifdef __SSE2__

std::size_t printableAsciiRun(std::string_view text, char a, char b) {
  // Sixteen bytes at a time: a byte goes as it is unless it is below 0x20
  // or above 0x7E (negative as a signed byte) or DEL or a or b.
  const char* const p = text.data();
  const std::size_t size = text.size();
  const __m128i space = _mm_set1_epi8(0x20);
  const __m128i del = _mm_set1_epi8(0x7F);
  const __m128i va = _mm_set1_epi8(a);
  const __m128i vb = _mm_set1_epi8(b);
  const auto others = [&](__m128i v) {
    const __m128i bad = _mm_or_si128(
        _mm_or_si128(_mm_cmplt_epi8(v, space), _mm_cmpeq_epi8(v, del)),
        _mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)));
    return static_cast<unsigned>(_mm_movemask_epi8(bad));
  };
  std::size_t i = 0;
  if (size >= 16) {
    for (; i + 16 <= size; i += 16) {
      const unsigned found =
          others(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
      if (found != 0)
        return i + static_cast<std::size_t>(__builtin_ctz(found));
    }
    if (i == size)
      return size;
    // The last bytes, in sixteen that end with the text: those before i
    // are known to go as they are.
    const unsigned found =
        others(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - 16)));
    return found == 0 ? size : size - 16 + static_cast<std::size_t>(__builtin_ctz(found));
  }
  if (size == 0)
    return 0;
  // Shorter: all of it looked at once.
  if (others(shortTextBytes(p, size)) == 0)
    return size;
  return runFrom(p, i, size, a, b);
}

#else

std::size_t printableAsciiRun(std::string_view text, char a, char b) {
  const char* const p = text.data();
  const std::size_t size = text.size();
  const unsigned char ua = static_cast<unsigned char>(a);
  const unsigned char ub = static_cast<unsigned char>(b);
  const auto plain = [ua, ub](std::uint64_t word) {
    return (word & kHighs) == 0 && !holdsBelow(word, 0x20) && !holds(word, 0x7F) &&
           !holds(word, ua) && !holds(word, ub);
  };
  std::uint64_t word;
  if (size < 8) {
    // Most words of a command line are short: one look at a word padded
    // with copies of the first byte, which change nothing.
    if (size == 0)
      return 0;
    word = kOnes * static_cast<unsigned char>(p[0]);
    std::memcpy(&word, p, size);
    if (plain(word))
      return size;
  }
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::memcpy(&word, p + i, sizeof word);
    if (!plain(word))
      break;
  }
  if (i < size && i + 8 > size && size >= 8) {
    // The last bytes, in a word that ends with the text.
    std::memcpy(&word, p + size - 8, sizeof word);
    if (plain(word))
      return size;
  }
  return runFrom(p, i, size, a, b);
}

#endif

void appendJsonHex(std::string& out, std::string_view text) { appendHexString(out, text); }

void appendJsonHexText(std::string& out, std::string_view text) {
  static const char digits[] = "0123456789abcdef";
  const std::size_t start = out.size();
  out.resize(start + 2 * text.size());
  char* at = &out[start];
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    *at++ = digits[u >> 4];
    *at++ = digits[u & 0xF];
  }
}

void appendInQuotes(std::string& out, std::string_view text) {
  // Appended, not resized and filled: the buffer is not cleared first.
  out += '"';
  out.append(text.data(), text.size());
  out += '"';
}

bool appendJsonString(std::string& out, std::string_view text) {
  if (printableAsciiRun(text, '"', '\\') == text.size()) {
    appendInQuotes(out, text);  // the common case, in one step
    return true;
  }
  out += '"';
  const bool utf8 = appendJsonText(out, text);
  out += '"';
  return utf8;
}

bool appendJsonText(std::string& out, std::string_view text) {
  bool utf8 = true;
  for (std::size_t i = 0; i < text.size();) {
    // A run that goes as it is, appended at once.
    const std::size_t plain = i + printableAsciiRun(text.substr(i), '"', '\\');
    if (plain != i) {
      out.append(text.data() + i, plain - i);
      i = plain;
      if (i == text.size())
        break;
    }
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t length = utf8SequenceLength(text.substr(i));
      if (length == 0) {
        out += "\xEF\xBF\xBD";  // U+FFFD
        utf8 = false;
        ++i;
      } else if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(text[i + 1]));
        out += escape;  // a C1 control, kept from a terminal that shows the document
        i += 2;
      } else {
        out.append(text.data() + i, length);
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  return utf8;
}

void appendJsonField(std::string& out, std::string_view name, std::string_view text) {
  // The names are the account's own, which JSON holds as they are.
  if (printableAsciiRun(text, '"', '\\') == text.size()) {
    char head[32];
    if (name.size() + 4 <= sizeof head) {
      head[0] = '"';
      std::memcpy(head + 1, name.data(), name.size());
      std::memcpy(head + 1 + name.size(), "\":\"", 3);
      out.append(head, name.size() + 4);
    } else {
      out += '"';
      out.append(name.data(), name.size());
      out += "\":\"";
    }
    out.append(text.data(), text.size());
    out += '"';
    return;
  }
  out += '"';
  out.append(name.data(), name.size());
  out += "\":";
  if (appendJsonString(out, text))
    return;
  out += ",\"";
  out.append(name.data(), name.size());
  out += "_hex\":";
  appendHexString(out, text);
}

void appendJsonArray(std::string& out, std::string_view name,
                     const std::vector<std::string>& texts) {
  appendJsonString(out, name);
  out += ":[";
  bool utf8 = true;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i != 0)
      out += ',';
    utf8 = appendJsonString(out, texts[i]) && utf8;
  }
  out += ']';
  if (utf8)
    return;
  out += ',';
  appendJsonString(out, std::string(name) + "_hex");
  out += ":[";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i != 0)
      out += ',';
    appendHexString(out, texts[i]);
  }
  out += ']';
}

}  // namespace KVEL
