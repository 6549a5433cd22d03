// The water Helmholtz energy in double arithmetic: the calculator's formulas (water.cpp), with the
// double sums factored. Each sum S = sum_i sum_j a_ij f_i(omega) g_j(xi) is the inner product of the
// density functions f_i with the temperature-only sums G_i = sum_j a_ij g_j; the G_i and their
// xi-derivatives are formed once per temperature, so a Newton pass costs some forty products
// instead of some twelve hundred. Powers of omega and xi are products.
#include "model/water_fast.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/arith.h"
#include "model/libm_core.h"

namespace co2 {

namespace {

using K = Constants;

using arith::singleGreater;
using arith::singleLess;

// The temperatures the fast kernel takes, as xi = -Tc/T.
constexpr double kMinXi = -100;
constexpr double kMaxXi = -0.01;

} // namespace

// One double sum reduced to its temperature-only inner sums: g0[i] = sum_j a_ij g_j,
// g1[i] = sum_j a_ij g_j', g2[i] = sum_j a_ij g_j''.
template <std::size_t NI> struct H2oInnerSums { std::array<double, NI + 1> g0{}, g1{}, g2{}; };

// Everything of the Helmholtz energy that depends on xi alone.
struct H2oXiTerms {
    bool valid = false;
    std::uint64_t xiBits = 0;
    double phi0 = 0, phi0_x = 0, phi0_xx = 0;
    double Y = 0, Y_x = 0, Y_xx = 0;
    H2oInnerSums<7> s1, s2;
    H2oInnerSums<5> s3, s4;
};

namespace {

using XiTerms = H2oXiTerms;
template <std::size_t NI> using InnerSums = H2oInnerSums<NI>;

template <std::size_t NI, std::size_t NJ, std::size_t N1, std::size_t N2>
void innerSums(const CheckedMatrix<double, N1, N2>& coef, const double* g, const double* g_x,
               const double* g_xx, InnerSums<NI>& out) {
    const auto& a = coef.raw();
    for (std::size_t i = 1; i <= NI; ++i) {
        double s0 = 0, s1 = 0, s2 = 0;
        for (std::size_t j = 1; j <= NJ; ++j) {
            s0 += a[i][j] * g[j];
            s1 += a[i][j] * g_x[j];
            s2 += a[i][j] * g_xx[j];
        }
        out.g0[i] = s0;
        out.g1[i] = s1;
        out.g2[i] = s2;
    }
}

void computeXiTerms(const Constants& c, double xi, XiTerms& t) {
    t.valid = true;
    t.xiBits = std::bit_cast<std::uint64_t>(xi);

    // Ideal-gas part: phi0 = sum_{i=1..6} c_i (-xi)^(2-i) + (c8 + c7 xi) ln(-xi) and derivatives.
    const auto& c8 = c.h2oCoef8.raw();
    const double mxi = -xi;
    std::array<double, 9> mp{}; // mp[k] = (-xi)^(k - 6), k = 0..8
    mp[6] = 1;
    mp[7] = mxi;
    mp[8] = mxi * mxi;
    const double inv = 1 / mxi;
    for (int k = 5; k >= 0; --k)
        mp[static_cast<std::size_t>(k)] = mp[static_cast<std::size_t>(k + 1)] * inv;
    const auto P = [&](int e) { return mp[static_cast<std::size_t>(e + 6)]; };
    double phi0 = 0, phi0_x = 0, phi0_xx = 0;
    for (int i = 1; i <= 6; ++i) {
        const double ci = c8[static_cast<std::size_t>(i)];
        phi0 += ci * P(2 - i);
        phi0_x -= ci * (2 - i) * P(1 - i);
        phi0_xx += ci * (2 - i) * (1 - i) * P(-i);
    }
    const double lnMxi = std::log(mxi);
    t.phi0 = phi0 + (c8[8] + c8[7] * xi) * lnMxi;
    t.phi0_x = phi0_x + c8[7] * (lnMxi + 1) + c8[8] / xi;
    t.phi0_xx = phi0_xx + c8[7] / xi - c8[8] / (xi * xi);

    t.Y = libm::exp(-K::e5 * (xi + 3));
    t.Y_x = -K::e5 * t.Y;
    t.Y_xx = K::e5 * K::e5 * t.Y;

    // Temperature functions T_j = xi^(j-1) (j = 1..12) and U_j = xi^(j+1) (j = 1..5).
    std::array<double, 14> xp{}; // xp[k] = xi^k
    xp[0] = 1;
    for (std::size_t k = 1; k < xp.size(); ++k)
        xp[k] = xp[k - 1] * xi;
    std::array<double, 13> Tf{}, Tf_x{}, Tf_xx{};
    for (int j = 1; j <= 12; ++j) {
        const auto u = static_cast<std::size_t>(j);
        Tf[u] = xp[u - 1];
        Tf_x[u] = j >= 2 ? (j - 1) * xp[u - 2] : 0;
        Tf_xx[u] = j >= 3 ? double(j - 1) * (j - 2) * xp[u - 3] : 0;
    }
    std::array<double, 6> Uf{}, Uf_x{}, Uf_xx{};
    for (int j = 1; j <= 5; ++j) {
        const auto u = static_cast<std::size_t>(j);
        Uf[u] = xp[u + 1];
        Uf_x[u] = (j + 1) * xp[u];
        Uf_xx[u] = double(j + 1) * j * xp[u - 1];
    }
    innerSums<7, 7>(c.h2oCoefA, Tf.data(), Tf_x.data(), Tf_xx.data(), t.s1);
    innerSums<7, 12>(c.h2oCoefB, Tf.data(), Tf_x.data(), Tf_xx.data(), t.s2);
    innerSums<5, 5>(c.h2oCoefC, Uf.data(), Uf_x.data(), Uf_xx.data(), t.s3);
    innerSums<5, 10>(c.h2oCoefD, Tf.data(), Tf_x.data(), Tf_xx.data(), t.s4);
}

// Bit for bit equality of two coefficient arrays.
template <class T> bool same(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// The coefficients the temperature-only terms are formed from, as the cache last saw them.
struct WaterCoefficients {
    std::array<double, 9> coef8{};
    std::array<std::array<double, 8>, 8> A{};
    std::array<std::array<double, 13>, 8> B{};
    std::array<std::array<double, 6>, 6> C{};
    std::array<std::array<double, 11>, 6> D{};
    bool sameAs(const Constants& c) const {
        // Bit for bit: the terms were formed from exactly these values.
        return same(coef8, c.h2oCoef8.raw()) && same(A, c.h2oCoefA.raw()) && same(B, c.h2oCoefB.raw()) &&
               same(C, c.h2oCoefC.raw()) && same(D, c.h2oCoefD.raw());
    }
    void assign(const Constants& c) {
        coef8 = c.h2oCoef8.raw();
        A = c.h2oCoefA.raw();
        B = c.h2oCoefB.raw();
        C = c.h2oCoefC.raw();
        D = c.h2oCoefD.raw();
    }
};

// The last few temperatures of this thread, with the coefficient tables they were formed from.
struct XiCache {
    static constexpr std::size_t kWays = 4;
    WaterCoefficients coefficients;
    std::array<XiTerms, kWays> entries;
    std::size_t next = 0;
};

struct Sum {
    double v = 0, w = 0, ww = 0, x = 0, xx = 0, wx = 0;
};

template <std::size_t NI>
Sum reduce(const InnerSums<NI>& g, const double* f, const double* f_w, const double* f_ww) {
    Sum s;
    for (std::size_t i = 1; i <= NI; ++i) {
        s.v += f[i] * g.g0[i];
        s.w += f_w[i] * g.g0[i];
        s.ww += f_ww[i] * g.g0[i];
        s.x += f[i] * g.g1[i];
        s.xx += f[i] * g.g2[i];
        s.wx += f_w[i] * g.g1[i];
    }
    return s;
}

} // namespace

const H2oXiTerms* h2oXiTerms(const Constants& c, double xi) {
    if (!(xi > kMinXi && xi < kMaxXi)) return nullptr;
    thread_local XiCache cache;
    if (!cache.coefficients.sameAs(c)) {
        cache.coefficients.assign(c);
        for (XiTerms& t : cache.entries)
            t.valid = false;
    }
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(xi);
    for (const XiTerms& t : cache.entries)
        if (t.valid && t.xiBits == bits) return &t;
    XiTerms& t = cache.entries[cache.next];
    cache.next = (cache.next + 1) % XiCache::kWays;
    computeXiTerms(c, xi, t);
    return &t;
}

bool h2oHelmholtzFast(Model& m) {
    const H2oXiTerms* terms = h2oXiTerms(m.c, m.xi);
    return terms != nullptr && h2oHelmholtzFast(m, *terms);
}

bool h2oHelmholtzFast(Model& m, const H2oXiTerms& xt) {
    const double omega = m.omega;
    const double xi = m.xi;
    // Inside these bounds (temperatures from 6.5 K to 65000 K, densities up to 100 times the
    // critical one) no checked function of the calculator's kernel can fail.
    if (!(omega > 1e-30 && omega < 100 && xi > kMinXi && xi < kMaxXi) ||
        std::bit_cast<std::uint64_t>(xi) != xt.xiBits)
        return false;

    const double dTau = xi + 1;
    const double dOmega = omega - 1;

    // Critical-region term Lambda(r) Z, as the calculator's kernel forms it.
    const double Z = K::Z0 + K::Z1 * dTau;
    const double r =
        std::sqrt((dOmega / K::aOmega) * (dOmega / K::aOmega) + (dTau / K::aTau) * (dTau / K::aTau));
    const double rk = r / K::k;
    const double u = (rk * rk) * (rk * rk);
    double w = 0;
    if (singleGreater(u, 88))
        w = 1e38;
    else if (singleLess(u, 0.01))
        w = u;
    else
        w = libm::exp(u) - 1;
    const double v = -1 / w;
    const double q = v < -88 ? 1.01e-38 : libm::exp(v);
    const double Lambda = 1 - q;
    double Lambda_w = 0, Lambda_ww = 0, Lambda_x = 0, Lambda_xx = 0, Lambda_wx = 0;
    if (Lambda != 0 && w != 0) {
        const double W = w;
        const double L = std::log(W + 1);
        const double inW = 1 / W + 1 / (W * W);
        const double Lambda_r = -(4 / K::k) * q * inW * libm::pow(L, 0.75);
        double Lambda_rr = -(12 / (K::k * K::k)) * q * inW * std::sqrt(L);
        Lambda_rr = Lambda_rr * ((1 / (W * W) - 1 / W - 1) * (4.0 / 3) * L + 1);
        const double r3 = r * r * r;
        const double aw2 = K::aOmega * K::aOmega, at2 = K::aTau * K::aTau;
        const double r_w = dOmega / r / aw2;
        const double r_x = dTau / r / at2;
        const double r_ww = (1 / r - (dOmega / K::aOmega) * (dOmega / K::aOmega) / r3) / aw2;
        const double r_xx = (1 / r - (dTau / K::aTau) * (dTau / K::aTau) / r3) / at2;
        const double r_wx = -dOmega * dTau / r3 / (aw2 * at2);
        Lambda_w = Lambda_r * r_w;
        Lambda_ww = Lambda_rr * r_w * r_w + Lambda_r * r_ww;
        Lambda_x = Lambda_r * r_x;
        Lambda_xx = Lambda_rr * r_x * r_x + Lambda_r * r_xx;
        Lambda_wx = Lambda_rr * r_w * r_x + Lambda_r * r_wx;
    }

    // Gaussian factor E = exp(-omega^2), G = 1 - E (omega^2 for the tiniest densities).
    const double Om = omega;
    const double Om2 = Om * Om;
    const double E = libm::exp(-Om2);
    const double E_w = -2 * Om * E;
    const double E_ww = -2 * E - 2 * Om * E_w;
    const double G = singleLess(omega, 0.00002) ? Om2 : 1 - E;

    // Switched exponential X = exp(S).
    const double S = -K::e1 * dTau - K::e2 * dOmega - K::e3 * dTau * dTau - K::e4 * dOmega * dOmega;
    const double X = singleLess(S, -88) ? 1.01e-38 : libm::exp(S);
    const double s_w = -K::e2 - 2 * K::e4 * dOmega;
    const double s_x = -K::e1 - 2 * K::e3 * dTau;
    const double X_w = X * s_w;
    const double X_ww = X_w * s_w - 2 * K::e4 * X;
    const double X_x = X * s_x;
    const double X_xx = X_x * s_x - 2 * K::e3 * X;
    const double X_wx = X_x * s_w;

    // Powers of omega, op[k + 3] = omega^k for k = -3..7.
    std::array<double, 11> op{};
    op[3] = 1;
    for (std::size_t k = 4; k < op.size(); ++k)
        op[k] = op[k - 1] * Om;
    const double invOm = 1 / Om;
    op[2] = invOm;
    op[1] = invOm * invOm;
    op[0] = op[1] * invOm;
    const auto P = [&](int e) { return op[static_cast<std::size_t>(e + 3)]; };

    // Density functions Q_i, W_i = omega^i, V_i = omega^(i+1) and their omega-derivatives.
    std::array<double, 8> Q{}, Q_w{}, Q_ww{};
    const double lnOm = std::log(Om);
    for (int i = 1; i <= 7; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (i == 2) {
            Q[k] = G * lnOm - Om2 * lnOm + Om2 / 2;
            Q_w[k] = G / Om - E_w * lnOm - 2 * Om * lnOm;
            Q_ww[k] = -G / Om2 - 2 * E_w / Om - E_ww * lnOm - 2 * lnOm - 2;
        } else {
            Q[k] = G * P(i - 2);
            Q_w[k] = G * (i - 2) * P(i - 3) - E_w * P(i - 2);
            Q_ww[k] = G * (i - 2) * (i - 3) * P(i - 4) - 2 * E_w * (i - 2) * P(i - 3) - E_ww * P(i - 2);
        }
    }
    std::array<double, 8> Wf{}, Wf_w{}, Wf_ww{};
    for (int i = 1; i <= 7; ++i) {
        const auto k = static_cast<std::size_t>(i);
        Wf[k] = P(i);
        Wf_w[k] = i * P(i - 1);
        Wf_ww[k] = double(i) * (i - 1) * P(i - 2);
    }
    std::array<double, 6> Vf{}, Vf_w{}, Vf_ww{};
    for (int i = 1; i <= 5; ++i) {
        const auto k = static_cast<std::size_t>(i);
        Vf[k] = P(i + 1);
        Vf_w[k] = (i + 1) * P(i);
        Vf_ww[k] = double(i + 1) * i * P(i - 1);
    }

    const Sum s1 = reduce(xt.s1, Q.data(), Q_w.data(), Q_ww.data());
    const Sum s2 = reduce(xt.s2, Wf.data(), Wf_w.data(), Wf_ww.data());
    const Sum s3 = reduce(xt.s3, Vf.data(), Vf_w.data(), Vf_ww.data());
    const Sum s4 = reduce(xt.s4, Q.data(), Q_w.data(), Q_ww.data());
    const double Y = xt.Y, Y_x = xt.Y_x, Y_xx = xt.Y_xx;

    const double Phi = xt.phi0 + lnOm + s1.v + E * s2.v + X * s3.v + Y * s4.v + Lambda * Z;
    const double Phi_w =
        1 / Om + s1.w + E_w * s2.v + E * s2.w + X_w * s3.v + X * s3.w + Y * s4.w + Z * Lambda_w;
    const double Phi_ww = -1 / Om2 + s1.ww + E_ww * s2.v + 2 * E_w * s2.w + E * s2.ww + X_ww * s3.v +
                          2 * X_w * s3.w + X * s3.ww + Y * s4.ww + Z * Lambda_ww;
    const double Phi_x = xt.phi0_x + s1.x + E * s2.x + X_x * s3.v + X * s3.x + Y_x * s4.v + Y * s4.x +
                         Lambda_x * Z + Lambda * K::Z1;
    const double Phi_xx = xt.phi0_xx + s1.xx + E * s2.xx + X_xx * s3.v + 2 * X_x * s3.x + X * s3.xx +
                          Y_xx * s4.v + 2 * Y_x * s4.x + Y * s4.xx + Lambda_xx * Z + 2 * Lambda_x * K::Z1;
    const double Phi_wx = s1.wx + E_w * s2.x + E * s2.wx + X_wx * s3.v + X_w * s3.x + X_x * s3.w + X * s3.wx +
                          Y_x * s4.w + Y * s4.wx + K::Z1 * Lambda_w + Z * Lambda_wx;
    if (!std::isfinite(Phi) || !std::isfinite(Phi_w) || !std::isfinite(Phi_ww) || !std::isfinite(Phi_x) ||
        !std::isfinite(Phi_xx) || !std::isfinite(Phi_wx))
        return false;

    m.deltaTau = dTau;
    m.deltaOmega = dOmega;
    m.Phi = Phi;
    m.Phi_w = Phi_w;
    m.Phi_ww = Phi_ww;
    m.Phi_x = Phi_x;
    m.Phi_xx = Phi_xx;
    m.Phi_wx = Phi_wx;
    return true;
}

} // namespace co2
