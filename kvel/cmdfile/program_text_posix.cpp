// The programs' text is UTF-8, which holds every character; command-file
// lines keep their bytes.
#include "kvel/cmdfile/program_text.h"

namespace KVEL {

bool utf16ToProgramText(const char16_t* units, std::size_t count, std::string& text, std::size_t&,
                        std::string*) {
  text.reserve(text.size() + count + count / 2);
  for (std::size_t i = 0; i < count; ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else if (c < 0x800) {
      text += static_cast<char>(0xC0 | (c >> 6));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      text += static_cast<char>(0xE0 | (c >> 12));
      text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      text += static_cast<char>(0xF0 | (c >> 18));
      text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return true;
}

unsigned programCodePage() { return kUtf8CodePage; }

// Linux keeps the bytes of every line: a line that is not UTF-8 stays as it is.
unsigned legacyFileCodePage() { return kUtf8CodePage; }

bool isDoubleByteLead(unsigned char) { return false; }

bool codePageToUtf16(unsigned codePage, std::string_view bytes, std::u16string& units) {
  if (codePage != kUtf8CodePage || !isUtf8(bytes))
    return false;
  units.clear();
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
      c = (c << 6) | (bytes[i + k] & 0x3F);
    if (c >= 0x10000) {
      units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      units += static_cast<char16_t>(c);
    }
    i += length;
  }
  return true;
}

}  // namespace KVEL
