// std::to_chars for double where the C++ library has none. The shortest digits come from
// JavaScript in the WebAssembly build; natively (where the tests compare it with std::to_chars)
// from a search over printf's correctly rounded %.*e and strtod. Either way the text around the
// digits, fixed or scientific, is made here as std::to_chars makes it.
#include "web/compat/std_compat.h"
#include "web/compat/shortest.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>
#endif
#include <string>

namespace {

struct Decimal {
    bool negative = false;
    std::string digits; // no leading or trailing zeros, at least one digit
    int exponent = 0;   // of the first digit: value = 0.d1d2... * 10^(exponent + 1)
};

// The digits of `text` ("-1.2345e-07") as a Decimal.
Decimal decimalOf(const char* text) {
    Decimal d;
    const char* p = text;
    if (*p == '-') {
        d.negative = true;
        ++p;
    }
    for (; *p != 'e' && *p != '\0'; ++p)
        if (*p != '.') d.digits += *p;
    d.exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

#ifdef __EMSCRIPTEN__
// JavaScript's own shortest round-trip digits (toExponential without a count): the same digits as
// std::to_chars (fewest digits, then closest to the value, ties to even), and some hundred times
// faster than the printf search below, whose C library formats through software long doubles.
EM_JS(int, co2_js_exponential, (double value, char* out, int size), {
    const text = value.toExponential();
    stringToUTF8(text, out, size);
    return lengthBytesUTF8(text);
});

Decimal shortestDecimal(double value) {
    char buffer[64];
    co2_js_exponential(value, buffer, sizeof buffer);
    return decimalOf(buffer);
}
#else
// A decimal of `precision` + 1 significant digits that reads back as `value`, if there is one.
// The correctly rounded digits come first; where a power of two has a narrower gap below than
// above, they may miss while their neighbour one unit up or down in the last place reads back.
std::optional<Decimal> digitsOf(double value, int precision) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", precision, value);
    if (std::strtod(buffer, nullptr) == value) return decimalOf(buffer);
    const Decimal rounded = decimalOf(buffer);
    long long mantissa = std::atoll(rounded.digits.c_str());
    for (std::size_t i = rounded.digits.size(); i < static_cast<std::size_t>(precision) + 1; ++i)
        mantissa *= 10;
    for (const long long step : {-1LL, 1LL}) {
        char candidate[64];
        std::snprintf(candidate, sizeof candidate, "%s%llde%d", rounded.negative ? "-" : "", mantissa + step,
                      rounded.exponent - precision);
        if (std::strtod(candidate, nullptr) != value) continue;
        Decimal d;
        d.negative = rounded.negative;
        d.digits = std::to_string(mantissa + step);
        d.exponent = rounded.exponent - precision + static_cast<int>(d.digits.size()) - 1;
        while (d.digits.size() > 1 && d.digits.back() == '0')
            d.digits.pop_back();
        return d;
    }
    return std::nullopt;
}

// The fewest significant digits that read back as `value`. A length that has such a decimal
// implies every longer one has too, so the length is found by bisection: a grid's row prints
// dozens of numbers, and trying all seventeen lengths made the page's grids several times slower.
Decimal shortestDecimal(double value) {
    int low = 0, high = 16; // 17 significant digits always read back
    std::optional<Decimal> best = digitsOf(value, high);
    while (low < high) {
        const int middle = (low + high) / 2;
        if (auto d = digitsOf(value, middle)) {
            best = std::move(d);
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    if (best) return *best;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.16e", value);
    return decimalOf(buffer);
}
#endif

std::string scientific(const Decimal& d) {
    std::string s = d.negative ? "-" : "";
    s += d.digits[0];
    if (d.digits.size() > 1) s += "." + d.digits.substr(1);
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "e%c%02d", d.exponent < 0 ? '-' : '+', std::abs(d.exponent));
    return s + exponent;
}

// Without a fractional part the fixed form shows the double's exact integer value, as libstdc++
// does (3256937983961036488704, not the shortest digits padded with zeros).
std::string fixed(const Decimal& d, double value) {
    std::string s = d.negative ? "-" : "";
    const int integerDigits = d.exponent + 1;
    if (integerDigits <= 0)
        return s + "0." + std::string(static_cast<std::size_t>(-integerDigits), '0') + d.digits;
    const auto n = static_cast<std::size_t>(integerDigits);
    if (d.digits.size() <= n) {
        char buffer[400];
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
        return buffer;
    }
    return s + d.digits.substr(0, n) + "." + d.digits.substr(n);
}

[[maybe_unused]] std::to_chars_result put(char* first, char* last, const std::string& text) {
    if (static_cast<std::size_t>(last - first) < text.size()) return {last, std::errc::value_too_large};
    std::memcpy(first, text.data(), text.size());
    return {first + text.size(), std::errc()};
}

std::string special(double value) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    return value < 0 ? "-inf" : "inf";
}

} // namespace

namespace co2::web {

std::string shortestText(double value) {
    if (!std::isfinite(value)) return special(value);
    if (value == 0) return std::signbit(value) ? "-0" : "0";
    const Decimal d = shortestDecimal(value);
    std::string f = fixed(d, value);
    std::string e = scientific(d);
    return e.size() < f.size() ? e : f;
}

std::string shortestScientificText(double value) {
    if (!std::isfinite(value)) return special(value);
    if (value == 0) return std::signbit(value) ? "-0e+00" : "0e+00";
    return scientific(shortestDecimal(value));
}

std::string precisionText(double value, std::chars_format format, int precision) {
    if (!std::isfinite(value)) return special(value);
    const char* conversion = format == std::chars_format::scientific ? "%.*e"
                             : format == std::chars_format::fixed    ? "%.*f"
                                                                     : "%.*g";
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, conversion, precision, value);
    return buffer;
}

} // namespace co2::web

#ifdef __EMSCRIPTEN__
namespace std {

to_chars_result to_chars(char* first, char* last, double value) {
    return put(first, last, co2::web::shortestText(value));
}

// Only the shortest scientific form is used (and given); the others report that they are not.
to_chars_result to_chars(char* first, char* last, double value, chars_format format) {
    if (format != chars_format::scientific) return {first, errc::not_supported};
    return put(first, last, co2::web::shortestScientificText(value));
}

to_chars_result to_chars(char* first, char* last, double value, chars_format format, int precision) {
    return put(first, last, co2::web::precisionText(value, format, precision));
}

} // namespace std
#endif
