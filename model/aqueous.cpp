#include "model/aqueous.h"

#include <cstdint>

#include "core/math.h"
#include "model/arith.h"
#include "model/statements.h"

namespace co2 {

namespace {

using core::ext;

// 10^1.5, formed by the power function every time it occurs, as the model always did.
template <class A> typename A::Real tenPow15() {
    return A::pow(10, 1.5L);
}

// With W(T, P) = rho1 (aqA + aqB (1000/T)^0.5) the water-density term of ln kH:
//   T W      = rho1 (aqA T + aqB 10^1.5 T^0.5)
//   wTermP   = d(T W)/dP,  wTermS = d(T W)/dT,  wTermC = d2(T W)/dT2
//   Gaq      = g0CO2 + R T (ln kH - ln(1000/M1))
//   S2 = -dGaq/dT,  V2 = dGaq/dP,  Cp2 = T dS2/dT
template <class A> void infiniteDilution(Model& md) {
    using R = typename A::Real;
    const auto lnValue = [](R x) { return A::ln(x); };
    const auto powValue = [](R a, R b) { return A::pow(a, b); };
    const double T = md.T;
    const R t = T;
    const R xi = Constants::aqXi;
    const R aqA = Constants::aqA;
    const R aqB = Constants::aqB;
    const R R_J = Constants::R_J;
    const R R_V = Constants::R_V;
    const R M1 = Constants::M_H2O;
    const R rho1 = md.rhoH2O;
    const R drhodP = md.drhoH2OdP;
    const R drhodT = md.drhoH2OdT;
    const R d2rhodT2 = md.d2rhoH2OdT2;

    const double h = store(R(0.5L) * (aqA + aqB * powValue(1000 / t, 0.5L)));
    done(60051);
    md.wTerm = store(2 * rho1 * h);
    done(60053);
    const double wTT = store(t * md.wTerm);
    done(60055);
    md.wTermP = store((aqA * t + aqB * tenPow15<A>() * powValue(t, 0.5L)) * drhodP);
    done(60057);
    md.wTermS = store(aqA * (rho1 + t * drhodT));
    done(60059);
    md.wTermS = store(md.wTermS + aqB * (tenPow15<A>() * powValue(t, 0.5L) * drhodT +
                                         R(0.5L) * tenPow15<A>() * powValue(t, -0.5L) * rho1));
    done(60062);
    md.wTermC = store(aqA * (2 * drhodT + t * d2rhodT2));
    done(60064);
    md.wTermC = store(md.wTermC + aqB * (tenPow15<A>() * powValue(t, 0.5L) * d2rhodT2 +
                                         tenPow15<A>() * powValue(t, -0.5L) * drhodT -
                                         R(0.25L) * tenPow15<A>() * powValue(t, -1.5L) * rho1));
    done(60068);

    md.lnKH = store((1 - xi) * md.lnFH2O + xi * lnValue(R_V / M1 * t * rho1) + md.wTerm);
    done(60071);

    const double RT = store(R_J * t);
    md.Gaq = store(md.g0CO2 - RT * lnValue(1000 / M1));
    done(60075);
    md.Gaq = store(md.Gaq + R_J * t * (1 - xi) * md.lnFH2O);
    done(60077);
    md.Gaq = store(md.Gaq + R_J * t * xi * lnValue(R_V / M1 * t * rho1));
    done(60079);
    md.Gaq = store(md.Gaq + R_J * wTT);
    done(60081);

    md.S2 = store(md.s0CO2 + R_J * lnValue(1000 / M1));
    done(60084);
    md.S2 = store(md.S2 + (1 - xi) * (R{md.SH2O} - md.s0H2O));
    done(60086);
    md.S2 = store(md.S2 - R_J * xi * (lnValue(rho1) + lnValue(R_V / M1 * t) + 1 + (t / rho1) * drhodT));
    done(60088);
    md.S2 = store(md.S2 - R_J * md.wTermS);
    done(60090);

    md.V2 = store((1 - xi) * md.VH2O + (xi * R_V * t / rho1) * drhodP);
    done(60093);
    md.V2 = store(md.V2 + R_V * md.wTermP);
    done(60095);

    // The solute's heat capacity starts from the ideal gas, as Gaq and S2 start from g0CO2 and s0CO2;
    // the real-gas CpCO2 of pure CO2 has no place in a property at infinite dilution (near its
    // critical point it is many times the ideal value).
    md.Cp2 = store(R{md.cp0CO2} + (1 - xi) * (R{md.CpH2O} - md.cp0H2O));
    done(60101);
    md.Cp2 = store(md.Cp2 - R_J * xi *
                                (1 + 2 * (t / rho1) * drhodT -
                                 (powValue(t, 2) / powValue(rho1, 2)) * powValue(drhodT, 2) +
                                 (powValue(t, 2) / rho1) * d2rhodT2));
    done(60106);
    md.Cp2 = store(md.Cp2 - R_J * t * md.wTermC);
    done(60108);
}

} // namespace

void infiniteDilution(Model& md) {
    arith::onPath(md, [&](auto path) { infiniteDilution<decltype(path)>(md); });
}

bool temperatureOutOfRange(double T_C) {
    const float t = core::toSingle(T_C);
    return t > 100.005F || t < -1.48005F;
}

bool pressureOutOfRange(double P_bar) {
    return P_bar > 1000.0;
}

} // namespace co2
