// Start-up loading: the values and their places in the checked coefficient arrays.
//
// Reference values: the coefficient lists of Hill (1990) for water and Span & Wagner (1996) for
// carbon dioxide as the calculator stores them; R_J = 1.987191683 cal/(mol K) x 4.184 J/cal.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "model/constants.h"

namespace co2 {
namespace {

class ConstantsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        errors.observer = [this](std::uint32_t code, std::uint32_t) { raised.push_back(code); };
        scope.emplace(errors);
        loadConstants(c);
    }
    void TearDown() override { scope.reset(); }

    Constants c;
    core::ErrorState errors;
    std::vector<std::uint32_t> raised;
    std::optional<core::ErrorScope> scope;
};

TEST_F(ConstantsTest, ScalarsAreTheStatedDoubles) {
    EXPECT_EQ(Constants::R_J, 8.314410001672);
    EXPECT_EQ(Constants::LN10, 2.302585093); // not the true ln 10
    EXPECT_NE(Constants::LN10, 2.302585092994046);
    EXPECT_EQ(Constants::Tc, 647.067);
    EXPECT_EQ(Constants::rhoC, 0.322778);
}

TEST_F(ConstantsTest, NonAnalyticAndGaussianParametersLandInTheirSlots) {
    EXPECT_EQ(c.swA(42), 3.0);
    EXPECT_EQ(c.swCapB(42), 1.0);
    EXPECT_EQ(c.swCapC(42), 12.5);
    for (int i = 40; i <= 42; ++i)
        EXPECT_EQ(c.swBeta(i), 0.3) << i;
    const double gaussianBeta[] = {325, 300, 300, 275, 275};
    for (int i = 35; i <= 39; ++i)
        EXPECT_EQ(c.swBeta(i), gaussianBeta[i - 35]) << i;
    EXPECT_EQ(c.swN(1), 0.38856823203161);
    EXPECT_EQ(c.swN(42), 0.055068668612842);
    EXPECT_EQ(c.swD(39), 3.0);
    EXPECT_EQ(c.swT(33), 28.0);
    EXPECT_EQ(c.swC(8), 1.0);
    EXPECT_EQ(c.swC(34), 6.0);
    EXPECT_EQ(c.swCapD(40), 275);
    EXPECT_EQ(c.co2IdealTheta(8), 27.08792);
    EXPECT_EQ(c.co2RhoVapT(5), 4.6666666667);
}

TEST_F(ConstantsTest, ItemsWrittenWithAnExponent) {
    EXPECT_EQ(c.h2oRhoLiqB(3), -0.512506);
    EXPECT_EQ(c.h2oRhoLiqB(6), -675615.0);
}

TEST_F(ConstantsTest, UnloadedElementsStayZero) {
    for (int i = 0; i <= 3; ++i)
        EXPECT_EQ(c.co2IdealTheta(i), 0) << i;
    for (int i = 0; i <= 7; ++i)
        EXPECT_EQ(c.swC(i), 0) << i;
    for (int i = 0; i <= 34; ++i)
        EXPECT_EQ(c.swAlpha(i), 0) << i;
    for (int i = 0; i <= 39; ++i)
        EXPECT_EQ(c.swA(i), 0) << i;
    EXPECT_EQ(c.h2oPsatA(0), 0);
    EXPECT_EQ(c.swN(0), 0);
    EXPECT_TRUE(raised.empty());
}

TEST_F(ConstantsTest, WaterMatricesHoldExactlyTheListedElements) {
    auto count = [](const auto& matrix, int ni, int nj) {
        int nonzero = 0;
        for (int i = 0; i <= ni; ++i)
            for (int j = 0; j <= nj; ++j)
                nonzero += matrix(i, j) != 0;
        return nonzero;
    };
    EXPECT_EQ(count(c.h2oCoefA, 7, 7), 18);
    EXPECT_EQ(count(c.h2oCoefB, 7, 12), 25);
    EXPECT_EQ(count(c.h2oCoefC, 5, 5), 12);
    EXPECT_EQ(count(c.h2oCoefD, 5, 10), 9);
    EXPECT_EQ(c.h2oCoefA(4, 1), 0.3384249125);
    EXPECT_EQ(c.h2oCoefA(3, 7), 0.003946510403);
    EXPECT_EQ(c.h2oCoefB(1, 12), 0.0005364384732);
    EXPECT_EQ(c.h2oCoefC(5, 5), 0.00804167215);
    EXPECT_EQ(c.h2oCoefD(1, 2), -50.25818675);
    EXPECT_EQ(c.h2oCoefD(5, 10), 0.0003326628664);
    EXPECT_TRUE(raised.empty());
}

TEST_F(ConstantsTest, IndexOutsideTheDeclaredBoundsRaisesError9) {
    const double beyond = c.swN(43); // reads element 0 instead
    EXPECT_EQ(beyond, 0);
    core::statementEnd(1);
    const double negative = c.h2oCoef8(-1);
    EXPECT_EQ(negative, 0);
    core::statementEnd(2);
    const double row = c.h2oCoefA(8, 1);
    EXPECT_EQ(row, c.h2oCoefA(0, 1));
    core::statementEnd(3);
    const double column = c.h2oCoefB(1, 13);
    EXPECT_EQ(column, c.h2oCoefB(1, 0));
    core::statementEnd(4);
    EXPECT_EQ(raised, std::vector<std::uint32_t>(4, 9));
}

} // namespace
} // namespace co2
