// The programs' text is the process code page (CP_ACP). Where that is not
// UTF-8, the conversion asks for no best-fit mapping and reports a character
// replaced by the default one, so that a character the code page cannot
// hold is refused instead of becoming "?" or a look-alike. A command-file
// line that is not UTF-8 is read in the system's ANSI code page.
#include "kvel/cmdfile/program_text.h"

#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace KVEL {

namespace {

// The number of bytes the units give, 0 when a character cannot be held.
int convert(const wchar_t* units, int count, char* out, int room) {
  if (GetACP() == CP_UTF8) {
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, units, count, out, room, nullptr,
                               nullptr);
  }
  BOOL usedDefault = FALSE;
  const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, out, room,
                                        nullptr, &usedDefault);
  return usedDefault ? 0 : bytes;
}

}  // namespace

bool utf16ToProgramText(const char16_t* units, std::size_t count, std::string& text,
                        std::size_t& failedAt, std::string* err) {
  if (count == 0)
    return true;
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(units);
  const int length = count > static_cast<std::size_t>(INT_MAX) ? 0 : static_cast<int>(count);
  const int bytes = length == 0 ? 0 : convert(wide, length, nullptr, 0);
  if (bytes > 0) {
    const std::size_t start = text.size();
    text.resize(start + static_cast<std::size_t>(bytes));
    if (convert(wide, length, &text[start], bytes) == bytes)
      return true;
    text.resize(start);
  }
  // Find the first character that cannot be held, to name it.
  for (std::size_t i = 0; i < count; ++i) {
    const bool pair = units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < count;
    const int width = pair ? 2 : 1;
    if (convert(wide + i, width, nullptr, 0) == 0) {
      const unsigned long code =
          pair ? 0x10000ul + ((units[i] - 0xD800ul) << 10) + (units[i + 1] - 0xDC00ul) : units[i];
      char name[64];
      std::snprintf(name, sizeof name, "U+%04lX is not in code page %u", code, GetACP());
      failedAt = i;
      *err = name;
      return false;
    }
    if (pair)
      ++i;
  }
  failedAt = 0;
  *err = "the text cannot be converted to code page " + std::to_string(GetACP());
  return false;
}

unsigned programCodePage() { return GetACP(); }

// GetACP() gives 65001 under the UTF-8 manifest; the locale still names the
// code page the system gives programs without it.
unsigned legacyFileCodePage() {
  static const unsigned page = [] {
    wchar_t digits[8] = {};
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, digits, 8) == 0)
      return static_cast<unsigned>(GetACP());
    return static_cast<unsigned>(std::wcstoul(digits, nullptr, 10));
  }();
  return page;
}

bool isDoubleByteLead(unsigned char byte) { return IsDBCSLeadByteEx(GetACP(), byte) != 0; }

bool codePageToUtf16(unsigned codePage, std::string_view bytes, std::u16string& units) {
  units.clear();
  if (bytes.empty())
    return true;
  if (bytes.size() > static_cast<std::size_t>(INT_MAX))
    return false;
  const int length = static_cast<int>(bytes.size());
  const int count =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (count <= 0)
    return false;
  units.resize(static_cast<std::size_t>(count));
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length,
                             reinterpret_cast<wchar_t*>(&units[0]), count) == count;
}

}  // namespace KVEL
