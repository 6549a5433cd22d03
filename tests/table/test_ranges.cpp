#include "app/table/ranges.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <tuple>

namespace co2::table {
namespace {

std::vector<double> values(std::string_view text) {
    ParseResult r = parseValueList(text, "temperature");
    EXPECT_EQ(r.error, "") << text;
    return r.values;
}

std::string errorOf(std::string_view text) {
    return parseValueList(text, "temperature").error;
}

TEST(ValueList, AcceptsNumbersListsAndInclusiveRanges) {
    EXPECT_EQ(values("25"), (std::vector<double>{25}));
    EXPECT_EQ(values(" 0.1, 1 ,5"), (std::vector<double>{0.1, 1, 5}));
    EXPECT_EQ(values("0:100:25"), (std::vector<double>{0, 25, 50, 75, 100}));
    EXPECT_EQ(values("1:0:-0.5"), (std::vector<double>{1, 0.5, 0}));
    EXPECT_EQ(values("-1.48:-0.48:0.5"), (std::vector<double>{-1.48, -0.98, -0.48}));
    EXPECT_EQ(values("0:10:3"), (std::vector<double>{0, 3, 6, 9})); // stop not on the grid
    EXPECT_EQ(values("5:5:1"), (std::vector<double>{5}));
    EXPECT_EQ(values("5:5:-1"), (std::vector<double>{5}));
    EXPECT_EQ(values("0:1:1,5,10:30:10"), (std::vector<double>{0, 1, 5, 10, 20, 30}));
    EXPECT_EQ(values("1e1:3e1:1E1"), (std::vector<double>{10, 20, 30}));
    EXPECT_EQ(values("+2"), (std::vector<double>{2}));
}

// The value of every range step must be the double a user typing its decimal text would get,
// so that a table row and a calculator run at "the same" temperature agree to the last bit.
TEST(ValueList, RangeStepsEqualTheTypedDecimals) {
    const std::vector<double> v = values("0:100:0.1");
    ASSERT_EQ(v.size(), 1001U);
    for (std::size_t i = 0; i < v.size(); ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", static_cast<double>(i) / 10);
        EXPECT_EQ(v[i], std::strtod(text, nullptr)) << text;
    }
    const std::vector<double> w = values("-1.48:100:0.01");
    ASSERT_EQ(w.size(), 10149U);
    EXPECT_EQ(w.back(), 100.0);
    EXPECT_EQ(w[3], std::strtod("-1.45", nullptr));
    EXPECT_EQ(values("0.1:0.3:0.1").back(), 0.3); // not 0.30000000000000004
}

TEST(ValueList, FallsBackToSteppingForUnrepresentableDecimals) {
    // Seventeen significant digits do not fit a 53-bit integer; the stop is still reached.
    const std::vector<double> v = values("0.12345678901234567:0.32345678901234567:0.1");
    ASSERT_EQ(v.size(), 3U);
    EXPECT_NEAR(v[2], 0.32345678901234567, 1e-15);
}

TEST(ValueList, RejectsMalformedItemsWithTheItemNamed) {
    EXPECT_NE(errorOf("abc").find("\"abc\" is not a number"), std::string::npos);
    EXPECT_NE(errorOf("1,,2").find("empty item"), std::string::npos);
    EXPECT_NE(errorOf("1,").find("empty item"), std::string::npos);
    EXPECT_NE(errorOf("").find("no value"), std::string::npos);
    EXPECT_NE(errorOf("0:10").find("start:stop:step"), std::string::npos);
    EXPECT_NE(errorOf("0:10:1:2").find("start:stop:step"), std::string::npos);
    EXPECT_NE(errorOf("0:x:1").find("\"x\" is not a number"), std::string::npos);
    EXPECT_NE(errorOf("0:10:0").find("step is 0"), std::string::npos);
    EXPECT_NE(errorOf("0:10:-1").find("does not lead"), std::string::npos);
    EXPECT_NE(errorOf("10:0:1").find("does not lead"), std::string::npos);
    for (const char* bad : {"nan", "inf", "-inf", "0x10", "1e400", "1.2.3", "1e", "--1", "1 2", "."})
        EXPECT_FALSE(errorOf(bad).empty()) << bad;
    EXPECT_EQ(errorOf("x").rfind("temperature: ", 0), 0U); // messages name the option
}

TEST(ValueList, RefusesRangesThatWouldExhaustMemory) {
    EXPECT_NE(errorOf("0:100:1e-6").find("more than"), std::string::npos);
    EXPECT_NE(errorOf("0:1e300:1").find("more than"), std::string::npos);
    EXPECT_NE(errorOf("0:1e-10:1e-30").find("more than"), std::string::npos);
}

TEST(Number, ParsesOnlyPlainDecimals) {
    EXPECT_EQ(parseNumber(" 1.5 "), 1.5);
    EXPECT_EQ(parseNumber(".5"), 0.5);
    EXPECT_EQ(parseNumber("5."), 5.0);
    EXPECT_EQ(parseNumber("-0"), -0.0);
    EXPECT_FALSE(parseNumber("1,5"));
    EXPECT_FALSE(parseNumber("1.5x"));
    EXPECT_FALSE(parseNumber("infinity"));
}

// Unit changes give the double that typing the other unit's decimal would give.
TEST(Number, UnitChangesWorkOnTheDecimals) {
    const std::vector<std::tuple<double, std::int64_t, int, double>> added = {
        {298.15, -27315, 2, 25},   {273.16, -27315, 2, 0.01},
        {0, -27315, 2, -273.15},   {373.1499, -27315, 2, 99.9999},
        {25, 27315, 2, 298.15},    {-1.48, 27315, 2, 271.67},
        {1e300, -27315, 2, 1e300}, {0.1 + 0.2, 0, 0, 0.30000000000000004}};
    for (const auto& [value, units, scale, expected] : added)
        EXPECT_EQ(addDecimal(value, units, scale), expected) << value;
    EXPECT_EQ(shiftDecimal(2.5, -1), 0.25);
    EXPECT_EQ(shiftDecimal(0.3, 1), 3);
    EXPECT_EQ(shiftDecimal(1.1, -1), 0.11); // not 1.1 / 10, which is 0.11000000000000001
    EXPECT_EQ(shiftDecimal(1e308, 1), INFINITY);
}

} // namespace
} // namespace co2::table
