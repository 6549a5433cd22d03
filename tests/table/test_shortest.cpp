// writeShortest against the C++ library's own plain std::to_chars (libstdc++), a separate
// implementation of the same shortest round-trip text, over edge cases and pseudo-random doubles.
#include "app/table/shortest.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <string_view>

namespace co2::table {
namespace {

// Compares writeShortest with the plain std::to_chars it stands in for, keeping a few examples of
// any difference for the failure message.
class Comparison {
  public:
    void check(double value) {
        char expected[64];
        char actual[kShortestBufferSize + 8];
        std::memset(actual + kShortestBufferSize, '#', 8); // must stay untouched
        const auto r = std::to_chars(expected, expected + sizeof expected, value);
        const char* end = writeShortest(actual, value);
        ++count_;
        const std::string_view want(expected, static_cast<std::size_t>(r.ptr - expected));
        const std::string_view got(actual, static_cast<std::size_t>(end - actual));
        if (want == got && got.size() <= kShortestMaxLength &&
            std::string_view(actual + kShortestBufferSize, 8) == "########")
            return;
        if (++differences_ <= 5) {
            char bits[24];
            *std::to_chars(bits, bits + sizeof bits, std::bit_cast<std::uint64_t>(value), 16).ptr = '\0';
            examples_ += "\n  0x" + std::string(bits) + ": to_chars " + std::string(want) + ", got " +
                         std::string(got);
        }
    }
    void checkWithNeighbours(double value) {
        check(value);
        check(std::nextafter(value, -std::numeric_limits<double>::infinity()));
        check(std::nextafter(value, std::numeric_limits<double>::infinity()));
        check(-value);
    }
    void expectNoDifference() const {
        EXPECT_GT(count_, 0u);
        EXPECT_EQ(differences_, 0u) << "of " << count_ << " values" << examples_;
    }

  private:
    std::size_t count_ = 0;
    std::size_t differences_ = 0;
    std::string examples_;
};

double fromBits(std::uint64_t bits) {
    return std::bit_cast<double>(bits);
}

TEST(Shortest, EdgeCasesMatchToChars) {
    Comparison c;
    using limits = std::numeric_limits<double>;
    for (double v :
         {0.0, limits::denorm_min(), limits::min(), limits::max(), limits::epsilon(), limits::infinity(),
          limits::quiet_NaN(), fromBits(0x000FFFFFFFFFFFFF) /* largest subnormal */,
          fromBits(0x7FF0000000000001) /* signalling NaN */, fromBits(0x7FFFFFFFFFFFFFFF)})
        c.checkWithNeighbours(v);
    // Powers of ten and two over the whole range, where the interval's ends sit closest to
    // short decimals, and the power-of-two boundaries with their lopsided interval.
    for (int e = -325; e <= 309; ++e) {
        const std::string text = "1e" + std::to_string(e);
        c.checkWithNeighbours(std::strtod(text.c_str(), nullptr));
        for (int m = 2; m <= 9; ++m)
            c.check(m * std::strtod(text.c_str(), nullptr));
    }
    for (int e = -1074; e <= 1023; ++e)
        c.checkWithNeighbours(std::ldexp(1.0, e));
    // Where fixed and scientific are equally long or one character apart: 0.001 vs 1e-03,
    // 0.00012345 vs 1.2345e-04, 123456789012345683968 vs 1.2345678901234568e+20.
    for (int e = -8; e <= 24; ++e)
        for (const char* digits : {"1", "12", "15", "123", "12345", "1234567", "123456789012",
                                   "12345678901234567", "99999999999999999", "17976931348623157"}) {
            const std::string text = std::string(digits) + "e" + std::to_string(e);
            c.checkWithNeighbours(std::strtod(text.c_str(), nullptr));
        }
    // 17 significant digits, and integers (the integer shortcut) with and without trailing zeros.
    for (double v : {0.1 + 0.2, 1.0 / 3.0, 2.0 / 3.0, 9007199254740991.0, 9007199254740992.0,
                     18014398509481988.0, 5e-324 * 3, 123456789.0, 1e15 + 0.3})
        c.checkWithNeighbours(v);
    for (int i = 0; i <= 100000; ++i) {
        c.check(i);
        c.check(fromBits(static_cast<std::uint64_t>(i))); // the smallest subnormals
    }
    // The numbers co2table prints: grid inputs (start + i * step) and the quantities derived from them.
    for (int i = 0; i <= 1000; ++i) {
        const double p = 0.1 + 0.1 * i;
        const double t = 0.0 + 0.1 * i;
        for (double v : {p, t, t + 273.15, 1.0 / (t + 273.15), p * 1e6, std::log(p), std::exp(-t / 10),
                         p * 0.018015268, 1e-9 * i, 8.314462618 * (t + 273.15)})
            c.check(v);
    }
    c.expectNoDifference();
}

// CO2_SHORTEST_SAMPLES raises the number of random bit patterns for a longer run outside the suite.
TEST(Shortest, RandomValuesMatchToChars) {
    std::uint64_t samples = 2'000'000;
    if (const char* env = std::getenv("CO2_SHORTEST_SAMPLES")) samples = std::strtoull(env, nullptr, 10);
    Comparison c;
    std::mt19937_64 random(20261208);
    for (std::uint64_t i = 0; i < samples; ++i)
        c.check(fromBits(random()));
    // Magnitudes 1e-6 .. 1e6, uniform in the exponent, and plain uniform numbers below 1e6.
    std::uniform_real_distribution<double> exponent(-6.0, 6.0);
    std::uniform_real_distribution<double> uniform(0.0, 1e6);
    for (int i = 0; i < 500'000; ++i) {
        c.check(std::pow(10.0, exponent(random)));
        c.check(uniform(random));
    }
    c.expectNoDifference();
}

} // namespace
} // namespace co2::table
