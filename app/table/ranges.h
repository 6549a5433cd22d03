// Number lists and start:stop:step ranges of the command line.
//
// A value list is comma-separated items, each a number or a range "start:stop:step" (stop is
// included when the steps land on it). Values are made so that each equals the double a user
// would get by typing its decimal text: a range of decimals is stepped in exact integer units of
// its finest decimal place and divided once, so 0:1:0.1 gives 0.3, not 0.30000000000000004.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/units.h"

namespace co2::table {

// Largest number of values one list may expand to; a typo in a step must not exhaust memory.
inline constexpr std::size_t kMaxListValues = 10'000'000;

struct ParseResult {
    std::vector<double> values;
    std::string error; // empty on success; otherwise says what is wrong, naming the bad item
};

// A decimal number: optional sign, digits with an optional point, optional exponent. Nothing
// else (no hex, no inf/nan, no spaces inside). Leading and trailing spaces are ignored.
std::optional<double> parseNumber(std::string_view text);

// Unit changes on the decimal text of a value (298.15 K is 25 C exactly; 0.3 MPa is 3 bar).
using co2::addDecimal;
using co2::shiftDecimal;

// Expands a value list; `what` names the option in error messages ("temperature").
ParseResult parseValueList(std::string_view text, std::string_view what);

} // namespace co2::table
