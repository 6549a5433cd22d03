// Pure water from the Hill (1990) equation of state: reduced Helmholtz energy Phi(omega, xi) with
// omega = rho/rhoC and xi = -Tc/T, the density solve, and the properties at the state point.
//
// Arithmetic: every formula is evaluated in extended precision and each named result is rounded
// to double when stored (store()); sums accumulate into a stored double in ascending index; every
// ln, exp, sqrt and power goes through the runtime's checked functions, so a domain error becomes
// a numbered error with the substitute 0. Each statement ends with the statement check and its fixed
// number (model/statements.h), so that a pending error is reported with that number.
//
// Two arithmetic paths (model/arith.h) share every formula outside the Helmholtz energy: the
// operations are templates over the path, instantiated for the calculator's extended arithmetic
// and for the fast double path (Model::fastArithmetic). The Helmholtz energy itself has a kernel of
// its own on the fast path (water_fast.cpp), which evaluates the same sums in another order.
#include "model/water.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "model/arith.h"
#include "model/last_block.h"
#include "model/statements.h"
#include "model/water_fast.h"

namespace co2 {
namespace {

using core::ext;
using K = Constants;

using arith::singleGreater;
using arith::singleLess;

inline ext pw(ext a, ext b) {
    return memo::powValue(a, b);
}

// The value of the d(rho)/dT expression of the water section at the current solve.
template <class A> double densityTemperatureDerivative(const Model& m) {
    using R = typename A::Real;
    const R xi = m.xi;
    return store(R(K::rhoC) * A::pow(xi, 2) / K::Tc * m.omegaXi + R(K::rhoC) * m.Pi * xi / K::Tc * m.omegaPi);
}

// ---- first estimate -------------------------------------------------------------------------

template <class A> void initialDensity(Model& m) {
    using R = typename A::Real;
    const auto pw = [](R a, R b) { return A::pow(a, b); };
    const Constants& c = m.c;
    // Saturation pressure (Saul-Wagner form with the Hill critical point):
    //   ln(psat/Pc) = Tc/T * (A1 th + A2 th^1.5 + A3 th^3 + A4 th^3.5 + A5 th^4 + A6 th^7.5)
    // At or above Tc there is no saturation: psatH2O (and thetaSat) keep the values of the last
    // state point below it. Such temperatures lie far outside the calculator's range.
    if (m.T < K::Tc) {
        const auto saturation = [&] {
            m.thetaSat = store(1 - R(m.T) / K::Tc);
            done(40062);
            const R th = m.thetaSat;
            const double s =
                store(R(c.h2oPsatA(1)) * th + c.h2oPsatA(2) * pw(th, 1.5) + c.h2oPsatA(3) * pw(th, 3) +
                      c.h2oPsatA(4) * pw(th, 3.5) + c.h2oPsatA(5) * pw(th, 4) + c.h2oPsatA(6) * pw(th, 7.5));
            done(40067);
            m.psatH2O = store(A::exp(R(K::Tc) / m.T * s) * K::Pc);
            done(40069);
            return std::array{m.thetaSat, m.psatH2O};
        };
        const auto sat = keptFor<A>(blockKey(std::array{m.T}, c.h2oPsatA.raw()), saturation);
        m.thetaSat = sat[0];
        m.psatH2O = sat[1];
    }
    // A pressure of 0 means "at saturation": from here on it is the state point's pressure.
    if (m.P_bar == 0) m.P_bar = m.psatH2O;
    done(40073);

    const R T = m.T;
    double V = 0; // molar volume estimate, cm3/mol
    if (m.P_bar < m.psatH2O) {
        V = store(R(K::R_V) * T / m.P_bar); // vapour: ideal gas
        done(40079);
    } else if (m.P_bar == m.psatH2O) {
        // Saturated liquid: rho'/rhoC = 1 + sum B_i th^(k_i), k = 1/3, 2/3, 5/3, 16/3, 43/3, 110/3.
        const R th = m.thetaSat;
        m.omega = store(1 + c.h2oRhoLiqB(1) * pw(th, 1.0 / 3.0) + c.h2oRhoLiqB(2) * pw(th, 2.0 / 3.0) +
                        c.h2oRhoLiqB(3) * pw(th, 5.0 / 3.0) + c.h2oRhoLiqB(4) * pw(th, 16.0 / 3.0) +
                        c.h2oRhoLiqB(5) * pw(th, 43.0 / 3.0) + c.h2oRhoLiqB(6) * pw(th, 110.0 / 3.0));
        done(40086);
        return;
    } else if (m.P_bar <= 1000) {
        // Compressed liquid: molar volume fits of T in pressure bands.
        V = store(R(116.271) - R(1.03596) * T + R(0.00390561) * pw(T, 2) - R(6.2842e-6) * pw(T, 3));
        done(40091);
        V = store(V + R(3.7039e-9) * pw(T, 4));
        done(40093);
    } else if (m.P_bar <= 2000) {
        V = store(R(0.0822269) * T + R(5.851212) - R(0.000199974) * pw(T, 2) + R(1.82853e-7) * pw(T, 3));
        done(40097);
    } else if (m.P_bar <= 3000) {
        V = store(R(23.666) - R(0.04115) * T + R(0.0000696) * pw(T, 2) - R(1.462e-8) * pw(T, 3));
        done(40100);
    } else if (m.P_bar <= 5000) {
        V = store(R(0.002059) * T + R(13.956) + R(0.000013935) * pw(T, 2));
        done(40103);
    } else if (m.P_bar <= 10000) {
        V = store(R(0.0032645) * T + R(13.737) + R(4.822e-6) * pw(T, 2));
        done(40106);
    } else {
        V = store(R(0.007639) * T + R(11.894));
        done(40109);
    }
    m.omega = store(R(18.0152) / V / K::rhoC);
    done(40112);
}

} // namespace

void h2oInitialDensity(Model& m) {
    arith::onPath(m, [&](auto path) { initialDensity<decltype(path)>(m); });
}

// ---- reduced Helmholtz energy -----------------------------------------------------------------

namespace {

void exactHelmholtz(Model& m) {
    const Constants& c = m.c;
    const double omega = m.omega;
    const double xi = m.xi;

    m.deltaTau = store(ext(xi) + 1);
    m.deltaOmega = store(ext(omega) - 1);
    done(40124);
    const double dTau = m.deltaTau;
    const double dOmega = m.deltaOmega;

    // Critical-region term Lambda(r) * Z, r the scaled distance from the critical point:
    //   r = sqrt((dOmega/aOmega)^2 + (dTau/aTau)^2),  u = (r/k)^4,
    //   Lambda = 1 - exp(-1/(exp(u) - 1)),  Z = Z0 + Z1 dTau.
    // Far from the critical point (u > 88) Lambda is exactly 0 and so are its derivatives.
    const double Z = store(K::Z0 + ext(K::Z1) * dTau);
    const double r = store(core::sqrtValue(pw(ext(dOmega) / K::aOmega, 2) + pw(ext(dTau) / K::aTau, 2)));
    const double u = store(pw(ext(r) / K::k, 4));
    done(40135);
    double w = 0;
    if (singleGreater(u, 88))
        w = 1e38;
    else if (singleLess(u, 0.01))
        w = u;
    else
        w = store(memo::expValue(u) - 1);
    done(40143);
    const double v = store(-1 / ext(w));
    const double q = v < -88 ? 1.01e-38 : store(memo::expValue(v));
    const double Lambda = store(1 - ext(q));
    done(40147);
    double Lambda_w = 0, Lambda_ww = 0, Lambda_x = 0, Lambda_xx = 0, Lambda_wx = 0;
    // Singular point: at the critical point itself (r = 0, hence w = 0) every derivative of
    // Lambda has the limit 0 (q = exp(-1/w) vanishes faster than any power of 1/w grows), so
    // they keep that value instead of dividing by zero.
    if (Lambda != 0 && w != 0) {
        const ext W = w;
        const double L = store(core::lnValue(W + 1));
        const double Lambda_r = store(-(4 / ext(K::k)) * q * (1 / W + 1 / pw(W, 2)) * pw(L, 0.75));
        double Lambda_rr = store(-(12 / pw(K::k, 2)) * q * (1 / W + 1 / pw(W, 2)) * core::sqrtValue(L));
        Lambda_rr = store(Lambda_rr * ((1 / pw(W, 2) - 1 / W - 1) * (ext(4) / 3) * L + 1));
        done(40158);
        const ext R = r;
        const double r_w = store(ext(dOmega) / R / pw(K::aOmega, 2));
        const double r_x = store(ext(dTau) / R / pw(K::aTau, 2));
        const double r_ww = store((1 / R - pw(ext(dOmega) / K::aOmega, 2) / pw(R, 3)) / pw(K::aOmega, 2));
        const double r_xx = store((1 / R - pw(ext(dTau) / K::aTau, 2) / pw(R, 3)) / pw(K::aTau, 2));
        const double r_wx = store(-ext(dOmega) * dTau / pw(R, 3) / pw(ext(K::aOmega) * K::aTau, 2));
        done(40165);
        Lambda_w = store(ext(Lambda_r) * r_w);
        Lambda_ww = store(ext(Lambda_rr) * pw(r_w, 2) + ext(Lambda_r) * r_ww);
        Lambda_x = store(ext(Lambda_r) * r_x);
        Lambda_xx = store(ext(Lambda_rr) * pw(r_x, 2) + ext(Lambda_r) * r_xx);
        Lambda_wx = store(ext(Lambda_rr) * r_w * r_x + ext(Lambda_r) * r_wx);
        done(40171);
    }

    // Ideal-gas part, with c = h2oCoef8 and -xi = Tc/T:
    //   phi0     = sum_{i=1..6} c_i (-xi)^(2-i) + (c8 + c7 xi) ln(-xi)
    //   phi0_x   = -sum c_i (2-i) (-xi)^(1-i) + c7 (ln(-xi) + 1) + c8/xi
    //   phi0_xx  = sum c_i (2-i)(1-i) (-xi)^(-i) + c7/xi - c8/xi^2
    const ext mxi = -ext(xi);
    double phi0 = 0, phi0_x = 0, phi0_xx = 0;
    for (int i = 1; i <= 6; ++i) {
        phi0 = store(phi0 + c.h2oCoef8(i) * pw(mxi, 2 - i));
        phi0_x = store(phi0_x - c.h2oCoef8(i) * (2 - i) * pw(mxi, 1 - i));
        phi0_xx = store(phi0_xx + c.h2oCoef8(i) * (2 - i) * (1 - i) * pw(mxi, -i));
        done(40184);
    }
    const double lnMxi = store(core::lnValue(mxi));
    phi0 = store(phi0 + (c.h2oCoef8(8) + ext(c.h2oCoef8(7)) * xi) * lnMxi);
    phi0_x = store(phi0_x + c.h2oCoef8(7) * (ext(lnMxi) + 1) + c.h2oCoef8(8) / ext(xi));
    phi0_xx = store(phi0_xx + c.h2oCoef8(7) / ext(xi) - c.h2oCoef8(8) / pw(xi, 2));
    done(40190);

    // Gaussian factor E = exp(-omega^2) and G = 1 - E (G -> omega^2 where 1 - E would lose all
    // digits); G's derivatives are always -E' and -E''.
    const ext Om = omega;
    const double E = store(memo::expValue(-pw(Om, 2)));
    const double E_w = store(-2 * Om * E);
    const double E_ww = store(-2 * ext(E) - 2 * Om * E_w);
    const double G = singleLess(omega, 0.00002) ? store(pw(Om, 2)) : store(1 - ext(E));
    done(40199);

    // Switched exponential X = exp(S), S = -e1 dTau - e2 dOmega - e3 dTau^2 - e4 dOmega^2
    // (S never exceeds 12.33, so exp(S) cannot overflow; below -88 X is a tiny constant).
    const double S = store(-ext(K::e1) * dTau - ext(K::e2) * dOmega - ext(K::e3) * pw(dTau, 2) -
                           ext(K::e4) * pw(dOmega, 2));
    const double X = singleLess(S, -88) ? 1.01e-38 : store(memo::expValue(S));
    const double s_w = store(-ext(K::e2) - 2 * ext(K::e4) * dOmega);
    const double s_x = store(-ext(K::e1) - 2 * ext(K::e3) * dTau);
    const double X_w = store(ext(X) * s_w);
    const double X_ww = store(ext(X_w) * s_w - 2 * ext(K::e4) * X);
    const double X_x = store(ext(X) * s_x);
    const double X_xx = store(ext(X_x) * s_x - 2 * ext(K::e3) * X);
    const double X_wx = store(ext(X_x) * s_w);
    done(40213);

    // Temperature damping of the fourth sum: Y = exp(-e5 (xi + 3)).
    const double Y = store(memo::expValue(-ext(K::e5) * (ext(xi) + 3)));
    const double Y_x = store(-ext(K::e5) * Y);
    const double Y_xx = store(pw(K::e5, 2) * Y);
    done(40219);

    // Density functions and their omega-derivatives:
    //   Q_i = G omega^(i-2) (i != 2),  Q_2 = G ln(omega) - omega^2 ln(omega) + omega^2/2,
    //   W_i = omega^i,  V_i = omega^(i+1).
    std::array<double, 8> Q{}, Q_w{}, Q_ww{};
    const double lnOm = store(core::lnValue(Om));
    for (int i = 1; i <= 7; ++i) {
        if (i == 2) {
            Q[2] = store(ext(G) * lnOm - pw(Om, 2) * lnOm + pw(Om, 2) / 2);
            Q_w[2] = store(ext(G) / Om - ext(E_w) * lnOm - 2 * Om * lnOm);
            Q_ww[2] = store(-ext(G) / pw(Om, 2) - 2 * ext(E_w) / Om - ext(E_ww) * lnOm - 2 * ext(lnOm) - 2);
        } else {
            Q[i] = store(ext(G) * pw(Om, i - 2));
            Q_w[i] = store(ext(G) * (i - 2) * pw(Om, i - 3) - ext(E_w) * pw(Om, i - 2));
            Q_ww[i] = store(ext(G) * (i - 2) * (i - 3) * pw(Om, i - 4) -
                            2 * ext(E_w) * (i - 2) * pw(Om, i - 3) - ext(E_ww) * pw(Om, i - 2));
        }
        done(40237);
    }
    std::array<double, 8> Wf{}, Wf_w{}, Wf_ww{};
    for (int i = 1; i <= 7; ++i) {
        Wf[i] = store(pw(Om, i));
        Wf_w[i] = store(i * pw(Om, i - 1));
        Wf_ww[i] = store(ext(i) * (i - 1) * pw(Om, i - 2));
        done(40244);
    }
    std::array<double, 6> Vf{}, Vf_w{}, Vf_ww{};
    for (int i = 1; i <= 5; ++i) {
        Vf[i] = store(pw(Om, i + 1));
        Vf_w[i] = store((i + 1) * pw(Om, i));
        Vf_ww[i] = store(ext(i + 1) * i * pw(Om, i - 1));
        done(40251);
    }

    // Temperature functions and their xi-derivatives: T_j = xi^(j-1), U_j = xi^(j+1).
    const ext Xi = xi;
    std::array<double, 13> Tf{}, Tf_x{}, Tf_xx{};
    for (int j = 1; j <= 12; ++j) {
        Tf[j] = store(pw(Xi, j - 1));
        Tf_x[j] = store((j - 1) * pw(Xi, j - 2));
        Tf_xx[j] = store(ext(j - 1) * (j - 2) * pw(Xi, j - 3));
        done(40261);
    }
    std::array<double, 6> Uf{}, Uf_x{}, Uf_xx{};
    for (int j = 1; j <= 5; ++j) {
        Uf[j] = store(pw(Xi, j + 1));
        Uf_x[j] = store((j + 1) * pw(Xi, j));
        Uf_xx[j] = store(ext(j + 1) * j * pw(Xi, j - 1));
        done(40268);
    }

    // The four double sums with their derivatives, i outer and j inner:
    //   S1 = sum A_ij Q_i T_j,  S2 = sum B_ij W_i T_j,  S3 = sum C_ij V_i U_j,  S4 = sum D_ij Q_i T_j.
    struct Sum {
        double v = 0, w = 0, ww = 0, x = 0, xx = 0, wx = 0;
    };
    auto doubleSum = [](const auto& coef, int ni, int nj, const auto& f, const auto& f_w, const auto& f_ww,
                        const auto& g, const auto& g_x, const auto& g_xx) {
        Sum s;
        for (int i = 1; i <= ni; ++i) {
            for (int j = 1; j <= nj; ++j) {
                const ext a = coef(i, j);
                s.v = store(s.v + a * f[i] * g[j]);
                s.w = store(s.w + a * f_w[i] * g[j]);
                s.ww = store(s.ww + a * f_ww[i] * g[j]);
                s.x = store(s.x + a * f[i] * g_x[j]);
                s.xx = store(s.xx + a * f[i] * g_xx[j]);
                s.wx = store(s.wx + a * f_w[i] * g_x[j]);
                done(40288);
            }
        }
        return s;
    };
    const Sum s1 = doubleSum(c.h2oCoefA, 7, 7, Q, Q_w, Q_ww, Tf, Tf_x, Tf_xx);
    const Sum s2 = doubleSum(c.h2oCoefB, 7, 12, Wf, Wf_w, Wf_ww, Tf, Tf_x, Tf_xx);
    const Sum s3 = doubleSum(c.h2oCoefC, 5, 5, Vf, Vf_w, Vf_ww, Uf, Uf_x, Uf_xx);
    const Sum s4 = doubleSum(c.h2oCoefD, 5, 10, Q, Q_w, Q_ww, Tf, Tf_x, Tf_xx);

    // Assembly: Phi = phi0 + ln(omega) + S1 + E S2 + X S3 + Y S4 + Lambda Z.
    m.Phi = store(ext(phi0) + lnOm + s1.v + ext(E) * s2.v + ext(X) * s3.v + ext(Y) * s4.v + ext(Lambda) * Z);
    done(40300);
    m.Phi_w = store(1 / Om + s1.w + ext(E_w) * s2.v + ext(E) * s2.w + ext(X_w) * s3.v + ext(X) * s3.w +
                    ext(Y) * s4.w + ext(Z) * Lambda_w);
    done(40303);
    m.Phi_ww =
        store(-1 / pw(Om, 2) + s1.ww + ext(E_ww) * s2.v + 2 * ext(E_w) * s2.w + ext(E) * s2.ww +
              ext(X_ww) * s3.v + 2 * ext(X_w) * s3.w + ext(X) * s3.ww + ext(Y) * s4.ww + ext(Z) * Lambda_ww);
    done(40307);
    m.Phi_x = store(ext(phi0_x) + s1.x + ext(E) * s2.x + ext(X_x) * s3.v + ext(X) * s3.x + ext(Y_x) * s4.v +
                    ext(Y) * s4.x + ext(Lambda_x) * Z + ext(Lambda) * K::Z1);
    done(40310);
    m.Phi_xx = store(ext(phi0_xx) + s1.xx + ext(E) * s2.xx + ext(X_xx) * s3.v + 2 * ext(X_x) * s3.x +
                     ext(X) * s3.xx + ext(Y_xx) * s4.v + 2 * ext(Y_x) * s4.x + ext(Y) * s4.xx +
                     ext(Lambda_xx) * Z + 2 * ext(Lambda_x) * K::Z1);
    done(40314);
    m.Phi_wx = store(ext(s1.wx) + ext(E_w) * s2.x + ext(E) * s2.wx + ext(X_wx) * s3.v + ext(X_w) * s3.x +
                     ext(X_x) * s3.w + ext(X) * s3.wx + ext(Y_x) * s4.w + ext(Y) * s4.wx +
                     ext(K::Z1) * Lambda_w + ext(Z) * Lambda_wx);
    done(40318);
}

} // namespace

void h2oHelmholtz(Model& m) {
    // The fast kernel declines states where a checked function could fail (and any result that is
    // not finite); the calculator's kernel then raises the error at its own statement.
    if (m.fastArithmetic && h2oHelmholtzFast(m)) return;
    exactHelmholtz(m);
}

// ---- density solve ----------------------------------------------------------------------------

namespace {

template <class A> void solveDensity(Model& m) {
    using R = typename A::Real;
    const auto pw = [](R a, R b) { return A::pow(a, b); };
    m.xi = store(-R(K::Tc) / m.T);
    m.deltaTau = store(R(m.xi) + 1);
    m.stepOmega = 1;
    done(40327);
    // Newton on Pi(omega) = P_bar/(rhoC Rm T); the tolerance is absolute in omega and compared
    // in single precision.
    // The fast kernel's temperature-only terms, once for the whole solve.
    const H2oXiTerms* terms = nullptr;
    if constexpr (A::kFast) terms = h2oXiTerms(m.c, m.xi);
    int passes = 0;
    while (singleGreater(store(A::abs(m.stepOmega)), 1e-6)) {
        // Repair: the loop as first written has no limit, and a state far outside the
        // calculator's range can make Newton cycle for ever. Give up with a numbered error and
        // keep the last iterate.
        if (passes == kH2oMaxIterations) {
            core::raiseError(kNoConvergenceError);
            done(40337);
            break;
        }
        ++passes;
        if (!A::kFast || terms == nullptr || !h2oHelmholtzFast(m, *terms)) exactHelmholtz(m);
        const R Om = m.omega;
        m.Pi = store(pw(Om, 2) * m.Phi_w);
        m.Pi_w = store(2 * Om * m.Phi_w + pw(Om, 2) * m.Phi_ww);
        done(40345);
        m.stepOmega = store(-(R(m.Pi) - R(m.P_bar) / K::rhoC / K::Rm / m.T) / m.Pi_w);
        const double previous = m.omega;
        m.omega = store(R(m.omega) + m.stepOmega);
        done(40349);
        // Repair: an overflowing step (an absurd pressure, or Pi_w = 0) would leave omega
        // infinite, and the overshoot guard below would then divide it by 3 for ever. Report
        // the overflow and keep the last finite iterate.
        if (!std::isfinite(m.omega) || !std::isfinite(m.stepOmega)) {
            core::raiseError(core::ErrorCode::overflow);
            m.omega = previous;
            m.stepOmega = 0;
            done(40357);
            break;
        }
        // Overshoot above any physical density: pull back; a negative density: restart low.
        while (singleGreater(m.omega, 9.2)) {
            m.omega = store(R(m.omega) / 3);
            done(40363);
        }
        if (singleLess(m.omega, 0)) m.omega = 0.05;
        done(40366);
    }
    // Derivatives at the final omega from the Phi derivatives of the last evaluation.
    const R Om = m.omega;
    m.Pi_w = store(2 * Om * m.Phi_w + pw(Om, 2) * m.Phi_ww);
    done(40371);
    m.omegaPi = store(1 / R(m.Pi_w));
    done(40373);
    m.Pi_x = store(pw(Om, 2) * m.Phi_wx);
    done(40375);
    m.omegaXi = store(-R(m.Pi_x) / m.Pi_w);
    done(40377);
}

} // namespace

void h2oSolveDensity(Model& m) {
    arith::onPath(m, [&](auto path) { solveDensity<decltype(path)>(m); });
}

// ---- properties at the state point -----------------------------------------------------------

namespace {

template <class A> void vapourComposition(Model& m);

template <class A> void properties(Model& m) {
    using R = typename A::Real;
    const auto pw = [](R a, R b) { return A::pow(a, b); };
    initialDensity<A>(m);
    solveDensity<A>(m);

    m.rhoH2O = store(R(m.omega) * K::rhoC);
    done(40387);
    m.drhoH2OdP = store(R(m.omegaPi) / K::Rm / m.T);
    done(40389);
    m.drhoH2OdT = densityTemperatureDerivative<A>(m);
    done(40391);
    m.VH2O = store(R(K::M_H2O) / m.rhoH2O);
    done(40393);

    // Second temperature derivative from solves 0.5 K either side, each starting from the
    // density of the solve before.
    const double T0 = m.T;
    const double xi0 = m.xi;
    m.T = store(R(T0) - 0.5);
    done(40400);
    solveDensity<A>(m);
    const double dMinus = densityTemperatureDerivative<A>(m);
    done(40403);
    m.T = store(R(T0) + 0.5);
    done(40405);
    solveDensity<A>(m);
    const double dPlus = densityTemperatureDerivative<A>(m);
    done(40408);
    m.d2rhoH2OdT2 = store(R(dPlus) - dMinus);
    done(40410);
    m.T = T0;
    m.xi = xi0;
    done(40413);

    // Caloric properties. They take Phi, Phi_x, Phi_xx, omega, Pi, Pi_w and Pi_x as the third
    // solve (T + 0.5 K) left them, with the restored T and xi; the three offsets are set for
    // exactly this combination (S = 69.95000, h = -285830.00 at 25 C and 0.1 MPa).
    const R MR = R(K::M_H2O) * K::Rm;
    const R xi = m.xi;
    m.SH2O = store(MR * (xi * m.Phi_x - m.Phi) * R(0.1) + K::h2oSOffset);
    done(40421);
    const double cv = store(-pw(xi, 2) * m.Phi_xx);
    done(40423);
    const double cp = store(cv + pw(xi * m.Pi_x - m.Pi, 2) / pw(m.omega, 2) / m.Pi_w);
    done(40425);
    m.CpH2O = store(MR * R(0.1) * cp);
    done(40427);
    m.hH2O = store(MR * K::Tc * (-R(m.Phi_x) - R(m.Pi) / m.omega / xi) * R(0.1) + K::h2oHOffset);
    done(40429);
    m.gH2O = store(R(m.hH2O) - R(m.T) * m.SH2O + K::h2oGOffset);
    done(40431);

    // Ideal-gas water at T and 1 bar, integrated from Tr with
    //   cp0 = a + b 1e-3 T + c 1e5/T^2 + d 1e-6 T^2 + e 10/sqrt(T).
    const auto idealGas = [&] {
        const R T = m.T;
        const R Tr = K::Tr;
        const R a = K::h2oCpA, b = K::h2oCpB, cc = K::h2oCpC, d = K::h2oCpD, e = K::h2oCpE;
        m.g0H2O = store(K::h2oG0r - R(K::h2oS0r) * (T - Tr) - a * T * A::ln(T / Tr) + a * (T - Tr));
        done(40439);
        m.g0H2O = store(m.g0H2O - (b * R(0.5) / 1000) * pw(T - Tr, 2) -
                        (cc * R(0.5) * R(1e5) / T) * pw(T / Tr - 1, 2));
        done(40442);
        m.g0H2O = store(m.g0H2O - (d / 6 / R(1e6)) * (pw(T, 3) - pw(Tr, 3) - 3 * pw(Tr, 2) * (T - Tr)));
        done(40444);
        m.g0H2O = store(m.g0H2O - (e * 2 * 10) * ((T - Tr) / A::sqrt(Tr) - 2 * (A::sqrt(T) - A::sqrt(Tr))));
        done(40447);
        m.s0H2O = store(K::h2oS0r + a * A::ln(T / Tr) + (b / 1000) * (T - Tr));
        done(40449);
        m.s0H2O = store(m.s0H2O - (cc * R(0.5) * R(1e5)) * (1 / pw(T, 2) - 1 / pw(Tr, 2)));
        done(40451);
        m.s0H2O = store(m.s0H2O + (d * R(0.5) / R(1e6)) * (pw(T, 2) - pw(Tr, 2)));
        done(40453);
        m.s0H2O = store(m.s0H2O - (e * 2 * 10) * (pw(T, -0.5) - pw(Tr, -0.5)));
        done(40455);
        m.cp0H2O = store(a + (b / 1000) * T + cc * R(1e5) / pw(T, 2));
        done(40457);
        m.cp0H2O = store(m.cp0H2O + (d / R(1e6)) * pw(T, 2) + (e * 10) * pw(T, -0.5));
        done(40459);
        return std::array{m.g0H2O, m.s0H2O, m.cp0H2O};
    };
    const auto ideal = keptFor<A>(std::array{m.T}, idealGas);
    m.g0H2O = ideal[0];
    m.s0H2O = ideal[1];
    m.cp0H2O = ideal[2];

    m.lnFH2O = store((R(m.gH2O) - m.g0H2O) / K::R_J / m.T);
    done(40462);

    vapourComposition<arith::Exact>(m);
}

// On both paths in the calculator's arithmetic: the estimate is a short polynomial of the typed
// temperature and pressure, so on a grid of typed decimals its value often lies exactly on a
// rounding tie of its template (0.98435 at 97.2 C and 46 MPa), and only the same arithmetic
// decides every such tie the same way. It needs no elementary function and costs nothing.
template <class A> void vapourComposition(Model& m) {
    using R = typename A::Real;
    // The vapour is water at its saturation pressure plus CO2, with a small empirical
    // correction for the water content at high pressure; the larger water fraction wins.
    const double y1 = store(R(m.psatH2O) / m.P_bar);
    done(40471);
    const double y2 = store((R(m.T_C) * R(0.1256) - R(0.0212)) * R(0.001) +
                            (R(m.T_C) * R(0.065) + R(1.21)) * R(1e-6) * m.P_bar);
    done(40474);
    m.yCO2Vap = y1 > y2 ? store(1 - R(y1)) : store(1 - R(y2));
    done(40476);
}

} // namespace

void waterProperties(Model& m) {
    arith::onPath(m, [&](auto path) { properties<decltype(path)>(m); });
}

void vapourComposition(Model& m) {
    vapourComposition<arith::Exact>(m);
}

} // namespace co2
