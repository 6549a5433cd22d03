// The units a table may be written in: one choice per kind of quantity (pressure, density,
// temperature), applied to every quantity of that kind, so that no row mixes MPa and bar. The
// quantities keep the report's units (MPa, g/cm³, °C); a unit here is a view of them.
//
// Conversions by a power of ten or by 273.15 K are done on the value's shortest decimal text, not
// in binary: 1.1 MPa is 11 bar (not 11.000000000000002), 25 °C is 298.15 K, and a value typed in
// one unit is the double the same quantity typed in the other gives. psi is not a decimal multiple
// of the pascal; it is converted in extended precision and rounded once.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace co2 {

// ---- decimal arithmetic on a double's shortest text ---------------------------------------------

namespace detail {

// A finite double as digits * 10^exponent, from its shortest round-trip text.
struct DecimalText {
    std::int64_t digits = 0;
    int exponent = 0;
};

inline std::optional<DecimalText> decimalOf(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    char buffer[40];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view text(buffer, static_cast<std::size_t>(r.ptr - buffer));
    const std::size_t e = text.find('e');
    DecimalText d;
    bool negative = false;
    int fraction = 0;
    bool afterPoint = false;
    for (char ch : text.substr(0, e)) {
        if (ch == '-') {
            negative = true;
        } else if (ch == '.') {
            afterPoint = true;
        } else {
            d.digits = d.digits * 10 + (ch - '0'); // at most 17 digits
            fraction += afterPoint ? 1 : 0;
        }
    }
    d.exponent = std::atoi(std::string(text.substr(e + 1)).c_str()) - fraction;
    if (negative) d.digits = -d.digits;
    return d;
}

inline double fromDecimal(std::int64_t digits, int exponent) {
    const std::string text = std::to_string(digits) + "e" + std::to_string(exponent);
    return std::strtod(text.c_str(), nullptr);
}

// a * 10^k when it fits in 18 decimal digits.
inline std::optional<std::int64_t> timesPowerOfTen(std::int64_t a, int k) {
    constexpr std::int64_t kLimit = 1'000'000'000'000'000'000; // 10^18
    for (int i = 0; i < k; ++i) {
        if (a >= kLimit / 10 || a <= -kLimit / 10) return std::nullopt;
        a *= 10;
    }
    return a;
}

} // namespace detail

// value + units * 10^-scale, on the decimal text; plain arithmetic for values with too many digits.
inline double addDecimal(double value, std::int64_t units, int scale) {
    const auto d = detail::decimalOf(value);
    if (d) {
        const int common = std::min(d->exponent, -scale);
        const auto a = detail::timesPowerOfTen(d->digits, d->exponent - common);
        const auto b = detail::timesPowerOfTen(units, -scale - common);
        if (a && b) return detail::fromDecimal(*a + *b, common);
    }
    return static_cast<double>(static_cast<long double>(value) +
                               static_cast<long double>(units) / std::pow(10.0L, scale));
}

// value * 10^exponent, on the decimal text.
inline double shiftDecimal(double value, int exponent) {
    const auto d = detail::decimalOf(value);
    if (!d) return value * std::pow(10.0, exponent);
    return detail::fromDecimal(d->digits, d->exponent + exponent);
}

// ---- the unit choices ---------------------------------------------------------------------------

enum class Dimension : std::uint8_t { none, pressure, density, temperature };

struct UnitInfo {
    Dimension dimension;
    std::string_view name;   // what --pressure-unit and units= take: "kg/m3"
    std::string_view symbol; // what headers and unit fields show: "kg/m³"
    // From the report's unit (MPa, g/cm³, °C): value * 10^decimalShift + offset / 100, or, when
    // factor is not 0, value * factor.
    int decimalShift;
    std::int64_t offsetHundredths;
    long double factor;
};

// 1 psi = 0.45359237 kg * 9.80665 m/s² / (0.0254 m)², exactly 6894.757293168361336722... Pa.
inline constexpr long double kPsiPerMPa = 1e6L / (0.45359237L * 9.80665L / (0.0254L * 0.0254L));

// The first unit of each dimension is the report's own.
inline constexpr UnitInfo kUnits[] = {
    {Dimension::pressure, "MPa", "MPa", 0, 0, 0},    {Dimension::pressure, "bar", "bar", 1, 0, 0},
    {Dimension::pressure, "kPa", "kPa", 3, 0, 0},    {Dimension::pressure, "psi", "psi", 0, 0, kPsiPerMPa},
    {Dimension::density, "g/cm3", "g/cm³", 0, 0, 0}, {Dimension::density, "kg/m3", "kg/m³", 3, 0, 0},
    {Dimension::temperature, "C", "°C", 0, 0, 0},    {Dimension::temperature, "K", "K", 0, 27315, 0},
};

// One unit per dimension; the defaults are the report's.
struct Units {
    const UnitInfo* pressure = &kUnits[0];
    const UnitInfo* density = &kUnits[4];
    const UnitInfo* temperature = &kUnits[6];

    const UnitInfo* of(Dimension d) const {
        switch (d) {
        case Dimension::pressure:
            return pressure;
        case Dimension::density:
            return density;
        case Dimension::temperature:
            return temperature;
        case Dimension::none:
            break;
        }
        return nullptr;
    }
    bool kelvin() const { return temperature->offsetHundredths != 0; }
};

// The dimension of a quantity, from its unit in the report. ln_kH ("-") has none: it is the
// logarithm of the Henry constant in MPa whatever the table's pressure unit.
constexpr Dimension dimensionOf(std::string_view reportUnit) {
    if (reportUnit == "MPa") return Dimension::pressure;
    if (reportUnit == "g/cm³") return Dimension::density;
    if (reportUnit == "°C") return Dimension::temperature;
    return Dimension::none;
}

// The unit of `dimension` named `name`, or nullptr.
constexpr const UnitInfo* unitNamed(Dimension dimension, std::string_view name) {
    for (const UnitInfo& u : kUnits)
        if (u.dimension == dimension && u.name == name) return &u;
    return nullptr;
}

// "MPa, bar, kPa, psi": the names of a dimension's units, for messages and help.
inline std::string unitNames(Dimension dimension, std::string_view separator = ", ") {
    std::string names;
    for (const UnitInfo& u : kUnits)
        if (u.dimension == dimension) (names += names.empty() ? "" : separator) += u.name;
    return names;
}

// A value in the report's unit, in `unit`.
inline double toUnit(double value, const UnitInfo& unit) {
    if (unit.factor != 0) return static_cast<double>(value * unit.factor);
    if (unit.offsetHundredths != 0) return addDecimal(value, unit.offsetHundredths, 2);
    return unit.decimalShift != 0 ? shiftDecimal(value, unit.decimalShift) : value;
}

// A value given in `unit`, in the report's unit.
inline double fromUnit(double value, const UnitInfo& unit) {
    if (unit.factor != 0) return static_cast<double>(value / unit.factor);
    if (unit.offsetHundredths != 0) return addDecimal(value, -unit.offsetHundredths, 2);
    return unit.decimalShift != 0 ? shiftDecimal(value, -unit.decimalShift) : value;
}

} // namespace co2
