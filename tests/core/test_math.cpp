#include "core/math.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/errors.h"

namespace {

class CheckedFunctions : public ::testing::Test {
  protected:
    void SetUp() override { core::resetErrorStateForTesting(); }
    void TearDown() override { core::resetErrorStateForTesting(); }
    std::uint32_t pending() const { return core::errorState().pendingError.load(); }
    void clear() { core::resetErrorStateForTesting(); }
};

TEST_F(CheckedFunctions, LogarithmOfZeroOrLessYieldsZeroWithError5) {
    EXPECT_EQ(core::lnValue(0), 0);
    EXPECT_EQ(pending(), 5u);
    clear();
    EXPECT_EQ(core::lnValue(-1), 0);
    EXPECT_EQ(pending(), 5u);
    clear();
    EXPECT_NEAR(static_cast<double>(core::lnValue(std::exp(1.0L))), 1.0, 1e-15);
    EXPECT_EQ(pending(), 0u);
    // The argument is rounded to double first: a positive extended value below the double range
    // becomes 0 and fails.
    EXPECT_EQ(core::lnValue(1e-4000L), 0);
    EXPECT_EQ(pending(), 5u);
}

TEST_F(CheckedFunctions, ExponentialLimitIsInclusive) {
    const core::ext atLimit = core::expValue(709.782712893L);
    EXPECT_GT(atLimit, 1.7e308L);
    EXPECT_TRUE(std::isfinite(static_cast<double>(atLimit)));
    EXPECT_EQ(pending(), 0u);
    EXPECT_EQ(core::expValue(710), 0);
    EXPECT_EQ(pending(), 6u);
    clear();
    // The test is made before rounding: the next extended value above the limit fails.
    EXPECT_EQ(core::expValue(std::nextafter(709.782712893L, 800.0L)), 0);
    EXPECT_EQ(pending(), 6u);
}

TEST_F(CheckedFunctions, SquareRootOfNegativeYieldsZeroWithError5) {
    EXPECT_EQ(core::sqrtValue(-1e-300L), 0);
    EXPECT_EQ(pending(), 5u);
    clear();
    EXPECT_EQ(core::sqrtValue(0), 0);
    EXPECT_EQ(pending(), 0u);
    EXPECT_EQ(core::sqrtValue(2.25L), 1.5L);
}

// An argument beyond the double range rounds to +inf; the logarithm and the root of it must not
// hand an infinity to the model any more than the power does.
TEST_F(CheckedFunctions, LogarithmAndRootOfAnArgumentThatRoundsToInfinityOverflow) {
    for (auto f : {&core::lnValue, &core::sqrtValue}) {
        EXPECT_EQ(f(1e4000L), 0);
        EXPECT_EQ(pending(), 6u);
        clear();
    }
}

TEST_F(CheckedFunctions, PowerOfNegativeBase) {
    EXPECT_EQ(core::powValue(-8, 1.0L / 3.0L), 0);
    EXPECT_EQ(pending(), 5u);
    clear();
    EXPECT_EQ(core::powValue(-8, 3), -512);
    EXPECT_EQ(core::powValue(-2, 3), -8);
    EXPECT_EQ(core::powValue(-2, -2), 0.25L);
    EXPECT_EQ(pending(), 0u);
}

TEST_F(CheckedFunctions, PowerNeverReturnsInfinity) {
    EXPECT_EQ(core::powValue(0, -1), 0);
    EXPECT_EQ(pending(), 5u);
    clear();
    EXPECT_EQ(core::powValue(1e300L, 2), 0);
    EXPECT_EQ(pending(), 6u);
}

TEST_F(CheckedFunctions, RoundingIsToNearestEven) {
    EXPECT_EQ(core::roundToInteger(2.5L), 2);
    EXPECT_EQ(core::roundToInteger(3.5L), 4);
    EXPECT_EQ(core::roundToInteger(-2.5L), -2);
    EXPECT_EQ(core::roundToInteger(-2.6L), -3);
    EXPECT_EQ(pending(), 0u);
    EXPECT_EQ(core::roundToInteger(1e19L), 0);
    EXPECT_EQ(pending(), 6u);
}

TEST_F(CheckedFunctions, AbsoluteValueRoundsToDouble) {
    EXPECT_EQ(core::absValue(-1.5L), 1.5L);
    const core::ext third = 1.0L / 3.0L;
    EXPECT_EQ(core::absValue(-third), static_cast<core::ext>(static_cast<double>(third)));
}

TEST_F(CheckedFunctions, IndexOutsideTheArrayRaises9AndReadsTheFirstElement) {
    EXPECT_EQ(core::checkIndex(4, 5), 4u);
    EXPECT_EQ(pending(), 0u);
    EXPECT_EQ(core::checkIndex(5, 5), 0u);
    EXPECT_EQ(pending(), 9u);
    clear();
    EXPECT_EQ(core::checkIndex(-1, 5), 0u);
    EXPECT_EQ(pending(), 9u);

    clear();
    core::CheckedArray<double, 3, 1> a;
    a(1) = 10;
    a(3) = 30;
    EXPECT_EQ(a(3), 30);
    EXPECT_EQ(pending(), 0u);
    EXPECT_EQ(a(0), 10) << "out of range reads the lower bound";
    EXPECT_EQ(pending(), 9u);
}

TEST_F(CheckedFunctions, ExtendedPrecisionIsActive) {
    core::setupFloatingPoint();
    volatile core::ext one = 1;
    volatile core::ext tiny = std::ldexp(1.0L, -60);
    EXPECT_NE(one + tiny, one) << "64-bit mantissa keeps 2^-60";
}

} // namespace
