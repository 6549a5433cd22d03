// Phase-boundary options 1 to 4: range tests in single precision, correlations, warnings.
//
// Reference values: the correlations' constant terms and the hand sum of option 2's polynomial at
// 10 C (44.97 + 3865.7 - 12897 + 14845 - 7062.9 + 1254.2 = 49.97 bar); the quadruple point
// hydrate-water-liquid CO2-vapour at 283.1 K and 4.50 MPa (Sloan & Koh, Clathrate Hydrates of
// Natural Gases, 3rd ed., 2008), where curves 1, 2 and 3 meet.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "core/errors.h"
#include "core/number_format.h"
#include "model/model.h"
#include "model/phase_curves.h"
#include "model/state_point.h"

namespace co2 {
namespace {

class PhaseCurveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        loadConstants(m.c);
        errors.observer = [this](std::uint32_t, std::uint32_t) { ++raised; };
        scope.emplace(errors);
    }
    void TearDown() override { scope.reset(); }

    double pressureAt(int option, double T_C) {
        setTemperature(m, T_C);
        curvePressureOf(option, m);
        return m.P_bar;
    }

    Model m;
    core::ErrorState errors;
    int raised = 0;
    std::optional<core::ErrorScope> scope;
};

// The next float above / below the single-precision value of x, widened back to double.
double floatAbove(double x) {
    return std::nextafter(static_cast<float>(x), 1e9f);
}
double floatBelow(double x) {
    return std::nextafter(static_cast<float>(x), -1e9f);
}

TEST_F(PhaseCurveTest, BoundsAreInclusiveAndComparedInSinglePrecision) {
    struct Case {
        int option;
        double low, high;
    };
    // Option 2's upper bound is the exception (double), tested on its own below.
    for (const Case& c : {Case{1, -1.6, 31.48001}, Case{3, -1.48005, 9.93005}, Case{4, -1.48005, -0.1249}}) {
        SCOPED_TRACE(c.option);
        EXPECT_TRUE(curveAccepts(c.option, c.low));
        EXPECT_TRUE(curveAccepts(c.option, c.high));
        EXPECT_FALSE(curveAccepts(c.option, floatBelow(c.low)));
        EXPECT_FALSE(curveAccepts(c.option, floatAbove(c.high)));
        // A double just past a bound that rounds to the bound's float is still accepted.
        EXPECT_TRUE(curveAccepts(c.option, c.high + 1e-9));
        EXPECT_TRUE(curveAccepts(c.option, c.low - 1e-9));
    }
    EXPECT_TRUE(curveAccepts(2, 9.92999));
    EXPECT_TRUE(curveAccepts(2, 9.92999 - 1e-9));
    EXPECT_FALSE(curveAccepts(2, floatBelow(9.92999)));
}

TEST_F(PhaseCurveTest, StatedRangeEdges) {
    EXPECT_TRUE(curveAccepts(1, -1.6));
    EXPECT_TRUE(curveAccepts(1, 31.48));
    EXPECT_FALSE(curveAccepts(1, 31.5));
    EXPECT_TRUE(curveAccepts(2, 9.93));
    EXPECT_TRUE(curveAccepts(2, 10));
    EXPECT_FALSE(curveAccepts(2, 9.9299));
    EXPECT_TRUE(curveAccepts(2, 20.0));
    EXPECT_FALSE(curveAccepts(2, 20.0000001)); // double comparison: no rounding to 20
    EXPECT_TRUE(curveAccepts(3, -1.48));
    EXPECT_TRUE(curveAccepts(3, 9.93));
    EXPECT_FALSE(curveAccepts(3, 9.94));
    EXPECT_TRUE(curveAccepts(4, -0.125));
    EXPECT_FALSE(curveAccepts(4, -0.12));
    EXPECT_TRUE(curveAccepts(4, -1.48));
    EXPECT_FALSE(curveAccepts(4, -1.49));
    EXPECT_FALSE(curveAccepts(0, 25));
    EXPECT_FALSE(curveAccepts(5, 25));
}

TEST_F(PhaseCurveTest, WarningsAreTheFixedTexts) {
    EXPECT_EQ(curveWarning(1), "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.6 - +31.48 C");
    EXPECT_EQ(curveWarning(2), "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE +9.93 - +20.0 C");
    EXPECT_EQ(curveWarning(3), "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.48 - +9.93 C");
    EXPECT_EQ(curveWarning(4), "         WARNING:    TEMPERATURE OUT OF ALLOwABLE RANGE -1.48 - -0.125 C");
    EXPECT_TRUE(curveWarning(7).empty());
}

TEST_F(PhaseCurveTest, OptionOneAtZeroIsItsConstantTerm) {
    EXPECT_EQ(pressureAt(1, 0), 34.776);
    EXPECT_EQ(core::formatDouble(curvePressureTemplate(1), m.P_bar / 10).text, "  3.478");
}

TEST_F(PhaseCurveTest, OptionTwoSumsItsNearlyCancellingTerms) {
    EXPECT_NEAR(pressureAt(2, 10), 49.97, 1e-9);
    EXPECT_EQ(core::formatDouble(curvePressureTemplate(2), m.P_bar / 10).text, "  4.9970");
    // Accepted up to 20 C although its pressure passes 100 MPa well before; the run's pressure
    // warning reports that.
    EXPECT_GT(pressureAt(2, 20), 1000);
}

TEST_F(PhaseCurveTest, OptionThreeExponentStaysSmallAndPositive) {
    for (double t = -1.48; t <= 9.93; t += 0.5) {
        const double mpa = pressureAt(3, t) / 10;
        EXPECT_GT(std::log(mpa), 0.05) << t;
        EXPECT_LT(std::log(mpa), 1.6) << t;
    }
    EXPECT_EQ(raised, 0);
}

TEST_F(PhaseCurveTest, OptionFourRisesLinearlyAsTheTemperatureFalls) {
    EXPECT_NEAR(pressureAt(4, -0.125), 0.07965 + 7.3651 * 0.125, 1e-12);
    const double a = pressureAt(4, -0.5), b = pressureAt(4, -1.0), c = pressureAt(4, -1.48);
    EXPECT_NEAR(b - a, 7.3651 * 0.5, 1e-12);
    EXPECT_GT(c, b);
}

TEST_F(PhaseCurveTest, CurvesMeetAtTheirCommonPoints) {
    // Options 3 and 4 at -1.48 C: hydrate, water, ice and vapour together.
    const double three = pressureAt(3, -1.48), four = pressureAt(4, -1.48);
    EXPECT_NEAR(three / four - 1, 0, 1e-3);
    // Options 1, 2 and 3 near 9.93 C: the upper quadruple point, 4.50 MPa (Sloan & Koh).
    for (int option : {1, 2, 3})
        EXPECT_NEAR(pressureAt(option, 9.93) / 45.0 - 1, 0, 0.02) << option;
}

TEST_F(PhaseCurveTest, UnknownOptionLeavesThePressureAlone) {
    m.P_bar = 12.5;
    pressureAt(0, 5);
    EXPECT_EQ(m.P_bar, 12.5);
    EXPECT_EQ(curvePressureTemplate(2), "###.####");
    EXPECT_EQ(curvePressureTemplate(3), "###.###");
}

} // namespace
} // namespace co2
