#include "core/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/errors.h"

namespace {

struct Case {
    const char* picture;
    double value;
    const char* expected;
};

class NumberFormat : public ::testing::Test {
  protected:
    void SetUp() override { core::resetErrorStateForTesting(); }
    void TearDown() override { core::resetErrorStateForTesting(); }

    static std::uint32_t pending() { return core::errorState().pendingError.load(); }

    // Runs each case through the double path and checks that no error was raised.
    static void expectAll(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            const core::FormattedNumber out = core::formatDouble(c.picture, c.value);
            EXPECT_EQ(out.text, c.expected) << "template \"" << c.picture << "\" value " << c.value;
            EXPECT_EQ(pending(), 0u) << "template \"" << c.picture << "\" value " << c.value;
            core::resetErrorStateForTesting();
        }
    }
};

// Expected texts stated with the template rules (worked by hand from the rounding and layout
// rules where marked).
TEST_F(NumberFormat, StatedExamplesOfTheTemplateRules) {
    expectAll({
        {"####.##", 3.14159, "   3.14"},
        {"####.##", -3.14159, "  -3.14"},
        {"##.###", 0.5, " 0.500"},
        {"###.####", 0.0, "  0.0000"},
        {"##.##", -0.001, "-0.00"}, // the sign stays although every digit is zero
        {"##.##", 0.006, " 0.01"},  // the carry runs into a digit not yet placed
        {"##.##", 0.004, " 0.00"},
        {"#.##", 0.125, "0.13"},        // an exact half rounds away from zero
        {"#.##", 2.675, "2.67"},        // the double nearest 2.675 lies below it
        {"###.#", 12345.6, "%12345.6"}, // never cut
        {"####", -1234.0, "%-1234"},
        {"#.#", 9.96, "%10.0"}, // the carry widens the field
        {" ###.##### ", 1.5, "   1.50000 "},
        {"_###", 7.0, "# 7"}, // an escaped "#" is text, the rest is the field
    });
}

TEST_F(NumberFormat, ValuesBelowOneShowZeroOnlyWhenThereIsRoom) {
    expectAll({
        {"#.##", -0.125, "-.13"}, // the sign takes the only integer place
        {".##", 0.5, ".50"},
        {".##", 0.0, ".00"},
        {"##.##", 0.0006, " 0.00"}, // the next digit is a leading zero: no rounding
        {"##.##", 0.0096, " 0.01"},
        {"##.#", -0.04, "-0.0"},
        {"##.#", -0.05, "-0.1"}, // half of the last place rounds the magnitude up
    });
}

TEST_F(NumberFormat, CarryPropagatesThroughNines) {
    expectAll({
        {"###.###", 99.9996, "100.000"},
        {"###.###", 999.9996, "%1000.000"},
        {"###.###", -99.9996, "%-100.000"},
        {"####", 0.5, "   1"},
        {"####", 0.49, "   0"},
        {"#.####", 0.999951, "1.0000"}, // the carry creates the integer digit
    });
}

// The report's templates at the edges of their fields. Values are chosen well away from the
// rounding boundary so that the binary value lies clearly on one side of it.
TEST_F(NumberFormat, ReportTemplatesAtTheirFieldBoundaries) {
    expectAll({
        {" ##.#########", 99.99999999949, " 99.999999999"},
        {" ##.#########", 99.99999999951, " %100.000000000"},
        {" ##.#########", -9.99999999949, " -9.999999999"},
        {" ##.#########", -9.99999999951, " %-10.000000000"},
        {" ##.#########", -0.00000000049, " -0.000000000"}, // negative value rounding to zero
        {" #######.####", 9999999.99994, " 9999999.9999"},
        {" #######.####", 9999999.99996, " %10000000.0000"},
        {" ######.##### ", 69.95, "     69.95000 "},
        {" #####.###### ", -123.4567891, "  -123.456789 "},
        {" ########.### ", -285830.0, "  -285830.000 "},
        {" ########.### ", -99999999.9, " %-99999999.900 "},
        {" ##.#### ", 0.99999, "  1.0000 "},
        {" ###.###### ", 0.1, "   0.100000 "},
        {" ###.#####", 100.0, " 100.00000"},
        {"  ###.##### ", 1000.0, "  %1000.00000 "},
        {"#######.#", 1.5e6, "1500000.0"},
        {"###.####", -1.23456, " -1.2346"},
        {"#####.###", -1234.5678, "-1234.568"},
        {"#####.###", -12345.0, "%-12345.000"},
        {"     ##.###", 1.0, "      1.000"},
        {"   ####.####", -1234.56789, "   %-1234.5679"}, // the sign needs a place of its own
        {"  #####.####", -0.00004, "     -0.0000"},
        {"    ###.#####", 1.01e3, "    %1010.00000"},
        {"     ##.######", 0.99999951, "      1.000000"},
        {"  ##.#####  ", 1.5, "   1.50000  "},
    });
}

// The extended path writes the value in fixed form (keeping a leading "0" below 1) where the
// double path writes it in scientific form. For the positive values and templates the report
// passes to it, both must give the same text.
TEST_F(NumberFormat, ExtendedPathAgreesWithDoublePathOnReportTemplates) {
    const char* templates[] = {"#######.#", " #######.#### ", " ####.######## ", "     ##.###",
                               "     ##.#####"};
    const double values[] = {0.0,     1e-12, 0.00031,    0.5,   0.99999999996, 1.0, 3.16880,
                             9.99995, 12.5,  1234.56785, 5.5e6, 9999999.96,    1e9, 123456789.123};
    for (const char* t : templates) {
        for (const double v : values) {
            const core::FormattedNumber d = core::formatDouble(t, v);
            const core::FormattedNumber x = core::formatExtended(t, static_cast<core::ext>(v));
            EXPECT_EQ(x.text, d.text) << "template \"" << t << "\" value " << v;
            EXPECT_EQ(pending(), 0u);
        }
    }
}

TEST_F(NumberFormat, ExtendedValuesRoundOnTheirOwnDigits) {
    // e = 2.71828182845904523536... (Euler's number, published to many digits): exp(1) in
    // extended precision is correct to about 19 digits.
    EXPECT_EQ(core::formatExtended(" ####.######## ", std::exp(1.0L)).text, "    2.71828183 ");
    // 1 + 2^-60 is 1 in double; the extended digits keep it below the next rounding step.
    EXPECT_EQ(core::formatExtended("#.##################", 1.0L + std::ldexp(1.0L, -60)).text,
              "1.000000000000000001");
    EXPECT_EQ(pending(), 0u);
}

// Below 1 the fixed form starts with an integer digit "0". Counted as an integer place it would
// mark values that fit with "%" in fields of one integer place or none; it is not counted.
TEST_F(NumberFormat, ExtendedValuesBelowOneFitNarrowFieldsLikeDoubles) {
    const char* templates[] = {"#.##", ".##", "##.#", "+.##", "#.#-"};
    const double values[] = {-0.001, -0.125, -0.5, 0.5, 0.25, 0.0};
    for (const char* t : templates) {
        for (const double v : values) {
            EXPECT_EQ(core::formatExtended(t, static_cast<core::ext>(v)).text, core::formatDouble(t, v).text)
                << "template \"" << t << "\" value " << v;
        }
    }
    EXPECT_EQ(core::formatExtended("#.##", -0.001L).text, "-.00");
    EXPECT_EQ(core::formatExtended(".##", 0.5L).text, ".50");
    EXPECT_EQ(pending(), 0u);
}

// Decimal digits of 2^n by repeated doubling: an exact reference independent of the C library.
std::string powerOfTwoDigits(int n) {
    std::string digits = "1";
    for (int i = 0; i < n; ++i) {
        int carry = 0;
        for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
            const int d = (*it - '0') * 2 + carry;
            *it = static_cast<char>('0' + d % 10);
            carry = d / 10;
        }
        if (carry) digits.insert(digits.begin(), static_cast<char>('0' + carry));
    }
    return digits;
}

TEST_F(NumberFormat, ExtendedDigitsAreBoundedTo1024) {
    // 2^2552 has 769 integer digits: with the 255 fraction digits exactly 1024, the most allowed.
    const std::string expected = powerOfTwoDigits(2552);
    ASSERT_EQ(expected.size(), 769u);
    const core::FormattedNumber big = core::formatExtended("#", std::ldexp(1.0L, 2552));
    EXPECT_EQ(pending(), 0u);
    EXPECT_EQ(big.text, "%" + expected);

    // 2^2555 has 770: one digit too many, refused instead of overrunning the record.
    const core::FormattedNumber tooBig = core::formatExtended("x ##", std::ldexp(1.0L, 2555));
    EXPECT_EQ(pending(), 5u);
    EXPECT_EQ(tooBig.text, "");
    core::resetErrorStateForTesting();

    core::formatExtended("##", std::numeric_limits<core::ext>::max());
    EXPECT_EQ(pending(), 5u);
    core::resetErrorStateForTesting();

    // A double keeps 256 significant digits whatever its size; the rest of the integer is zeros.
    const core::FormattedNumber maxDouble = core::formatDouble("#", std::numeric_limits<double>::max());
    EXPECT_EQ(pending(), 0u);
    ASSERT_EQ(maxDouble.text.size(), 310u);
    EXPECT_EQ(maxDouble.text.substr(0, 9), "%17976931");
}

TEST_F(NumberFormat, NonFiniteValuesRaiseIllegalFunctionCallAndWriteNothing) {
    const double nonFinite[] = {std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
    for (const double v : nonFinite) {
        EXPECT_EQ(core::formatDouble("x = ##.##", v).text, "");
        EXPECT_EQ(pending(), 5u);
        core::resetErrorStateForTesting();
        EXPECT_EQ(core::formatExtended("x = ##.##", static_cast<core::ext>(v)).text, "");
        EXPECT_EQ(pending(), 5u);
        core::resetErrorStateForTesting();
    }
}

TEST_F(NumberFormat, TemplateWithoutFieldRaisesIllegalFunctionCallAfterItsText) {
    EXPECT_EQ(core::formatDouble("no field here", 1.0).text, "no field here");
    EXPECT_EQ(pending(), 5u);
    core::resetErrorStateForTesting();
    EXPECT_EQ(core::formatDouble("", 1.0).text, "");
    EXPECT_EQ(pending(), 5u);
    core::resetErrorStateForTesting();
    // Characters that start a field only in company: "." without "#", a single "*" or "$".
    EXPECT_EQ(core::formatDouble("a.b *$+-_", 1.0).text, "a.b *$+-_");
    EXPECT_EQ(pending(), 5u);
}

TEST_F(NumberFormat, TextFieldWhereTheNumberShouldGoIsATypeMismatch) {
    for (const char* picture : {"name & ##", "! ##", "x \\  \\ ##"}) {
        const core::FormattedNumber out = core::formatDouble(picture, 1.0);
        EXPECT_EQ(pending(), 13u) << picture;
        EXPECT_EQ(out.next, 0u);
        core::resetErrorStateForTesting();
    }
    EXPECT_EQ(core::formatDouble("name & ##", 1.0).text, "name ");
    core::resetErrorStateForTesting();
    // A backslash without its partner is plain text.
    EXPECT_EQ(core::formatDouble("\\ ##", 1.0).text, "\\  1");
    EXPECT_EQ(pending(), 0u);
}

TEST_F(NumberFormat, NothingHappensWhileAnErrorIsPending) {
    core::raiseError(6);
    const core::FormattedNumber out = core::formatDouble("##.##", 1.0);
    EXPECT_EQ(out.text, "");
    EXPECT_EQ(out.next, 0u);
    EXPECT_EQ(core::formatExtended("##.##", 1.0L).text, "");
    EXPECT_EQ(pending(), 6u) << "the first error of the statement is kept";
}

TEST_F(NumberFormat, ScanReturnsThePositionOfTheNextField) {
    const std::string picture = "a=## b=##.# end";
    core::FormattedNumber first = core::formatDouble(picture, 12.0);
    EXPECT_EQ(first.text, "a=12 b=");
    EXPECT_EQ(first.next, 7u);
    core::FormattedNumber second = core::formatDouble(picture, 3.25, first.next);
    EXPECT_EQ(second.text, " 3.3 end");
    EXPECT_EQ(second.next, 0u) << "the template was used up";

    // Starting on the literal tail: it is written, the scan wraps and fills the first field.
    core::FormattedNumber wrapped = core::formatDouble("## x", 5.0, 3);
    EXPECT_EQ(wrapped.text, "x 5 x");
    EXPECT_EQ(wrapped.next, 0u);
    // A position past the end counts as the start.
    EXPECT_EQ(core::formatDouble("##", 5.0, 99).text, " 5");
    EXPECT_EQ(pending(), 0u);

    // A "_" in the last position is written itself.
    EXPECT_EQ(core::formatDouble("## _", 5.0).text, " 5 _");
    EXPECT_EQ(core::formatDouble("__##", 5.0).text, "_ 5");

    std::string appended = "x=";
    EXPECT_EQ(core::formatDouble("##.#", 0, 1.25, appended), 0u);
    EXPECT_EQ(appended, "x= 1.3");
}

TEST_F(NumberFormat, ThousandsSeparatorsCountAsDigitPlaces) {
    expectAll({
        {"#,###,###.##", 1234567.891, "1,234,567.89"},
        {"#,###,###.##", 1234.5, "    1,234.50"},
        {"#,###,###.##", -12.0, "      -12.00"},
        {"##,##", 999.0, "  999"},
        {"#,###", 12345678.0, "%12,345,678"},
        {"##, next", 5.0, " 5, next"}, // a comma not followed by the field is text
    });
}

TEST_F(NumberFormat, SignCharactersOfTheField) {
    expectAll({
        {"+##.#", 1.5, "+ 1.5"},
        {"+##.#", -1.5, "- 1.5"},
        {"+#.#", 12.0, "%+12.0"}, // the "+" follows the overflow mark
        {"+.##", 0.5, "+.50"},
        {"##.#-", -1.5, " 1.5-"},
        {"##.#-", 1.5, " 1.5 "},
        {"##.#+", 1.5, " 1.5+"},
        {"##.#+", -1.5, " 1.5-"},
        {"#.#-", -0.04, "0.0-"}, // the sign has a place of its own: "0" fits
    });
}

TEST_F(NumberFormat, StarFillAndFloatingDollar) {
    expectAll({
        {"**##.#", 1.5, "***1.5"},
        {"**##.#", -1.5, "**-1.5"},
        {"**", 5.0, "*5"},
        {"$$##.##", 1.5, "  $1.50"},
        {"$$##.##", -1.5, " -$1.50"},
        {"$$.##", 0.25, "$0.25"},
        {"**$##.##", 1.5, "***$1.50"},
        {"**$##.##", 0.5, "***$0.50"},
        {"+**#", 3.0, "+**3"},
    });
}

TEST_F(NumberFormat, ExponentFormWithTwoOrThreeExponentDigits) {
    expectAll({
        {"##.##^^^^", 234.56, " 2.35D+02"},
        {"##.##^^^^", -234.56, "-2.35D+02"},
        {"##.##^^^^", 0.0, " 0.00D+00"},
        {"##.##^^^^", 9.996, " 1.00D+01"}, // the carry moves the exponent, not the field
        {"###.#^^^^", 0.0012345, " 12.3D-04"},
        {"##.##^^^^^", 1e-100, " 1.00D-100"},
        {".##^^^^", 123.0, ".12D+03"},
        {"+#.##^^^^", -5.0, "-5.00D+00"},
        {"##.##^^^^", 1e300, "% 1.00D+300"}, // three exponent digits in a two-digit field
        {"##.##^^^^ kg", 1.0, " 1.00D+00 kg"},
    });
    EXPECT_EQ(core::formatExtended("##.##^^^^", 234.56L).text, " 2.35F+02");
    EXPECT_EQ(core::formatExtended("##.##^^^^", 0.0015L).text, " 1.50F-03");
}

} // namespace
