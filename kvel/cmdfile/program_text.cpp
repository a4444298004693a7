#include "kvel/cmdfile/program_text.h"

namespace KVEL {

namespace {

bool isAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80)
      return false;
  }
  return true;
}

}  // namespace

std::size_t utf8SequenceLength(std::string_view text) {
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80)
    return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      low = 0xA0;  // no overlong form
    if (lead == 0xED)
      high = 0x9F;  // no surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      low = 0x90;
    if (lead == 0xF4)
      high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length)
    return 0;
  const unsigned char second = static_cast<unsigned char>(text[1]);
  if (second < low || second > high)
    return 0;
  for (std::size_t i = 2; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[i]);
    if (next < 0x80 || next > 0xBF)
      return 0;
  }
  return length;
}

bool isUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8SequenceLength(text.substr(i));
    if (length == 0)
      return false;
    i += length;
  }
  return true;
}

std::size_t characterLength(std::string_view text) {
  if (text.empty())
    return 0;
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  if (lead < 0x80)
    return 1;
  if (programCodePage() == kUtf8CodePage) {
    const std::size_t length = utf8SequenceLength(text);
    return length == 0 ? 1 : length;
  }
  return text.size() >= 2 && isDoubleByteLead(lead) ? 2 : 1;
}

std::size_t findAscii(std::string_view text, char c, std::size_t from) {
  // No byte of a UTF-8 sequence is an ASCII one.
  if (programCodePage() == kUtf8CodePage)
    return text.find(c, from);
  for (std::size_t i = from; i < text.size(); i += characterLength(text.substr(i))) {
    if (text[i] == c)
      return i;
  }
  return std::string_view::npos;
}

bool lineToProgramText(std::string_view line, bool marked, std::string& text, bool& converted,
                       std::string* err) {
  converted = false;
  const unsigned program = programCodePage();
  const unsigned legacy = legacyFileCodePage();
  // Every code page the programs run in holds ASCII as ASCII. Without an
  // ANSI code page (0) a line that is not UTF-8 keeps its bytes.
  if ((program == kUtf8CodePage && (marked || legacy == kUtf8CodePage || legacy == 0)) ||
      isAscii(line)) {
    return true;
  }
  const unsigned source = marked || isUtf8(line) ? kUtf8CodePage : legacy;
  if (source == program || source == 0)
    return true;
  std::u16string units;
  if (!codePageToUtf16(source, line, units)) {
    *err = "is neither UTF-8 nor text of code page " + std::to_string(source);
    return false;
  }
  text.clear();
  std::size_t failedAt = 0;
  std::string problem;
  if (!utf16ToProgramText(units.data(), units.size(), text, failedAt, &problem)) {
    *err = "holds a character that cannot be represented: " + problem;
    return false;
  }
  converted = true;
  return true;
}

}  // namespace KVEL
