// The Spycher-Pruess-Ennis-King (2003) mutual solubilities: the paper's own check values, the RK
// volume against the cubic it solves, and its fugacity coefficients against the pressure
// derivative of the Gibbs energy taken by finite differences.
#include <gtest/gtest.h>

#include <cmath>

#include "co2model.hpp"
#include "model/spycher_pruess.h"

namespace co2 {
namespace {

// Spycher et al. (2003), the text's worked examples: y_H2O printed to three digits.
TEST(SpycherPruessTest, ReproducesThePapersCheckValues) {
    const struct { double t_C, P_MPa, y_H2O; } rows[] = {{50, 8.73, 0.00345}, {100, 8.79, 0.0187}};
    for (const auto& r : rows) {
        const sp2003::Solubilities s =
            sp2003::solve(r.t_C + 273.15, 10 * r.P_MPa, sp2003::Volume::redlichKwong);
        EXPECT_NEAR(s.y_H2O, r.y_H2O, 0.5e-5 * (r.y_H2O < 0.01 ? 1 : 10)) << r.t_C << " C";
        EXPECT_GT(s.x_CO2, 0.005);
        EXPECT_LT(s.x_CO2, 0.03);
    }
}

// The volume solves the RK equation of state, takes the liquid root in liquid CO2 and the gas root
// in the gas; and ln phi(CO2) of pure CO2 is the integral of (V/RT - 1/P) dP, checked through its
// derivative dlnphi/dP = V/RT - 1/P by central differences on each branch.
TEST(SpycherPruessTest, VolumeSolvesTheCubicAndFugacityFollowsFromIt) {
    const struct {
        double T, P_bar;
        bool liquid;
    } rows[] = {{298.15, 30, false}, {298.15, 100, true}, {323.15, 80, false},
                {323.15, 300, true}, {373.15, 600, true}, {288.15, 1, false}};
    for (const auto& r : rows) {
        const double V = sp2003::rkVolume(r.T, r.P_bar);
        const double a = sp2003::aCO2(r.T), b = sp2003::kBCO2;
        const double P = sp2003::kR * r.T / (V - b) - a / (std::sqrt(r.T) * V * (V + b));
        EXPECT_NEAR(P / r.P_bar, 1, 1e-9) << r.T << " K " << r.P_bar << " bar";
        EXPECT_EQ(V < 94, r.liquid) << V;
        const double h = r.P_bar * 1e-4;
        const auto lnPhi = [&](double p) {
            return sp2003::lnPhiRK(r.T, p, sp2003::rkVolume(r.T, p)).lnPhiCO2;
        };
        const double slope = (lnPhi(r.P_bar + h) - lnPhi(r.P_bar - h)) / (2 * h);
        EXPECT_NEAR(slope, V / (sp2003::kR * r.T) - 1 / r.P_bar, 1e-6 / r.P_bar) << r.T << " K " << r.P_bar;
    }
}

// The liquid-CO2 constant only where the paper applies it; a given volume keeps the gas constant,
// and the same volume gives the same numbers either way above 31 C.
TEST(SpycherPruessTest, ConstantsAndVolumeSources) {
    EXPECT_TRUE(sp2003::solve(298.15, 100, sp2003::Volume::redlichKwong).liquidConstant);
    EXPECT_FALSE(sp2003::solve(298.15, 30, sp2003::Volume::redlichKwong).liquidConstant);
    EXPECT_FALSE(sp2003::solve(308.15, 300, sp2003::Volume::redlichKwong).liquidConstant);
    const sp2003::Solubilities rk = sp2003::solve(333.15, 200, sp2003::Volume::redlichKwong);
    const sp2003::Solubilities given = sp2003::solve(333.15, 200, sp2003::Volume::given, rk.V);
    EXPECT_FALSE(given.liquidConstant);
    EXPECT_EQ(given.y_H2O, rk.y_H2O);
    EXPECT_EQ(given.x_CO2, rk.x_CO2);
    EXPECT_NEAR(rk.m_CO2, 55.508 * rk.x_CO2 / (1 - rk.x_CO2), 1e-12);
    // Salt lowers both: water activity below one, CO2 salted out.
    const sp2003::Solubilities brine =
        sp2003::solve(333.15, 200, sp2003::Volume::redlichKwong, 0, Brine::nacl(2), 1.5);
    EXPECT_LT(brine.y_H2O, rk.y_H2O);
    EXPECT_NEAR(brine.x_CO2 / rk.x_CO2, 1 / 1.5, 0.01);
    EXPECT_TRUE(sp2003::inRange(12, 600));
    EXPECT_FALSE(sp2003::inRange(11.9, 100));
    EXPECT_FALSE(sp2003::inRange(50, 600.1));
}

} // namespace
} // namespace co2

namespace co2 {
namespace {

// The library's y_H2O: the published form at the point's temperature and pressure, the mass
// fraction by molar masses, none where there is no liquid water, lowered by salt.
TEST(SpycherPruessTest, LibraryGivesTheWaterContentOfTheCo2Phase) {
    const Result r = run(Point::at(50, 8.73));
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_NEAR(r["y_H2O"], 0.00345, 0.5e-5);
    const double y = r["y_H2O"];
    EXPECT_NEAR(r["w_H2O_CO2phase"], y * 18.0153 / (y * 18.0153 + (1 - y) * 44.0098), 1e-7);
    const Result dry = run(Point::at(100, 0.05));
    EXPECT_TRUE(std::isnan(dry["y_H2O"]) && std::isnan(dry["w_H2O_CO2phase"]));
    Point brine = Point::at(50, 8.73);
    brine.brine = Brine::nacl(2);
    const Result salty = run(brine);
    ASSERT_TRUE(salty.ok()) << salty.message;
    EXPECT_NEAR(salty["y_H2O"] / y, 55.508 / (55.508 + 4), 0.01);
}

} // namespace
} // namespace co2

namespace co2 {
namespace {

// The second solubility model through the Point: the paper's check value, the Span-Wagner variant
// on this model's CO2 volume, the range flag, no solution quantities at another model's
// solubility, and an unknown model refused.
TEST(SpycherPruessTest, SecondSolubilityModelThroughThePoint) {
    Point p = Point::at(50, 8.73);
    p.solubilityModel = SolubilityModel::spycherPruess2003;
    const Result rk = run(p);
    ASSERT_TRUE(rk.ok()) << rk.message;
    EXPECT_NEAR(rk["y_H2O"], 0.00345, 0.5e-5);
    EXPECT_NEAR(rk["sol_m"], 55.508 * rk["sol_x"] / (100 - rk["sol_x"]), 1e-9);
    EXPECT_TRUE(std::isnan(rk["gamma_CO2"]));
    EXPECT_EQ(rk.flags & outsideSolubilityModel, 0u);
    p.solubilityModel = SolubilityModel::spycherPruess2003SpanWagner;
    const Result sw = run(p);
    const sp2003::Solubilities expected = sp2003::solve(323.15, 87.3, sp2003::Volume::given, sw["V_CO2"]);
    EXPECT_DOUBLE_EQ(sw["sol_x"], 100 * expected.x_CO2);
    EXPECT_DOUBLE_EQ(sw["y_H2O"], expected.y_H2O);
    p = Point::at(5, 10);
    p.solubilityModel = SolubilityModel::spycherPruess2003;
    EXPECT_NE(run(p).flags & outsideSolubilityModel, 0u);
    EXPECT_EQ(run(Point::at(5, 10)).flags & outsideSolubilityModel, 0u);
    p.solubilityModel = static_cast<SolubilityModel>(7);
    EXPECT_EQ(run(p).error, kErrorBadArgument);
    EXPECT_EQ(solubilityModelOfName("spycher-pruess-2003-sw"), SolubilityModel::spycherPruess2003SpanWagner);
    EXPECT_FALSE(solubilityModelOfName("spycher"));
}

} // namespace
} // namespace co2
