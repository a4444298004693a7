#include "kvel/json_text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "kvel/cmdfile/program_text.h"

namespace KVEL {

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

// Whether a word of bytes, none with its high bit set, holds one below n
// (n at most 0x80), or one equal to c.
bool holdsBelow(std::uint64_t word, unsigned n) { return ((word - kOnes * n) & ~word & kHighs) != 0; }
bool holds(std::uint64_t word, unsigned char c) {
  const std::uint64_t x = word ^ (kOnes * c);
  return ((x - kOnes) & ~x & kHighs) != 0;
}

void appendHexString(std::string& out, std::string_view text) {
  out += '"';
  appendJsonHexText(out, text);
  out += '"';
}

}  // namespace

std::size_t printableAsciiRun(std::string_view text, char a, char b) {
  const char* const p = text.data();
  const std::size_t size = text.size();
  const unsigned char ua = static_cast<unsigned char>(a);
  const unsigned char ub = static_cast<unsigned char>(b);
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + i, sizeof word);
    if ((word & kHighs) != 0 || holdsBelow(word, 0x20) || holds(word, 0x7F) || holds(word, ua) ||
        holds(word, ub))
      break;
  }
  for (; i < size; ++i) {
    const char c = p[i];
    if (c < 0x20 || c >= 0x7F || c == a || c == b)
      break;
  }
  return i;
}

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
  const std::size_t at = out.size();
  out.resize(at + text.size() + 2);
  char* const to = &out[at];
  to[0] = '"';
  std::memcpy(to + 1, text.data(), text.size());
  to[text.size() + 1] = '"';
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
    const std::size_t at = out.size();
    out.resize(at + name.size() + text.size() + 5);
    char* to = &out[at];
    *to++ = '"';
    std::memcpy(to, name.data(), name.size());
    to += name.size();
    *to++ = '"';
    *to++ = ':';
    *to++ = '"';
    std::memcpy(to, text.data(), text.size());
    to[text.size()] = '"';
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
