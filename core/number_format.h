// Picture templates: one number and one template in, the text to print out.
//
// A template is literal text around numeric fields. In a field "#" is a digit position and
// "." the decimal point; "," (thousands separator), a leading "+", a trailing "+" or "-",
// "**" (star fill), "$$" (floating dollar), "**$" and "^^^^"/"^^^^^" (exponent form) are the
// other picture characters. "_" makes the next character literal. "&", "!" and "\  \" are text
// fields: meeting one where the number should go raises error 13.
//
// The number is first written in decimal digits by the C library (256 significant digits for a
// double, 255 fraction digits for an extended value) and then rounded once, half away from
// zero, on those digits. A value too wide for its field is never cut: the field is widened and
// marked with a leading "%".
//
// Failures are raised through core::raiseError; the text appended before the failure is still
// returned, so the caller prints it as it would any other. While an error is pending the calls
// do nothing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/math.h"

namespace core {

struct FormattedNumber {
    std::string text;     // literal text and the formatted field
    std::size_t next = 0; // template position of the next field, 0 when the template was used up
};

// Formats a stored double. `pos` is where the scan starts (the calculator always passes 0).
FormattedNumber formatDouble(std::string_view picture, double value, std::size_t pos = 0);

// Formats an extended value (one formed from an exponential at print time). Its decimal form
// keeps every integer digit, so a value of 10^769 or more (over 1024 digits) raises error 5.
FormattedNumber formatExtended(std::string_view picture, ext value, std::size_t pos = 0);

// Appending forms: append to `out` and return the position of the next field (0 at the end).
std::size_t formatDouble(std::string_view picture, std::size_t pos, double value, std::string& out);
std::size_t formatExtended(std::string_view picture, std::size_t pos, ext value, std::string& out);

// The most digits the working record holds.
inline constexpr std::size_t kMaxFormatDigits = 1024;

} // namespace core
