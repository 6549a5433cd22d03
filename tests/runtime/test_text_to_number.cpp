#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/errors.h"
#include "runtime/keyboard.h"

// Expected values are the decimal literals of the typed texts; a long double literal is rounded
// by the compiler, independently of the C library scan the conversion uses.

namespace {

class TextToNumber : public ::testing::Test {
  protected:
    void SetUp() override { core::resetErrorStateForTesting(); }
    void TearDown() override { core::resetErrorStateForTesting(); }
    std::uint32_t pendingError() { return core::errorState().pendingError.load(); }
};

TEST_F(TextToNumber, ReadsTheTypedForms) {
    EXPECT_EQ(rt::textToNumber(""), 0.0L);
    EXPECT_EQ(rt::textToNumber(" 1 2.5"), 12.5L);
    EXPECT_EQ(rt::textToNumber("1d3"), 1000.0L);
    EXPECT_EQ(rt::textToNumber("1e3"), 1000.0L);
    EXPECT_EQ(rt::textToNumber("-2.5D+2"), -250.0L);
    EXPECT_EQ(rt::textToNumber("+5"), 5.0L);
    EXPECT_EQ(rt::textToNumber("- 1\t2 . 5 e 1"), -125.0L);
    EXPECT_EQ(rt::textToNumber("0.1"), 0.1L);
    EXPECT_EQ(rt::textToNumber(".000125"), 0.000125L);
    EXPECT_EQ(rt::textToNumber("25.3"), 25.3L);
    EXPECT_EQ(rt::textToNumber("1.5E-3"), 1.5e-3L);
    EXPECT_EQ(rt::textToNumber("1E+000000000000000000000000003"), 1000.0L)
        << "leading exponent zeros skipped";
    EXPECT_EQ(pendingError(), 0u);
}

TEST_F(TextToNumber, StopsAtTheFirstCharacterThatDoesNotFit) {
    EXPECT_EQ(rt::textToNumber("12abc"), 12.0L);
    EXPECT_EQ(rt::textToNumber("abc"), 0.0L);
    EXPECT_EQ(rt::textToNumber("1.2.3"), 1.2L);
    EXPECT_EQ(rt::textToNumber("1,5"), 1.0L);
    EXPECT_EQ(rt::textToNumber("7E"), 7.0L);
    EXPECT_EQ(rt::textToNumber("7E-"), 7.0L);
    EXPECT_EQ(rt::textToNumber("."), 0.0L);
    EXPECT_EQ(rt::textToNumber("12\x03"
                               "5"),
              12.0L);
}

TEST_F(TextToNumber, NoSignificantDigitIsPositiveZero) {
    for (const char* text : {"-0", "-0.000", "-.0E5", "-"}) {
        const core::ext value = rt::textToNumber(text);
        EXPECT_EQ(value, 0.0L) << text;
        EXPECT_FALSE(std::signbit(value)) << text << " would print as a negative number";
    }
}

TEST_F(TextToNumber, ExponentReadingStopsAfterEighteenSignificantDigits) {
    // 1E1234567890123456789 reads the exponent 123456789012345678: far beyond the range.
    EXPECT_EQ(rt::textToNumber("1E-1234567890123456789"), 0.0L);
    EXPECT_EQ(pendingError(), 0u);
    EXPECT_EQ(rt::textToNumber("1E1234567890123456789"), 0.0L);
    EXPECT_EQ(pendingError(), 6u);
}

TEST_F(TextToNumber, ValueBeyondTheExtendedRangeRaisesOverflow) {
    EXPECT_EQ(rt::textToNumber("-1E5000"), 0.0L);
    EXPECT_EQ(pendingError(), 6u);
    core::resetErrorStateForTesting();
    EXPECT_EQ(rt::textToNumber("1E4000"), 1e4000L) << "within the extended range";
    EXPECT_EQ(pendingError(), 0u);
}

TEST_F(TextToNumber, HexadecimalAndOctalIntegers) {
    EXPECT_EQ(rt::textToNumber("&H1F"), 31.0L);
    EXPECT_EQ(rt::textToNumber("&h1f"), 31.0L);
    EXPECT_EQ(rt::textToNumber("&O17"), 15.0L);
    EXPECT_EQ(rt::textToNumber("&o 1 7"), 15.0L);
    EXPECT_EQ(rt::textToNumber("&H1FZZ"), 31.0L);
    EXPECT_EQ(rt::textToNumber("&O78"), 7.0L);
    EXPECT_EQ(rt::textToNumber("&H0000000000000000000001"), 1.0L) << "leading zeros are not significant";
    // 64-bit two's complement, like every integer of the runtime.
    EXPECT_EQ(rt::textToNumber("&H7FFFFFFFFFFFFFFF"), 9223372036854775807.0L);
    EXPECT_EQ(rt::textToNumber("&HFFFFFFFFFFFFFFFF"), -1.0L);
    EXPECT_EQ(rt::textToNumber("&O1777777777777777777777"), -1.0L);
    EXPECT_EQ(rt::textToNumber("&O777777777777777777777"), 9223372036854775807.0L);
    EXPECT_EQ(pendingError(), 0u);
}

TEST_F(TextToNumber, AmpersandWithoutAKnownRadixOrDigitsGivesZero) {
    for (const char* text : {"&", "&H", "&1", "&X12", "&HG", "& H"})
        EXPECT_EQ(rt::textToNumber(text), 0.0L) << text;
    EXPECT_EQ(pendingError(), 0u);
}

TEST_F(TextToNumber, MoreThan64BitsOfHexadecimalOrOctalDigitsOverflow) {
    for (const char* text :
         {"&H10000000000000000", "&O2000000000000000000000", "&O10000000000000000000000"}) {
        core::resetErrorStateForTesting();
        EXPECT_EQ(rt::textToNumber(text), 0.0L) << text;
        EXPECT_EQ(pendingError(), 6u) << text;
    }
}

TEST_F(TextToNumber, IntegersOfUpTo18DigitsAreExact) {
    EXPECT_EQ(rt::textToNumber("999999999999999999"), 999999999999999999.0L);
    EXPECT_EQ(rt::textToNumber("-123456789012345678"), -123456789012345678.0L);
    EXPECT_EQ(rt::textToNumber("000000000000000000000000042"), 42.0L);
    EXPECT_EQ(rt::textToNumber("120000000000000000"), 120000000000000000.0L);
}

TEST_F(TextToNumber, IntegersOf19AndMoreDigitsDoNotWrap) {
    // 2^63 + 1 and 2^64 need all 64 bits of the extended mantissa: exact when no wrap occurs.
    EXPECT_EQ(rt::textToNumber("9223372036854775809"), 9223372036854775809.0L);
    EXPECT_EQ(rt::textToNumber("-9223372036854775809"), -9223372036854775809.0L);
    EXPECT_EQ(rt::textToNumber("18446744073709551616"), 18446744073709551616.0L);
    EXPECT_EQ(rt::textToNumber("1234567890123456789"), 1234567890123456789.0L);
    EXPECT_EQ(rt::textToNumber("123456789012345678901234567890"), 123456789012345678901234567890.0L);
    EXPECT_EQ(static_cast<double>(rt::textToNumber("99999999999999999999")), 1e20);
    EXPECT_EQ(pendingError(), 0u);
}

} // namespace
