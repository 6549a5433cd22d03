#include "model/co2.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "model/arith.h"
#include "model/co2_fast.h"
#include "model/last_block.h"
#include "model/memo_math.h"
#include "model/statements.h"

namespace co2 {

namespace {

using core::ext;
using core::lnValue;
using memo::expValue;
using memo::powValue;

// Span-Wagner (1996): critical temperature (K), critical density (g/cm3), critical pressure of the
// vapour-pressure auxiliary (bar), molar mass (g/mol).
constexpr double kTc = Constants::TcCO2;
constexpr double kRhoC = Constants::rhoCCO2;
constexpr double kPc = Constants::pcCO2;
constexpr double kM = Constants::M_CO2;
// The only gas constant of the equation of state's pressure: cm3 bar/(mol K).
constexpr double kR = Constants::R_V;
// Specific gas constant of CO2 in the Helmholtz-based caloric properties, J/(g K).
constexpr double kRSpecific = 0.1889241;
// Offsets that put S and h on the scale of the formation functions.
constexpr double kSOffset = 213.7171;
constexpr double kHOffset = 393510;
// Ideal-gas CO2 at Tr = 298.15 K and 1 bar: entropy, J/(mol K), and Gibbs energy of formation,
// J/mol.
constexpr double kS0r = 213.785;
constexpr double kG0r = -394414.3;
// Ideal-gas heat capacity Cp0 = a + b T + c / T^2 + d / sqrt(T), J/(mol K); the integrals below
// carry the coefficients as a, -b/2, c/2 and -2d.
constexpr double kCpA = 88.11;
constexpr double kCpB = -0.002698;
constexpr double kHalfCpB = 0.001349;   // -b/2
constexpr double kHalfCpC = 361600;     // c/2
constexpr double kTwiceMinusCpD = 2014; // -2d

// Convergence of the density solve: relative pressure deviation, compared in single precision.
constexpr float kPressureTolerance = 0.00001F;
// Upper density bound of the Newton iterate (g/cm3), also compared in single precision, and the
// restart density after a step below zero.
constexpr float kRhoMax = 1.7F;
constexpr double kRhoMaxStored = 1.7;
constexpr double kRhoRestart = 0.005;
// Extra molar volume of the supercritical start over the ideal gas, cm3/mol.
constexpr double kStartCovolume = 30;

// w: the ideal gas at P_bar has the density P_bar / w (cm3 bar/g).
template <class R> R idealGasW(double T) {
    return R{kR} * T / kM;
}

// ---- the residual part ----------------------------------------------------------------------

// The non-analytic terms divide by (delta - 1) and raise q = (delta - 1)^2 to negative powers;
// their limits at delta = 1 are finite. This is the one place where delta is moved: a density
// within a few ulps of the critical one is evaluated at 1 + 10 eps instead, which changes no
// printed digit and keeps every term finite (also at tau = 1, where Delta would vanish).
double offCriticalDensity(double delta) {
    constexpr double kNudge = 10 * DBL_EPSILON;
    return std::fabs(delta - 1) < kNudge ? 1 + kNudge : delta;
}

// kAllSums: all six sums (co2Helmholtz); otherwise phi^r_d and phi^r_dd only (the density solve).
template <bool kAllSums> Co2Residual residual(const Constants& c, double delta, double tau) {
    Co2Residual r;
    const ext dl = delta;
    const ext ta = tau;

    // Polynomial terms, i = 1..7: n delta^d tau^t.
    for (int i = 1; i <= 7; ++i) {
        const ext n = c.swN(i);
        const ext d = c.swD(i);
        const ext t = c.swT(i);
        // Each power once per term (the same value wherever it appears).
        const ext dd1 = powValue(dl, d - 1);
        const ext dd2 = powValue(dl, d - 2);
        const ext tt = powValue(ta, t);
        ext dd = 0, tt1 = 0, tt2 = 0;
        if constexpr (kAllSums) {
            dd = powValue(dl, d);
            tt1 = powValue(ta, t - 1);
            tt2 = powValue(ta, t - 2);
        }
        if constexpr (kAllSums) {
            r.phi = store(r.phi + n * dd * tt);
            done(50101);
        }
        r.phi_d = store(r.phi_d + n * d * dd1 * tt);
        done(50104);
        r.phi_dd = store(r.phi_dd + n * d * (d - 1) * dd2 * tt);
        done(50106);
        if constexpr (kAllSums) {
            r.phi_t = store(r.phi_t + n * t * dd * tt1);
            done(50109);
            r.phi_tt = store(r.phi_tt + n * t * (t - 1) * dd * tt2);
            done(50111);
            r.phi_dt = store(r.phi_dt + n * d * t * dd1 * tt1);
            done(50113);
        }
    }

    // Exponential terms, i = 8..34: n delta^d tau^t X, X = exp(-delta^c).
    for (int i = 8; i <= 34; ++i) {
        const ext n = c.swN(i);
        const ext d = c.swD(i);
        const ext t = c.swT(i);
        const ext cc = c.swC(i);
        const ext dc = powValue(dl, cc); // delta^c
        const ext X = expValue(-dc);
        done(50125);
        const ext dd1 = powValue(dl, d - 1);
        const ext dd2 = powValue(dl, d - 2);
        const ext tt = powValue(ta, t);
        ext dd = 0, tt1 = 0, tt2 = 0;
        if constexpr (kAllSums) {
            dd = powValue(dl, d);
            tt1 = powValue(ta, t - 1);
            tt2 = powValue(ta, t - 2);
        }
        if constexpr (kAllSums) {
            r.phi = store(r.phi + n * dd * tt * X);
            done(50137);
        }
        r.phi_d = store(r.phi_d + n * X * dd1 * tt * (d - cc * dc));
        done(50140);
        r.phi_dd = store(r.phi_dd + n * X * dd2 * tt * ((d - cc * dc) * (d - 1 - cc * dc) - cc * cc * dc));
        done(50142);
        if constexpr (kAllSums) {
            r.phi_t = store(r.phi_t + n * t * dd * tt1 * X);
            done(50145);
            r.phi_tt = store(r.phi_tt + n * t * (t - 1) * dd * tt2 * X);
            done(50147);
            r.phi_dt = store(r.phi_dt + n * t * dd1 * tt1 * (d - cc * dc) * X);
            done(50149);
        }
    }

    // Gaussian terms, i = 35..39: n delta^d tau^t G,
    //   G = exp(-alpha (delta - eps)^2 - beta (tau - gamma)^2),
    //   Fd = d/delta - 2 alpha (delta - eps),  Ft = t/tau - 2 beta (tau - gamma).
    for (int i = 35; i <= 39; ++i) {
        const ext n = c.swN(i);
        const ext d = c.swD(i);
        const ext t = c.swT(i);
        const ext alpha = c.swAlpha(i);
        const ext beta = c.swBeta(i);
        const ext gamma = c.swGamma(i);
        const ext eps = c.swEps(i);
        const ext de2 = powValue(dl - eps, 2);
        const ext G = expValue(-alpha * de2 - beta * powValue(ta - gamma, 2));
        done(50166);
        const ext Fd = d / dl - 2 * alpha * (dl - eps);
        const ext Ft = t / ta - 2 * beta * (ta - gamma);
        const ext dd = powValue(dl, d);
        const ext tt = powValue(ta, t);
        if constexpr (kAllSums) {
            r.phi = store(r.phi + n * dd * tt * G);
            done(50173);
        }
        r.phi_d = store(r.phi_d + n * dd * tt * G * Fd);
        done(50176);
        r.phi_dd = store(r.phi_dd + n * tt * G *
                                        (-2 * alpha * dd + 4 * alpha * alpha * dd * de2 -
                                         4 * d * alpha * powValue(dl, d - 1) * (dl - eps) +
                                         d * (d - 1) * powValue(dl, d - 2)));
        done(50181);
        if constexpr (kAllSums) {
            r.phi_t = store(r.phi_t + n * dd * tt * G * Ft);
            done(50184);
            r.phi_tt = store(r.phi_tt + n * dd * tt * G * (powValue(Ft, 2) - t / powValue(ta, 2) - 2 * beta));
            done(50186);
            r.phi_dt = store(r.phi_dt + n * dd * tt * G * Fd * Ft);
            done(50188);
        }
    }

    // Non-analytic terms, i = 40..42: n Delta^b delta Psi, with q = (delta - 1)^2,
    //   theta = (1 - tau) + A q^(1/(2 beta)),  Delta = theta^2 + B q^a,
    //   Psi = exp(-C q - D (tau - 1)^2).
    // Every fractional power is taken of q, never of delta - 1.
    const ext dn = offCriticalDensity(delta);
    const ext dm1 = dn - 1;
    const ext q = powValue(dm1, 2);
    for (int i = 40; i <= 42; ++i) {
        const ext n = c.swN(i);
        const ext a = c.swA(i);
        const ext b = c.swB(i);
        const ext beta = c.swBeta(i);
        const ext A = c.swCapA(i);
        const ext B = c.swCapB(i);
        const ext C = c.swCapC(i);
        const ext D = c.swCapD(i);
        const ext halfInvBeta = 1 / (2 * beta);

        const ext qb1 = powValue(q, halfInvBeta - 1); // q^(1/(2 beta) - 1)
        const ext theta = (1 - ta) + A * powValue(q, halfInvBeta);
        const ext Delta = powValue(theta, 2) + B * powValue(q, a);
        const ext Psi = expValue(-C * q - D * powValue(ta - 1, 2));
        done(50214);
        const ext Delta_d = dm1 * (2 * a * B * powValue(q, a - 1) + (2 * A * theta / beta) * qb1);
        const ext Delta_dd =
            Delta_d / dm1 + q * (4 * B * a * (a - 1) * powValue(q, a - 2) +
                                 2 * A * A * powValue(1 / beta, 2) * powValue(qb1, 2) +
                                 (4 * A * theta / beta) * (halfInvBeta - 1) * powValue(q, halfInvBeta - 2));
        const ext Db = powValue(Delta, b); // Delta^b
        const ext Db1 = powValue(Delta, b - 1);
        const ext Db2 = powValue(Delta, b - 2);
        const ext Db_d = b * Db1 * Delta_d;
        const ext Db_dd = b * (Db1 * Delta_dd + (b - 1) * Db2 * powValue(Delta_d, 2));
        const ext Db_t = -2 * theta * b * Db1;
        const ext Db_tt = 2 * b * Db1 + 4 * powValue(theta, 2) * b * (b - 1) * Db2;
        const ext Db_dt = -(2 * A * b / beta) * Db1 * dm1 * qb1 - 2 * theta * b * (b - 1) * Db2 * Delta_d;
        const ext Psi_d = -2 * C * dm1 * Psi;
        const ext Psi_t = -2 * D * (ta - 1) * Psi;
        const ext Psi_dd = (2 * C * q - 1) * 2 * C * Psi;
        const ext Psi_tt = (2 * D * powValue(ta - 1, 2) - 1) * 2 * D * Psi;
        const ext Psi_dt = 4 * C * D * dm1 * (ta - 1) * Psi;
        done(50233);

        if constexpr (kAllSums) {
            r.phi = store(r.phi + n * Db * dn * Psi);
            done(50237);
        }
        r.phi_d = store(r.phi_d + n * (Db * (Psi + dn * Psi_d) + Db_d * dn * Psi));
        done(50240);
        r.phi_dd = store(r.phi_dd + n * (Db * (2 * Psi_d + dn * Psi_dd) + 2 * Db_d * (Psi + dn * Psi_d) +
                                         Db_dd * dn * Psi));
        done(50243);
        if constexpr (kAllSums) {
            r.phi_t = store(r.phi_t + n * dn * (Db_t * Psi + Db * Psi_t));
            done(50246);
            r.phi_tt = store(r.phi_tt + n * dn * (Db_tt * Psi + 2 * Db_t * Psi_t + Db * Psi_tt));
            done(50248);
            r.phi_dt = store(r.phi_dt + n * (Db * (Psi_t + dn * Psi_dt) + dn * Db_d * Psi_t +
                                             Db_t * (Psi + dn * Psi_d) + Db_dt * dn * Psi));
            done(50251);
        }
    }
    return r;
}

// ---- pieces, on either arithmetic path -----------------------------------------------------

// phi0 = ln delta + a1 + a2 tau + a3 ln tau + sum_{i=4..8} a_i ln(1 - E_i),  E_i = exp(-theta_i tau)
// What of it depends on tau alone: ln tau, phi_t, phi_tt and the terms a_i ln(1 - E_i), each in
// the path's intermediate precision, so that phi adds them up as one expression would.
template <class R> struct Co2IdealTau {
    R lnTau{};
    double phi_t = 0, phi_tt = 0;
    std::array<R, 9> lnTerm{}; // i = 4..8
};

template <class A> Co2IdealTau<typename A::Real> idealTau(const Constants& c, double tau) {
    using R = typename A::Real;
    Co2IdealTau<R> p;
    const R ta = tau;
    const R a2 = c.co2IdealA(2);
    const R a3 = c.co2IdealA(3);
    p.lnTau = A::ln(ta); // tau > 0: cannot fail
    p.phi_t = store(a2 + a3 / ta);
    done(50275);
    p.phi_tt = store(-a3 / A::pow(ta, 2));
    done(50277);
    for (int i = 4; i <= 8; ++i) {
        const R a = c.co2IdealA(i);
        const R th = c.co2IdealTheta(i);
        const R E = A::exp(-th * ta);
        done(50282);
        p.lnTerm[static_cast<std::size_t>(i)] = a * A::ln(1 - E);
        done(50284);
        p.phi_t = store(p.phi_t + a * th * (A::pow(1 - E, -1) - 1));
        done(50286);
        p.phi_tt = store(p.phi_tt - a * A::pow(th, 2) * E * A::pow(1 - E, -2));
        done(50288);
    }
    return p;
}

// The fast path keeps the tau part of the last temperature of this thread.
template <class A> Co2IdealTau<typename A::Real> idealTauOf(const Constants& c, double tau) {
    return keptFor<A>(blockKey(std::array{tau}, c.co2IdealA.raw(), c.co2IdealTheta.raw()),
                      [&] { return idealTau<A>(c, tau); });
}

template <class A> Co2Ideal ideal(const Constants& c, double delta, double tau) {
    using R = typename A::Real;
    const Co2IdealTau<R> p = idealTauOf<A>(c, tau);
    Co2Ideal r;
    const R ta = tau;
    const R a1 = c.co2IdealA(1);
    const R a2 = c.co2IdealA(2);
    const R a3 = c.co2IdealA(3);
    r.phi = store(A::ln(delta) + a1 + a2 * ta + a3 * p.lnTau);
    done(50273);
    for (std::size_t i = 4; i <= 8; ++i)
        r.phi = store(r.phi + p.lnTerm[i]);
    r.phi_t = p.phi_t;
    r.phi_tt = p.phi_tt;
    return r;
}

// p_s = pc exp(tau sum a_i theta_s^t_i),  theta_s = 1 - 1/tau
template <class A> double saturationPressure(const Constants& c, double tau) {
    using R = typename A::Real;
    const R thetaS = 1 - 1 / R{tau};
    double sum = 0;
    for (int i = 1; i <= 4; ++i) {
        sum = store(sum + c.co2PsatA(i) * A::pow(thetaS, c.co2PsatT(i)));
        done(50299);
    }
    const double ps = store(kPc * A::exp(R{tau} * sum));
    done(50302);
    return ps;
}

// rho' = rhoC exp(sum a_i theta_s^t_i)
template <class A> double saturatedLiquidDensity(const Constants& c, double tau) {
    using R = typename A::Real;
    const R thetaS = 1 - 1 / R{tau};
    double sum = 0;
    for (int i = 1; i <= 4; ++i) {
        sum = store(sum + c.co2RhoLiqA(i) * A::pow(thetaS, c.co2RhoLiqT(i)));
        done(50312);
    }
    const double rho = store(kRhoC * A::exp(sum));
    done(50315);
    return rho;
}

template <class A> typename A::Real idealGasCp(double T) {
    using R = typename A::Real;
    const R t = T;
    return kCpA + kCpB * t + 2 * kHalfCpC / A::pow(t, 2) - (kTwiceMinusCpD / 2) / A::pow(t, R(0.5L));
}

// phi^r_d and phi^r_dd (the density solve) or all six sums (co2Helmholtz). The fast kernel
// declines states where a checked function of the calculator's kernel could fail; that kernel then
// raises the error at its own statement.
template <class A, bool kAllSums>
Co2Residual residualOf(const Constants& c, const Co2TauTerms* terms, double delta, double tau) {
    if constexpr (A::kFast) {
        Co2Residual r;
        if (terms != nullptr && co2ResidualFast(c, *terms, delta, tau, kAllSums, r)) return r;
    }
    return residual<kAllSums>(c, delta, tau);
}

// The fast kernel's tau-only terms, once per solve (none on the calculator's path).
template <class A> const Co2TauTerms* tauTermsOf(const Constants& c, double tau) {
    if constexpr (A::kFast) return co2TauTerms(c, tau);
    return nullptr;
}

// ---- the section ------------------------------------------------------------------------------

template <class A> void start(Model& md) {
    using R = typename A::Real;
    if (!(md.T > 0)) {
        // No temperature at or below absolute zero has a carbon dioxide state. Report it once and
        // leave the section's results at 0 instead of letting every later statement fail on its own
        // (which would show one error box per statement, thousands in the density solve).
        core::raiseError(core::ErrorCode::illegalFunctionCall);
        md.tau = 0;
        md.rho = md.delta = 0;
        md.phi0 = md.phi0_t = md.phi0_tt = 0;
        md.phiR = md.phiR_d = md.phiR_dd = md.phiR_t = md.phiR_tt = md.phiR_dt = 0;
        md.rhoCO2 = md.VCO2 = md.SCO2 = md.CpCO2 = md.gCO2 = md.hCO2 = md.fCO2 = md.lnPhiCO2 = 0;
        md.s0CO2 = md.g0CO2 = md.cp0CO2 = 0;
        done(50338);
        return;
    }
    md.tau = store(R{kTc} / md.T);
    done(50342);
}

template <class A> void initialDensity(Model& md) {
    using R = typename A::Real;
    if (!(md.tau > 0)) return;
    if (md.T < kTc) {
        const Constants& c = md.c;
        const auto aux = keptFor<A>(blockKey(std::array{md.tau}, c.co2PsatA.raw(), c.co2PsatT.raw(),
                                             c.co2RhoLiqA.raw(), c.co2RhoLiqT.raw()),
                                    [&] {
                                        const double ps = saturationPressure<A>(c, md.tau);
                                        return std::array{ps, saturatedLiquidDensity<A>(c, md.tau)};
                                    });
        md.psatCO2 = aux[0];
        md.rhoLiqCO2 = aux[1];
        if (md.P_bar >= md.psatCO2) {
            md.rho = md.rhoLiqCO2; // liquid start
        } else {
            md.rho = store(R{kM} * md.P_bar / (R{kR} * md.T)); // ideal-gas start
        }
        done(50355);
    } else {
        // Ideal-gas molar volume plus 30 cm3/mol.
        md.rho = store(R{kM} / (R{kR} * md.T / md.P_bar + kStartCovolume));
        done(50359);
    }
}

// Damped Newton iteration on P_bar = rho w (1 + delta phi^r_d):
//   z   = rho (1 + delta phi^r_d)
//   K   = 1 + 2 delta phi^r_d + delta^2 phi^r_dd        (d z / d rho)
//   err = z / (P_bar / w) - 1
//   rho = rho - (P_bar / 2 / w) err / K                 (half a Newton step)
template <class A> void findDensity(Model& md) {
    using R = typename A::Real;
    if (!(md.tau > 0)) return;
    const R w = idealGasW<R>(md.T);
    const Co2TauTerms* terms = tauTermsOf<A>(md.c, md.tau);
    std::uint32_t passes = 0;
    for (;;) {
        // A density of exactly 0 (a pressure of 0) or a step that came out as no number would make
        // the next pass divide by zero; restart where a step below zero restarts.
        if (md.rho == 0 || std::isnan(md.rho)) md.rho = kRhoRestart;
        md.delta = store(R{md.rho} / kRhoC);
        done(50377);
        const Co2Residual r = residualOf<A, false>(md.c, terms, md.delta, md.tau);
        md.phiR_d = r.phi_d;
        md.phiR_dd = r.phi_dd;
        const double z = store(md.rho * (1 + R{md.delta} * md.phiR_d));
        done(50382);
        const double K = store(1 + 2 * R{md.delta} * md.phiR_d + A::pow(md.delta, 2) * md.phiR_dd);
        done(50384);
        const double err = store(z / (md.P_bar / w) - 1);
        done(50386);
        ++passes;
        if (core::toSingle(static_cast<double>(A::abs(err))) < kPressureTolerance) break;
        if (passes >= kCo2MaxIterations) {
            core::raiseError(kNoConvergenceError);
            done(50391);
            break;
        }
        // At K = 0 (the spinodal) the Newton step is undefined; take the ideal-gas slope K = 1,
        // which still moves towards the given pressure.
        const R slope = K == 0 ? R{1} : R{K};
        md.rho = store(md.rho - (md.P_bar * R(0.5L) / w) * err / slope);
        done(50398);
        if (core::toSingle(md.rho) > kRhoMax) md.rho = kRhoMaxStored;
        done(50400);
        if (md.rho < 0) md.rho = kRhoRestart;
        done(50402);
    }
    md.co2Iterations = passes;
    md.rhoCO2 = md.rho;
    done(50406);
    md.VCO2 = store(R{kM} / md.rhoCO2);
    done(50408);
}

template <class A> void helmholtz(Model& md) {
    using R = typename A::Real;
    if (!(md.tau > 0)) return;
    md.delta = store(R{md.rho} / kRhoC);
    done(50414);
    const Co2Ideal id = ideal<A>(md.c, md.delta, md.tau);
    md.phi0 = id.phi;
    md.phi0_t = id.phi_t;
    md.phi0_tt = id.phi_tt;
    const Co2Residual r = residualOf<A, true>(md.c, tauTermsOf<A>(md.c, md.tau), md.delta, md.tau);
    md.phiR = r.phi;
    md.phiR_d = r.phi_d;
    md.phiR_dd = r.phi_dd;
    md.phiR_t = r.phi_t;
    md.phiR_tt = r.phi_tt;
    md.phiR_dt = r.phi_dt;
}

template <class A> void properties(Model& md) {
    using R = typename A::Real;
    if (!(md.tau > 0)) return;
    const R MR = R{kM} * kRSpecific;
    const R ta = md.tau;
    const R dl = md.delta;
    const double T = md.T;
    const double Tr = Constants::Tr;

    md.SCO2 = store(MR * (ta * (R{md.phi0_t} + md.phiR_t) - md.phi0 - md.phiR) + kSOffset);
    done(50437);
    md.hCO2 = store(MR * T * (ta * (R{md.phi0_t} + md.phiR_t) + 1 + dl * md.phiR_d) - kHOffset);
    done(50439);
    const R K = 1 + 2 * dl * md.phiR_d + A::pow(dl, 2) * md.phiR_dd;
    if (K == 0) {
        // The critical point itself: the heat capacity has no finite value.
        core::raiseError(core::ErrorCode::overflow);
        md.CpCO2 = 0;
    } else {
        md.CpCO2 = store(MR * (-A::pow(ta, 2) * (R{md.phi0_tt} + md.phiR_tt) +
                               A::pow(1 + dl * md.phiR_d - dl * ta * md.phiR_dt, 2) / K));
    }
    done(50449);
    md.lnPhiCO2 = store(md.phiR + dl * md.phiR_d - A::ln(1 + dl * md.phiR_d));
    done(50451);

    // Ideal gas at 1 bar, integrated from Tr: the temperature's alone.
    const auto idealGasAt1Bar = [&] {
        const R t = T;
        md.s0CO2 = store(kCpA * A::ln(t / Tr) + kS0r + kCpB * (t - Tr));
        done(50456);
        md.s0CO2 = store(md.s0CO2 - (A::pow(t, -2) - A::pow(Tr, -2)) * kHalfCpC);
        done(50458);
        md.s0CO2 = store(md.s0CO2 + (A::pow(t, R(-0.5L)) - A::pow(Tr, R(-0.5L))) * kTwiceMinusCpD);
        done(50460);
        md.g0CO2 = store(-(t - Tr) * kS0r + kG0r - A::ln(t / Tr) * t * kCpA + (t - Tr) * kCpA);
        done(50462);
        md.g0CO2 = store(md.g0CO2 + A::pow(t - Tr, 2) * kHalfCpB);
        done(50464);
        md.g0CO2 = store(md.g0CO2 - (kHalfCpC / t) * A::pow(t / Tr - 1, 2));
        done(50466);
        md.g0CO2 = store(md.g0CO2 +
                         ((t - Tr) / A::pow(Tr, R(0.5L)) - 2 * (A::pow(t, R(0.5L)) - A::pow(Tr, R(0.5L)))) *
                             kTwiceMinusCpD);
        done(50470);
        md.cp0CO2 = store(idealGasCp<A>(T));
        done(50472);
        return std::array{md.s0CO2, md.g0CO2, md.cp0CO2};
    };
    const auto ideal = keptFor<A>(std::array{T}, idealGasAt1Bar);
    md.s0CO2 = ideal[0];
    md.g0CO2 = ideal[1];
    md.cp0CO2 = ideal[2];

    md.gCO2 = store(md.g0CO2 + (md.lnPhiCO2 + A::ln(md.P_bar)) * R{Constants::R_J} * T);
    done(50475);
    md.fCO2 = store(A::exp(md.lnPhiCO2) * md.P_bar);
    done(50477);
}

} // namespace

Co2Fluid co2FluidPhase(const Model& md) {
    if (md.T < kTc) return md.P_bar >= md.psatCO2 ? Co2Fluid::liquid : Co2Fluid::gas;
    return md.P_bar >= kPc ? Co2Fluid::supercritical : Co2Fluid::gas;
}

// ---- the calculator's pieces, for the tests and the benchmarks ------------------------------

Co2Residual co2ResidualAt(const Constants& c, double delta, double tau) {
    return residual<true>(c, delta, tau);
}

Co2Ideal co2IdealAt(const Constants& c, double delta, double tau) {
    return ideal<arith::Exact>(c, delta, tau);
}

double co2SaturationPressure(const Constants& c, double tau) {
    return saturationPressure<arith::Exact>(c, tau);
}

double co2SaturatedLiquidDensity(const Constants& c, double tau) {
    return saturatedLiquidDensity<arith::Exact>(c, tau);
}

ext co2IdealGasCp(double T) {
    return idealGasCp<arith::Exact>(T);
}

// ---- the section, on the model's arithmetic path -------------------------------------------

void co2Start(Model& md) {
    arith::onPath(md, [&](auto path) { start<decltype(path)>(md); });
}

void co2InitialDensity(Model& md) {
    arith::onPath(md, [&](auto path) { initialDensity<decltype(path)>(md); });
}

void co2FindDensity(Model& md) {
    arith::onPath(md, [&](auto path) { findDensity<decltype(path)>(md); });
}

void co2Helmholtz(Model& md) {
    arith::onPath(md, [&](auto path) { helmholtz<decltype(path)>(md); });
}

void co2Properties(Model& md) {
    arith::onPath(md, [&](auto path) { properties<decltype(path)>(md); });
}

void co2Run(Model& md) {
    co2Start(md);
    co2InitialDensity(md);
    co2FindDensity(md);
    co2Helmholtz(md);
    co2Properties(md);
}

} // namespace co2
