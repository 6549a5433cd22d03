// Number texts as std::to_chars gives them, over the C library's printf and strtod: what the
// WebAssembly build's std::to_chars for double is made of (its libc++ has none).
#pragma once

#include <charconv>
#include <string>

namespace co2::web {

// The shortest text that reads back as `value`: fixed or scientific, whichever is shorter.
std::string shortestText(double value);
// The same digits always in scientific form ("1.5e+01").
std::string shortestScientificText(double value);
// As printf's %.*e, %.*f or %.*g (chars_format::general).
std::string precisionText(double value, std::chars_format format, int precision);

} // namespace co2::web
