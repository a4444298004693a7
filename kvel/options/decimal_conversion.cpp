#include "kvel/options/decimal_conversion.h"

#include <cstdint>

namespace KVEL {

namespace {

// The white space of the "C" locale.
bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads [space][sign]digits. The magnitude saturates just above limit, so an
// arbitrarily long digit run cannot overflow; the caller compares with limit.
DecimalConversion scan(const std::string& text, std::uint64_t limit, bool& negative,
                       std::uint64_t& magnitude, std::string::size_type* end = nullptr) {
  std::string::size_type i = 0;
  const std::string::size_type n = text.size();
  while (i < n && isSpace(text[i])) ++i;
  negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= n || !isDigit(text[i])) return DecimalConversion::invalid;
  magnitude = 0;
  for (; i < n && isDigit(text[i]); ++i) {
    if (magnitude <= limit) magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
  }
  if (end != nullptr) *end = i;
  return DecimalConversion::converted;
}

}  // namespace

DecimalConversion convertDecimalInt(const std::string& text, int& value) {
  const std::uint64_t maxMagnitude = 2147483648ULL;  // |INT_MIN|
  bool negative = false;
  std::uint64_t magnitude = 0;
  const DecimalConversion result = scan(text, maxMagnitude, negative, magnitude);
  if (result != DecimalConversion::converted) return result;
  if (negative) {
    if (magnitude > maxMagnitude) return DecimalConversion::outOfRange;
    value = static_cast<int>(-static_cast<std::int64_t>(magnitude));
  } else {
    if (magnitude > maxMagnitude - 1) return DecimalConversion::outOfRange;
    value = static_cast<int>(magnitude);
  }
  return DecimalConversion::converted;
}

DecimalConversion convertDecimalUnsigned(const std::string& text, unsigned int& value) {
  const std::uint64_t maxMagnitude = 4294967295ULL;
  bool negative = false;
  std::uint64_t magnitude = 0;
  const DecimalConversion result = scan(text, maxMagnitude, negative, magnitude);
  if (result != DecimalConversion::converted) return result;
  if (magnitude > maxMagnitude) return DecimalConversion::outOfRange;
  const std::uint32_t low = static_cast<std::uint32_t>(magnitude);
  value = negative ? static_cast<std::uint32_t>(0U - low) : low;
  return DecimalConversion::converted;
}

std::string::size_type decimalLength(const std::string& text) {
  bool negative = false;
  std::uint64_t magnitude = 0;
  std::string::size_type end = 0;
  return scan(text, 0, negative, magnitude, &end) == DecimalConversion::converted ? end : 0;
}

}  // namespace KVEL
