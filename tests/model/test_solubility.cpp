// Solubility and the solution at a chosen molality: the default (Enter keeps m = mSat) against a
// typed molality, the smallest molality, the excess entropies as temperature derivatives of the
// activity model, and one complete state point at 25 C and 10 MPa.
#include <gtest/gtest.h>

#include <cmath>

#include "co2_fixture.h"

namespace co2 {
namespace {

class SolubilityTest : public testing::ModelTest {};

constexpr double kR_J = 1.987191683 * 4.184;
constexpr double kMw = 18.0152 * 0.001; // kg of water per mole

// The solution block alone at (T, m), on top of whatever the model holds (it reads T, m, VH2O
// and V2 besides its own coefficients).
void solutionAt(Model& md, double T, double m) {
    md.T = T;
    md.m = m;
    finiteConcentration(md);
}

TEST_F(SolubilityTest, DefaultMolalityIsTheSolubilityItselfAndDrawsNoWarning) {
    statePoint(25, 10);
    runAtSolubility();
    EXPECT_EQ(md->m, md->mSat);
    EXPECT_FALSE(concentrationAboveSolubility(*md));
    // x at the default is xSat up to rounding, so the bulk volume is the saturation value.
    EXPECT_NEAR(md->x, md->xSat, 1e-15);
    EXPECT_NEAR(md->Vsol, (1 - md->xSat) * md->VH2O + md->xSat * md->V2, 1e-12);
    // The activity of water (printed) equals (1 - x) exp(lnGammaH2O).
    EXPECT_NEAR(std::exp(-md->phiOsm * md->m * kMw), (1 - md->x) * std::exp(md->lnGammaH2O), 1e-14);
    EXPECT_TRUE(raised.empty());
}

TEST_F(SolubilityTest, TypedMolalityAboveOrBelowTheSolubilityIsUsedAsTyped) {
    statePoint(25, 10);
    runAtSolubility();
    const double atDefault = md->lnGammaCO2;
    const double mSat = md->mSat;

    md->m = 2 * mSat;
    EXPECT_TRUE(concentrationAboveSolubility(*md));
    finiteConcentration(*md);
    EXPECT_NEAR(md->lnGammaCO2, 2 * md->Bact * 2 * mSat + 3 * md->Cact * 4 * mSat * mSat, 1e-15);
    EXPECT_NE(md->lnGammaCO2, atDefault);

    md->m = std::nextafter(mSat, 0.0); // the printed default rounded down and typed back
    EXPECT_FALSE(concentrationAboveSolubility(*md));
    md->m = std::nextafter(mSat, 2 * mSat); // rounded up: just above the solubility
    EXPECT_TRUE(concentrationAboveSolubility(*md));
}

TEST_F(SolubilityTest, SmallestMolalityGivesTheIdealDiluteLimitWithoutDividingByZero) {
    statePoint(25, 10);
    runAtSolubility();
    solutionAt(*md, md->T, 1e-8); // what a typed 0 becomes
    EXPECT_NEAR(md->phiOsm, 1.0, 1e-7);
    EXPECT_NEAR(md->lnGammaCO2, 0.0, 1e-9);
    EXPECT_NEAR(md->SexCO2, 0.0, 1e-7);
    EXPECT_NEAR(md->rhoSol, 18.0152 / md->VH2O, 1e-9);
    for (double v : {md->lnAH2O, md->SexH2O, md->CpexH2O, md->CpexCO2, md->Vsol})
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(raised.empty());
}

TEST_F(SolubilityTest, WaterExcessEntropyAtOneMolalityDoesNotDependOnTheSolubility) {
    statePoint(25, 10);
    runAtSolubility();
    const double m = 0.5 * md->mSat;
    solutionAt(*md, md->T, m);
    const double sex = md->SexH2O;
    md->mSat *= 3; // another state's solubility
    solutionAt(*md, md->T, m);
    EXPECT_EQ(md->SexH2O, sex);
}

TEST_F(SolubilityTest, ExcessEntropiesAreMinusRTimesTheTemperatureDerivativeOfTLnGamma) {
    // SexCO2 = -R d(T ln gamma2)/dT with ln gamma2 = 2 B m + 3 C m^2, and
    // SexH2O = R ln(1 + Mw m) - R d(T ln gamma1)/dT, both at fixed m. T ln gamma is cubic in T:
    // a centred difference with a 0.01 K step is off by about 1e-10 of the value.
    statePoint(25, 10);
    runAtSolubility();
    for (double T : {273.0, 298.15, 340.0, 373.0}) {
        for (double m : {0.1, 1.0, 2.5}) {
            SCOPED_TRACE(::testing::Message() << "T=" << T << " m=" << m);
            const double h = 0.01;
            solutionAt(*md, T + h, m);
            const double g2p = (T + h) * md->lnGammaCO2, g1p = (T + h) * md->lnGammaH2O;
            solutionAt(*md, T - h, m);
            const double g2m = (T - h) * md->lnGammaCO2, g1m = (T - h) * md->lnGammaH2O;
            solutionAt(*md, T, m);
            const double tol = 1e-8 * std::max(1.0, std::fabs(md->SexCO2));
            EXPECT_NEAR(md->SexCO2, -kR_J * (g2p - g2m) / (2 * h), tol);
            EXPECT_NEAR(md->SexH2O, kR_J * std::log(1 + kMw * m) - kR_J * (g1p - g1m) / (2 * h), tol);
        }
    }
}

TEST_F(SolubilityTest, ExcessHeatCapacitiesAreTTimesTheTemperatureDerivativeOfTheExcessEntropies) {
    // Cp = T dS/dT at fixed m for any excess property, so each excess heat capacity must carry the
    // sign of its entropy's slope. The entropies are quadratic in T plus a T-independent term:
    // a centred difference with a 0.01 K step is exact to rounding.
    statePoint(25, 10);
    runAtSolubility();
    for (double T : {273.0, 298.15, 340.0, 373.0}) {
        for (double m : {0.1, 1.0, 2.5}) {
            SCOPED_TRACE(::testing::Message() << "T=" << T << " m=" << m);
            const double h = 0.01;
            solutionAt(*md, T + h, m);
            const double s2p = md->SexCO2, s1p = md->SexH2O;
            solutionAt(*md, T - h, m);
            const double s2m = md->SexCO2, s1m = md->SexH2O;
            solutionAt(*md, T, m);
            const double dS2 = T * (s2p - s2m) / (2 * h), dS1 = T * (s1p - s1m) / (2 * h);
            EXPECT_NEAR(md->CpexCO2, dS2, 1e-6 * std::max(1.0, std::fabs(dS2)));
            EXPECT_NEAR(md->CpexH2O, dS1, 1e-6 * std::max(1.0, std::fabs(dS1)));
        }
    }
}

TEST_F(SolubilityTest, FullStatePointAt25CAnd10MPa) {
    statePoint(25, 10);
    runAtSolubility();
    EXPECT_TRUE(raised.empty());

    // Water is compressed liquid; CO2 is liquid (above its vapour pressure of 6.4 MPa at 25 C),
    // denser than its saturated liquid.
    EXPECT_GT(md->rhoH2O, 0.997);
    EXPECT_LT(md->rhoH2O, 1.01);
    EXPECT_GT(md->rhoCO2, static_cast<double>(co2SaturatedLiquidDensity(md->c, md->tau)));
    EXPECT_LT(md->fCO2, md->P_bar);
    EXPECT_GT(md->yCO2Vap, 0.99);

    // Henry's law with the vapour composition, then one correction of a few percent.
    EXPECT_NEAR(md->x0, md->fCO2 * md->yCO2Vap / std::exp(md->lnKH), 1e-15);
    EXPECT_LT(std::fabs(md->solCorr), 0.1);
    EXPECT_NEAR(md->mSat, 1000 / 18.0152 * md->xSat / (1 - md->xSat), 1e-12);
    // Measured solubilities at 25 C and 10 MPa cluster around 1.45 mol/kg (data compiled by
    // Spycher, Pruess & Ennis-King, Geochim. Cosmochim. Acta 67 (2003) 3015).
    EXPECT_GT(md->mSat, 1.35);
    EXPECT_LT(md->mSat, 1.55);

    // Dissolved CO2 makes the solution denser than water and lowers the activity of water.
    EXPECT_GT(md->rhoSol, md->rhoH2O);
    EXPECT_LT(md->lnAH2O, 0);
    EXPECT_GT(md->phiOsm, 0.9);
    EXPECT_LT(md->phiOsm, 1.0);

    // Entering a smaller molality afterwards changes the solution block only.
    const double lnKH = md->lnKH;
    const double mSat = md->mSat;
    md->m = 0.5;
    finiteConcentration(*md);
    EXPECT_EQ(md->lnKH, lnKH);
    EXPECT_EQ(md->mSat, mSat);
    EXPECT_LT(md->rhoSol, 1.0175);
    EXPECT_GT(md->rhoSol, md->rhoH2O);
}

TEST_F(SolubilityTest, PressureBelowWaterSaturationIsComputedToANegativeSolubilityWithoutError) {
    statePoint(100, 0.1); // water is vapour here: yCO2Vap < 0
    runAtSolubility();
    EXPECT_TRUE(belowSaturation(*md));
    EXPECT_LT(md->yCO2Vap, 0);
    EXPECT_LT(md->xSat, 0);
    EXPECT_TRUE(std::isfinite(md->rhoSol));
    EXPECT_TRUE(raised.empty());
}

TEST_F(SolubilityTest, NegativeMolalityBeyondPureSoluteRaisesIllegalFunctionCallAndStaysFinite) {
    statePoint(25, 10);
    runAtSolubility();
    solutionAt(*md, md->T, -100); // 1 - x < 0: ln of a negative number
    EXPECT_TRUE(wasRaised(5));
    for (double v : {md->lnAH2O, md->phiOsm, md->SexH2O, md->Vsol, md->rhoSol})
        EXPECT_TRUE(std::isfinite(v));
}

} // namespace
} // namespace co2
