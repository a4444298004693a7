// A strict reader of one JSON document, for the tests of KVEL_EXPLAIN=json
// where Python cannot be called (under Wine): the grammar of RFC 8259, UTF-8
// text throughout, no escape of a lone surrogate, nothing after the value.
#ifndef TESTS_KVEL_STRICT_JSON_H
#define TESTS_KVEL_STRICT_JSON_H

#include <cstddef>
#include <string>

namespace testsupport {

class StrictJson {
public:
  // True when text is one JSON document; otherwise false with the offset.
  static bool check(const std::string& text, std::string* err) {
    StrictJson reader(text);
    reader.blanks();
    if (!reader.value() || (reader.blanks(), reader.at_ != text.size())) {
      *err = "not strict JSON at offset " + std::to_string(reader.at_);
      return false;
    }
    return true;
  }

private:
  explicit StrictJson(const std::string& text) : text_(text) {}
  bool more() const { return at_ < text_.size(); }
  char peek() const { return more() ? text_[at_] : '\0'; }
  void blanks() {
    while (more() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
      ++at_;
  }
  bool literal(const char* word) {
    const std::string w(word);
    if (text_.compare(at_, w.size(), w) != 0)
      return false;
    at_ += w.size();
    return true;
  }
  bool value(int depth = 0) {
    if (depth > 64)
      return false;
    switch (peek()) {
      case '{':
        return object(depth);
      case '[':
        return array(depth);
      case '"':
        return string();
      case 't':
        return literal("true");
      case 'f':
        return literal("false");
      case 'n':
        return literal("null");
      default:
        return number();
    }
  }
  bool object(int depth) {
    ++at_;
    blanks();
    if (peek() == '}')
      return ++at_, true;
    for (;;) {
      blanks();
      if (peek() != '"' || !string())
        return false;
      blanks();
      if (peek() != ':')
        return false;
      ++at_;
      blanks();
      if (!value(depth + 1))
        return false;
      blanks();
      if (peek() == '}')
        return ++at_, true;
      if (peek() != ',')
        return false;
      ++at_;
    }
  }
  bool array(int depth) {
    ++at_;
    blanks();
    if (peek() == ']')
      return ++at_, true;
    for (;;) {
      blanks();
      if (!value(depth + 1))
        return false;
      blanks();
      if (peek() == ']')
        return ++at_, true;
      if (peek() != ',')
        return false;
      ++at_;
    }
  }
  bool digits() {
    const std::size_t start = at_;
    while (peek() >= '0' && peek() <= '9')
      ++at_;
    return at_ > start;
  }
  bool number() {
    if (peek() == '-')
      ++at_;
    if (peek() == '0')
      ++at_;
    else if (!digits())
      return false;
    if (peek() == '.' && (++at_, !digits()))
      return false;
    if (peek() == 'e' || peek() == 'E') {
      ++at_;
      if (peek() == '+' || peek() == '-')
        ++at_;
      if (!digits())
        return false;
    }
    return true;
  }
  unsigned hex4() {
    unsigned unit = 0;
    for (int k = 0; k < 4; ++k, ++at_) {
      const char c = peek();
      unit <<= 4;
      if (c >= '0' && c <= '9')
        unit |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        unit |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        unit |= static_cast<unsigned>(c - 'A' + 10);
      else
        return 0x110000;
    }
    return unit;
  }
  bool string() {
    ++at_;
    while (more()) {
      const unsigned char c = static_cast<unsigned char>(text_[at_]);
      if (c == '"')
        return ++at_, true;
      if (c < 0x20)
        return false;
      if (c == '\\') {
        ++at_;
        const char e = peek();
        if (e == 'u') {
          ++at_;
          const unsigned unit = hex4();
          if (unit > 0xFFFF || (unit >= 0xDC00 && unit <= 0xDFFF))
            return false;
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (!literal("\\u"))
              return false;
            const unsigned low = hex4();
            if (low < 0xDC00 || low > 0xDFFF)
              return false;
          }
          continue;
        }
        if (std::string("\"\\/bfnrt").find(e) == std::string::npos || e == '\0')
          return false;
        ++at_;
        continue;
      }
      if (c < 0x80) {
        ++at_;
        continue;
      }
      // UTF-8: shortest form, no surrogates, at most U+10FFFF.
      const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
      if (length == 0 || c > 0xF4 || at_ + length > text_.size())
        return false;
      unsigned point = c & (0xFF >> (length + 1));
      for (std::size_t k = 1; k < length; ++k) {
        const unsigned char t = static_cast<unsigned char>(text_[at_ + k]);
        if ((t & 0xC0) != 0x80)
          return false;
        point = (point << 6) | (t & 0x3F);
      }
      if ((length == 3 && (point < 0x800 || (point >= 0xD800 && point <= 0xDFFF))) ||
          (length == 4 && (point < 0x10000 || point > 0x10FFFF)))
        return false;
      at_ += length;
    }
    return false;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

}  // namespace testsupport

#endif
