#include "app/table/ranges.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace co2::table {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// A decimal number as an integer count of units of 10^-scale, when it fits exactly in a double's
// 53-bit mantissa; this is what lets ranges step without accumulating binary rounding.
struct Decimal {
    std::int64_t units = 0;
    int scale = 0; // value = units / 10^scale, scale >= 0
};

constexpr std::int64_t kExactLimit = std::int64_t{1} << 53;
constexpr int kMaxScale = 22; // 10^22 is the largest power of ten a double holds exactly

bool isValidSyntax(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

// Only called on text that passed isValidSyntax.
std::optional<Decimal> toDecimal(std::string_view s) {
    bool negative = false;
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
    std::int64_t units = 0;
    int scale = 0;
    bool afterPoint = false;
    for (; i < s.size() && s[i] != 'e' && s[i] != 'E'; ++i) {
        if (s[i] == '.') {
            afterPoint = true;
            continue;
        }
        const int digit = s[i] - '0';
        if (units == 0 && digit == 0) {
            if (afterPoint) ++scale; // leading zeros after the point only move the scale
            continue;
        }
        if (units > (kExactLimit - digit) / 10) return std::nullopt;
        units = units * 10 + digit;
        if (afterPoint) ++scale;
    }
    long exponent = 0;
    if (i < s.size()) {
        exponent = std::strtol(std::string(s.substr(i + 1)).c_str(), nullptr, 10);
        if (exponent > 400 || exponent < -400) return std::nullopt;
    }
    long newScale = scale - exponent;
    while (newScale < 0) {
        if (units > kExactLimit / 10) return std::nullopt;
        units *= 10;
        ++newScale;
    }
    if (newScale > kMaxScale) return std::nullopt;
    return Decimal{negative ? -units : units, static_cast<int>(newScale)};
}

std::optional<std::int64_t> rescale(const Decimal& d, int scale) {
    std::int64_t units = d.units;
    for (int s = d.scale; s < scale; ++s) {
        if (units > kExactLimit / 10 || units < -kExactLimit / 10) return std::nullopt;
        units *= 10;
    }
    return units;
}

std::string quoted(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

// Appends the values of one range item; returns an error text or "".
std::string expandRange(std::string_view item, std::string_view startText, std::string_view stopText,
                        std::string_view stepText, std::vector<double>& out) {
    const auto start = parseNumber(startText);
    const auto stop = parseNumber(stopText);
    const auto step = parseNumber(stepText);
    if (!start || !stop || !step) {
        std::string_view bad = !start ? startText : !stop ? stopText : stepText;
        return "range " + quoted(item) + ": " + quoted(trim(bad)) + " is not a number";
    }
    if (*step == 0) return "range " + quoted(item) + ": the step is 0";
    if ((*stop > *start && *step < 0) || (*stop<*start&& * step> 0))
        return "range " + quoted(item) + ": the step " + std::string(trim(stepText)) +
               " does not lead from " + std::string(trim(startText)) + " to " + std::string(trim(stopText));

    const std::size_t room = kMaxListValues - out.size();
    const auto tooMany = [&] {
        return "range " + quoted(item) + " gives more than " + std::to_string(kMaxListValues) + " values";
    };

    const auto a = toDecimal(trim(startText));
    const auto b = toDecimal(trim(stopText));
    const auto c = toDecimal(trim(stepText));
    if (a && b && c) {
        const int scale = std::max({a->scale, b->scale, c->scale});
        const auto a0 = rescale(*a, scale);
        const auto b0 = rescale(*b, scale);
        const auto c0 = rescale(*c, scale);
        if (a0 && b0 && c0) {
            const std::int64_t count = (*b0 - *a0) / *c0 + 1; // same signs, checked above
            if (count < 0 || static_cast<std::uint64_t>(count) > room) return tooMany();
            const double unit = std::pow(10.0, scale); // exact for scale <= 22
            for (std::int64_t k = 0; k < count; ++k)
                out.push_back(static_cast<double>(*a0 + k * *c0) / unit);
            return "";
        }
    }
    // Too many significant digits for exact stepping: step in extended precision, with a little
    // slack so that a stop reached up to rounding is included.
    const long double span = (static_cast<long double>(*stop) - *start) / *step;
    if (!std::isfinite(span) || span + 1 > static_cast<long double>(room)) return tooMany();
    const auto count = static_cast<std::size_t>(std::floor(span * (1 + 1e-12L) + 1e-12L)) + 1;
    if (count > room) return tooMany();
    for (std::size_t k = 0; k < count; ++k)
        out.push_back(static_cast<double>(*start + static_cast<long double>(k) * *step));
    return "";
}

} // namespace

std::optional<double> parseNumber(std::string_view text) {
    const std::string s(trim(text));
    if (!isValidSyntax(s)) return std::nullopt;
    const double value = std::strtod(s.c_str(), nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

ParseResult parseValueList(std::string_view text, std::string_view what) {
    ParseResult result;
    const auto fail = [&](std::string message) {
        result.values.clear();
        result.error = std::string(what) + ": " + std::move(message);
        return result;
    };
    if (trim(text).empty()) return fail("no value given");
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = text.find(',', begin);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view item = trim(text.substr(begin, end - begin));
        if (item.empty()) return fail("empty item in " + quoted(text));
        const std::size_t colon1 = item.find(':');
        if (colon1 == std::string_view::npos) {
            const auto value = parseNumber(item);
            if (!value) return fail(quoted(item) + " is not a number");
            if (result.values.size() >= kMaxListValues)
                return fail("more than " + std::to_string(kMaxListValues) + " values");
            result.values.push_back(*value);
        } else {
            const std::size_t colon2 = item.find(':', colon1 + 1);
            if (colon2 == std::string_view::npos || item.find(':', colon2 + 1) != std::string_view::npos)
                return fail("range " + quoted(item) + " is not of the form start:stop:step");
            std::string error =
                expandRange(item, item.substr(0, colon1), item.substr(colon1 + 1, colon2 - colon1 - 1),
                            item.substr(colon2 + 1), result.values);
            if (!error.empty()) return fail(std::move(error));
        }
        begin = end + 1;
    }
    return result;
}

} // namespace co2::table
