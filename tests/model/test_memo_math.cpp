// The remembered power and exponential give the runtime's results to the bit, on first use, on
// reuse and after their table has been overrun, and raise the runtime's error on every failing
// call, not only on the first.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "model/memo_math.h"

namespace co2 {
namespace {

bool sameBits(core::ext a, core::ext b) {
    // Compare the 80 significant bits of the x87 format (the padding bytes are undefined).
    return std::memcmp(&a, &b, 10) == 0;
}

class MemoMathTest : public ::testing::Test {
  protected:
    void SetUp() override { scope.emplace(errors); }
    void TearDown() override { scope.reset(); }
    // The error the last call raised (0: none), cleared for the next one.
    std::uint32_t takeError() { return errors.pendingError.exchange(0); }

    core::ErrorState errors;
    std::optional<core::ErrorScope> scope;
};

TEST_F(MemoMathTest, PowersMatchTheRuntimeOnFirstUseReuseAndAfterTheTableIsOverrun) {
    // Bases and exponents of the kinds the equations of state use: reduced densities and
    // temperatures, integer and fractional exponents, negative bases with whole exponents.
    // Every base with many exponents, as a Helmholtz sum raises delta and tau to each term's own.
    std::vector<std::pair<core::ext, core::ext>> cases;
    for (int i = 0; i < 60; ++i) {
        const core::ext base = 0.05L + 0.037L * i + (i % 7 == 0 ? -3 : 0);
        for (int j = 0; j < 50; ++j) {
            const core::ext exponent = (j % 3 == 0) ? core::ext(j / 3 - 3) : 0.125L * j - 1.3L;
            cases.emplace_back(base, exponent);
        }
    }
    for (int round = 0; round < 3; ++round) {
        for (const auto& [a, b] : cases) {
            const core::ext expected = core::powValue(a, b);
            const std::uint32_t expectedError = takeError();
            const core::ext got = memo::powValue(a, b);
            ASSERT_TRUE(sameBits(got, expected))
                << "pow(" << static_cast<double>(a) << ", " << static_cast<double>(b) << ") round " << round;
            ASSERT_EQ(takeError(), expectedError);
        }
    }
}

TEST_F(MemoMathTest, ArgumentsThatRoundToTheSameDoublesShareOneResult) {
    // The runtime rounds both arguments to double first; so does the key.
    const core::ext a = 0.3L;
    const core::ext b = 0.875L;
    const core::ext nearA = static_cast<double>(a) + 1e-19L; // rounds back to double(a)
    ASSERT_EQ(static_cast<double>(nearA), static_cast<double>(a));
    EXPECT_TRUE(sameBits(memo::powValue(a, b), core::powValue(nearA, b)));
    EXPECT_TRUE(sameBits(memo::powValue(nearA, b), core::powValue(a, b)));
    // Zeros of either sign are different keys: -0 to an odd power is -0, +0 to it is +0.
    EXPECT_FALSE(std::signbit(static_cast<double>(memo::powValue(0.0L, 3))));
    EXPECT_TRUE(std::signbit(static_cast<double>(memo::powValue(-0.0L, 3))));
}

TEST_F(MemoMathTest, EveryFailingPowerRaisesItsErrorAgain) {
    for (int call = 0; call < 3; ++call) {
        EXPECT_EQ(memo::powValue(-2, 0.5L), 0) << call; // negative base, fractional exponent
        EXPECT_EQ(takeError(), 5U) << call;
        EXPECT_EQ(memo::powValue(0, -2), 0) << call; // pole
        EXPECT_EQ(takeError(), 5U) << call;
        EXPECT_EQ(memo::powValue(10, 400), 0) << call; // beyond the double range
        EXPECT_EQ(takeError(), 6U) << call;
        EXPECT_EQ(memo::powValue(NAN, 2), 0) << call;
        EXPECT_EQ(takeError(), 5U) << call;
    }
    // A valid call between them is unaffected.
    EXPECT_TRUE(sameBits(memo::powValue(2, 0.5L), core::powValue(2, 0.5L)));
    EXPECT_EQ(takeError(), 0U);
}

TEST_F(MemoMathTest, ExponentialsMatchTheRuntimeAndOverflowAlwaysRaisesError6) {
    for (int round = 0; round < 2; ++round) {
        for (int i = -800; i <= 800; i += 3) {
            const core::ext x = 0.9L * i + 0.0123L;
            const core::ext expected = core::expValue(x);
            const std::uint32_t expectedError = takeError();
            ASSERT_TRUE(sameBits(memo::expValue(x), expected)) << static_cast<double>(x);
            ASSERT_EQ(takeError(), expectedError) << static_cast<double>(x);
        }
    }
    // The overflow test is made on the unrounded argument: just above the limit fails every
    // time even though a value just below it, of the same double, has been remembered.
    const core::ext below = core::kExpLimit;
    const core::ext above = core::kExpLimit + 1e-16L;
    ASSERT_EQ(static_cast<double>(below), static_cast<double>(above));
    EXPECT_NE(memo::expValue(below), 0);
    EXPECT_EQ(takeError(), 0U);
    for (int call = 0; call < 2; ++call) {
        EXPECT_EQ(memo::expValue(above), 0);
        EXPECT_EQ(takeError(), 6U);
    }
    // An underflow to 0 is a result, not an error; it is computed each time.
    EXPECT_EQ(memo::expValue(-20000), 0);
    EXPECT_EQ(takeError(), 0U);
}

} // namespace
} // namespace co2
