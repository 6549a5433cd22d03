// The WebAssembly build's number text (its libc++ has no std::to_chars for double) against the
// native std::to_chars: the same characters for random bit patterns, powers of two (whose
// rounding interval is lopsided), subnormals, integers and the decimals users type.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "web/compat/shortest.h"

namespace {

std::string native(double x, bool scientific) {
    char buffer[400];
    const auto r = scientific
                       ? std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific)
                       : std::to_chars(buffer, buffer + sizeof buffer, x);
    return std::string(buffer, r.ptr);
}

double fromBits(std::uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

TEST(WebNumberText, EqualsToChars) {
    std::vector<double> xs = {0.1,
                              0.3,
                              1.4527788439279832,
                              100,
                              1e21,
                              1e22,
                              123456789012345680000.0,
                              5e-324,
                              2.2250738585072014e-308,
                              1.7976931348623157e308,
                              -0.0,
                              9007199254740993.0};
    for (int e = -1074; e <= 1023; ++e)
        xs.push_back(std::ldexp(1.0, e));
    for (int i = -3000; i <= 3000; ++i)
        xs.push_back(i / 100.0);
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 200000; ++i) {
        const double x = fromBits(random());
        if (std::isfinite(x)) xs.push_back(x);
    }
    int wrong = 0;
    for (const double x : xs) {
        for (const bool scientific : {false, true}) {
            const std::string got =
                scientific ? co2::web::shortestScientificText(x) : co2::web::shortestText(x);
            if (got != native(x, scientific) && ++wrong <= 10)
                ADD_FAILURE() << std::hexfloat << x << ": " << got << " instead of " << native(x, scientific);
        }
    }
    EXPECT_EQ(wrong, 0);
}

} // namespace
