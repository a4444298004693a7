// Locale-independent base-10 text-to-number conversions used by the numeric
// options: leading white space skipped, optional sign, digits up to the first
// character that cannot continue the number (the rest is ignored).
#ifndef KVEL_OPTIONS_DECIMAL_CONVERSION_H
#define KVEL_OPTIONS_DECIMAL_CONVERSION_H

#include <string>

namespace KVEL {

enum class DecimalConversion { converted, invalid, outOfRange };

// Signed 32-bit conversion. value is written only when converted.
DecimalConversion convertDecimalInt(const std::string& text, int& value);

// Unsigned 32-bit conversion: a magnitude above 4294967295 is out of range;
// a leading minus negates the magnitude modulo 2^32 ("-1" gives 4294967295).
// value is written only when converted.
DecimalConversion convertDecimalUnsigned(const std::string& text, unsigned int& value);

// How many characters of text the conversions read: the white space, sign
// and digits of the number; 0 when text holds no number.
std::string::size_type decimalLength(const std::string& text);

}  // namespace KVEL

#endif
