#include "model/solubility.h"

#include <cstdint>

#include "core/math.h"
#include "model/arith.h"
#include "model/statements.h"

namespace co2 {

namespace {

using core::ext;

// x0 = fCO2 y / kH, then one empirical correction in X = 100 x0 (mol%) and T_C:
//   solCorr = c0 + c1 T_C + c2 X + c3 T_C X + c4 X^2 + c5 T_C X^2,   xSat = x0 (1 + solCorr)
template <class A> void solubility(Model& md) {
    using R = typename A::Real;
    const auto expValue = [](R x) { return A::exp(x); };
    const auto powValue = [](R a, R b) { return A::pow(a, b); };
    const R M1 = Constants::M_H2O;
    md.x0 = store(md.fCO2 / expValue(md.lnKH) * md.yCO2Vap);
    done(70032);
    const R X = 100 * R{md.x0};
    const R tc = md.T_C;
    md.solCorr = store(3.63579e-5 - 4.47782e-6 * tc + 0.0073101 * X + 0.000118833 * tc * X -
                       0.00749356 * powValue(X, 2) + 5.41469e-5 * tc * powValue(X, 2));
    done(70037);
    md.xSat = store(md.x0 * (R{md.solCorr} + 1));
    done(70039);
    md.mSat = store((1000 / M1) * md.xSat / (1 - R{md.xSat}));
    done(70041);
}

// Activity model of the solution, molal scale for CO2 (2):
//   ln gamma2 = 2 B m + 3 C m^2,   B, C quadratic in T
//   ln gamma1 = -(M1/1000) (B m^2 + 2 C m^3)            (mole-fraction scale)
// Excess entropies are -R d(T ln gamma)/dT, excess heat capacities their T d/dT.
template <class A> void finiteConcentration(Model& md) {
    using R = typename A::Real;
    const auto lnValue = [](R x) { return A::ln(x); };
    const auto powValue = [](R a, R b) { return A::pow(a, b); };
    const R T = md.T;
    const R m = md.m;
    const R R_J = Constants::R_J;
    const R M1 = Constants::M_H2O;
    const R M2 = Constants::M_CO2;
    const R kgPerG = 0.001; // M1 * 0.001: kg of water per mole

    md.x = store(m / (1000 / M1 + m));
    done(70061);
    md.Bact = store(0.000244885 * T - 0.0495425 - 4.81314e-7 * powValue(T, 2));
    done(70063);
    md.Cact = store(0.0727795 - 0.000341441 * T + 4.07664e-7 * powValue(T, 2));
    done(70065);
    md.dBact = store(0.000244885 - 9.62628e-7 * T);
    done(70067);
    md.d2Bact = -9.62628e-7;
    done(70069);
    md.dCact = store(8.15328e-7 * T - 0.000341441);
    done(70071);
    md.d2Cact = 8.15328e-7;
    done(70073);

    const R B = md.Bact;
    const R C = md.Cact;
    const R dB = md.dBact;
    const R d2B = md.d2Bact;
    const R dC = md.dCact;
    const R d2C = md.d2Cact;

    md.lnGammaCO2 = store(2 * B * m + 3 * C * powValue(m, 2));
    done(70083);
    md.lnGammaH2O = store(-(M1 * kgPerG) * (B * powValue(m, 2) + 2 * C * powValue(m, 3)));
    done(70085);
    md.lnAH2O = store(lnValue(1 - R{md.x}) + md.lnGammaH2O);
    done(70087);
    md.phiOsm = store(-R{md.lnAH2O} / (M1 * kgPerG * m));
    done(70089);

    // Both bracket terms at the molality m: the excess entropy at one molality does not depend on
    // the solubility.
    md.SexH2O = store(R_J * lnValue(1 + M1 * kgPerG * m));
    done(70094);
    md.SexH2O =
        store(md.SexH2O + R_J * M1 * kgPerG * m * ((B + T * dB) * m + 2 * (C + T * dC) * powValue(m, 2)));
    done(70097);
    // Factor 3 on the C term: this is -R d(T ln gamma2)/dT of ln gamma2 = 2 B m + 3 C m^2.
    md.SexCO2 = store(-R_J * (2 * (B + T * dB) * m + 3 * (C + T * dC) * powValue(m, 2)));
    done(70100);
    md.CpexH2O = store(T * R_J * M1 * kgPerG * m * // Cpex = T dSex/dT: the signs follow the entropies'
                       ((2 * dB + T * d2B) * m + 2 * (2 * dC + T * d2C) * powValue(m, 2)));
    done(70103);
    md.CpexCO2 = store(-T * R_J * (2 * (2 * dB + T * d2B) * m + 3 * (2 * dC + T * d2C) * powValue(m, 2)));
    done(70105);

    const R x = md.x;
    md.Vsol = store((1 - x) * md.VH2O + x * md.V2);
    done(70109);
    md.rhoSol = store(((1 - x) * M1 + x * M2) / md.Vsol);
    done(70111);
}

} // namespace

void solubility(Model& md) {
    arith::onPath(md, [&](auto path) { solubility<decltype(path)>(md); });
}

bool concentrationAboveSolubility(const Model& md) {
    return md.m > md.mSat;
}

void finiteConcentration(Model& md) {
    arith::onPath(md, [&](auto path) { finiteConcentration<decltype(path)>(md); });
}

} // namespace co2
