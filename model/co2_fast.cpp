// The carbon dioxide residual Helmholtz energy in double arithmetic: the calculator's formulas
// (co2.cpp) term by term, with what depends on tau alone formed once per temperature, whole powers
// of delta as products, and exp(-delta^c) once per distinct c.
#include "model/co2_fast.h"

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#include "model/libm_core.h"
#include "model/vector_exp.h"

namespace co2 {

namespace {

constexpr int kTerms = 42;
// Whole powers of delta from delta^kMinPower to delta^kMaxPower are products.
constexpr int kMinPower = -2;
constexpr int kMaxPower = 12;
constexpr int kMaxC = 6;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The temperatures the fast kernel takes (3 K to 30000 K).
constexpr double kMinTau = 0.01;
constexpr double kMaxTau = 100;

} // namespace

// Everything of the residual sums that depends on tau alone, and the exponents as integers.
struct Co2TauTerms {
    bool valid = false;
    std::uint64_t tauBits = 0;
    bool usable = false;  // false: an exponent that is not a small whole number
    bool builtIn = false; // the tables are Span and Wagner's own (the compiled-in kernel serves them)
    // Terms 1..39: n tau^t, n t tau^(t-1), n t (t-1) tau^(t-2); d as an integer.
    std::array<double, kTerms + 1> nt0{}, nt1{}, nt2{};
    std::array<int, kTerms + 1> d{};
    std::array<double, kTerms + 1> dD{}; // d as a double
    // Exponential terms 8..34: c as an integer.
    std::array<int, kTerms + 1> cexp{};
    std::array<double, kTerms + 1> cD{}; // c as a double
    // Gaussian terms 35..39: exp(-beta (tau - gamma)^2), Ft and Ft^2 - t/tau^2 - 2 beta.
    std::array<double, kTerms + 1> gaussTau{}, Ft{}, Ftt{};
    // Non-analytic terms 40..42: exp(-D (tau - 1)^2).
    std::array<double, kTerms + 1> psiTau{};
};

namespace {

using TauTerms = Co2TauTerms;

bool wholeIn(double x, int lo, int hi) {
    return x == std::floor(x) && x >= lo && x <= hi;
}

// The coefficients of the residual sums, as the cache last saw them: those the tau-only terms are
// formed from, and the others, which decide whether the compiled-in kernel serves the tables.
// Constants holds the fourteen arrays one after the other, swN to swCapD; they are compared and
// copied as that one block of bytes.
constexpr std::size_t kResidualTablesBytes =
    sizeof(Constants::swN) + sizeof(Constants::swD) + sizeof(Constants::swT) + sizeof(Constants::swC) +
    sizeof(Constants::swAlpha) + sizeof(Constants::swBeta) + sizeof(Constants::swGamma) +
    sizeof(Constants::swEps) + sizeof(Constants::swA) + sizeof(Constants::swB) + sizeof(Constants::swCapA) +
    sizeof(Constants::swCapB) + sizeof(Constants::swCapC) + sizeof(Constants::swCapD);
const unsigned char* residualTables(const Constants& k) {
    return reinterpret_cast<const unsigned char*>(&k.swN);
}
bool residualTablesAreOneBlock(const Constants& k) {
    return reinterpret_cast<const unsigned char*>(&k.swCapD) + sizeof k.swCapD ==
           residualTables(k) + kResidualTablesBytes;
}
struct Co2Coefficients {
    std::array<unsigned char, kResidualTablesBytes> bytes{};
    bool sameAs(const Constants& k) const {
        // Bit for bit: the terms were formed from exactly these values.
        return std::memcmp(bytes.data(), residualTables(k), kResidualTablesBytes) == 0;
    }
    void assign(const Constants& k) { std::memcpy(bytes.data(), residualTables(k), kResidualTablesBytes); }
};

// The last two temperatures of this thread, with the coefficient tables they were formed from.
struct TauCache {
    static constexpr std::size_t kWays = 2;
    Co2Coefficients coefficients;
    bool builtIn = false; // the coefficients are Span and Wagner's own
    std::array<TauTerms, kWays> entries;
    std::size_t next = 0;
};

// Calls f(std::integral_constant<std::size_t, i>) for i = First..Last in order: the term loops
// unroll, so that the built-in coefficients below are constants at every term.
template <std::size_t First, std::size_t Last, class F> inline void forTerms(F&& f) {
    [&]<std::size_t... k>(std::index_sequence<k...>) {
        (f(std::integral_constant<std::size_t, First + k>{}), ...);
    }
    (std::make_index_sequence<Last - First + 1>{});
}

// The coefficients as the model's tables hold them.
struct TableCoefficients {
    const Constants& c;
    const TauTerms& tt;
    double n(std::size_t i) const { return c.swN.raw()[i]; }
    int d(std::size_t i) const { return tt.d[i]; }
    double dD(std::size_t i) const { return tt.dD[i]; }
    int cexp(std::size_t i) const { return tt.cexp[i]; }
    double cD(std::size_t i) const { return tt.cD[i]; }
    double alpha(std::size_t i) const { return c.swAlpha.raw()[i]; }
    double eps(std::size_t i) const { return c.swEps.raw()[i]; }
    double a(std::size_t i) const { return c.swA.raw()[i]; }
    double b(std::size_t i) const { return c.swB.raw()[i]; }
    double beta(std::size_t i) const { return c.swBeta.raw()[i]; }
    double A(std::size_t i) const { return c.swCapA.raw()[i]; }
    double B(std::size_t i) const { return c.swCapB.raw()[i]; }
    double C(std::size_t i) const { return c.swCapC.raw()[i]; }
    double D(std::size_t i) const { return c.swCapD.raw()[i]; }
};

// Span and Wagner's own coefficients under the model's indices, compiled in: a model whose tables
// hold exactly these (every model loadConstants filled) evaluates the same statements with every
// exponent, power index and parameter known to the compiler, which then forms each whole power
// and each shared subexpression once. The values and their order of operations are those of the
// tables' kernel, so both give the same bits.
struct BuiltInTables {
    std::array<double, kTerms + 1> n{}, d{}, c{}, alpha{}, eps{}, a{}, b{}, beta{}, A{}, B{}, C{}, D{}, t{},
        gamma{};
};
constexpr BuiltInTables builtInTables() {
    BuiltInTables k;
    std::size_t i = 1;
    for (const auto& p : spanWagner::kPolynomial) {
        k.n[i] = p.n;
        k.d[i] = p.d;
        k.t[i] = p.t;
        ++i;
    }
    for (const auto& e : spanWagner::kExponential) {
        k.n[i] = e.n;
        k.d[i] = e.d;
        k.t[i] = e.t;
        k.c[i] = e.c;
        ++i;
    }
    for (const auto& g : spanWagner::kGaussian) {
        k.n[i] = g.n;
        k.d[i] = g.d;
        k.t[i] = g.t;
        k.alpha[i] = g.alpha;
        k.beta[i] = g.beta;
        k.gamma[i] = g.gamma;
        k.eps[i] = g.eps;
        ++i;
    }
    for (const auto& t : spanWagner::kNonAnalytic) {
        k.n[i] = t.n;
        k.a[i] = t.a;
        k.b[i] = t.b;
        k.beta[i] = t.beta;
        k.A[i] = t.A;
        k.B[i] = t.B;
        k.C[i] = t.C;
        k.D[i] = t.D;
        ++i;
    }
    return k;
}
inline constexpr BuiltInTables kBuiltIn = builtInTables();

struct BuiltInCoefficients {
    static constexpr double n(std::size_t i) { return kBuiltIn.n[i]; }
    static constexpr int d(std::size_t i) { return static_cast<int>(kBuiltIn.d[i]); }
    static constexpr double dD(std::size_t i) { return kBuiltIn.d[i]; }
    static constexpr int cexp(std::size_t i) { return static_cast<int>(kBuiltIn.c[i]); }
    static constexpr double cD(std::size_t i) { return kBuiltIn.c[i]; }
    static constexpr double alpha(std::size_t i) { return kBuiltIn.alpha[i]; }
    static constexpr double eps(std::size_t i) { return kBuiltIn.eps[i]; }
    static constexpr double a(std::size_t i) { return kBuiltIn.a[i]; }
    static constexpr double b(std::size_t i) { return kBuiltIn.b[i]; }
    static constexpr double beta(std::size_t i) { return kBuiltIn.beta[i]; }
    static constexpr double A(std::size_t i) { return kBuiltIn.A[i]; }
    static constexpr double B(std::size_t i) { return kBuiltIn.B[i]; }
    static constexpr double C(std::size_t i) { return kBuiltIn.C[i]; }
    static constexpr double D(std::size_t i) { return kBuiltIn.D[i]; }
};

// The compiled-in kernel serves exactly the tables loadConstants fills: every array the residual
// sums read, bit for bit, the unused elements (left 0) included.
template <class Array> bool holds(const Array& table, const std::array<double, kTerms + 1>& values) {
    static_assert(std::tuple_size_v<std::remove_cvref_t<decltype(table.raw())>> <= kTerms + 1);
    return std::memcmp(table.raw().data(), values.data(), sizeof(table.raw())) == 0;
}
bool holdsBuiltInTables(const Constants& c) {
    const BuiltInTables& k = kBuiltIn;
    return holds(c.swN, k.n) && holds(c.swD, k.d) && holds(c.swT, k.t) && holds(c.swC, k.c) &&
           holds(c.swAlpha, k.alpha) && holds(c.swBeta, k.beta) && holds(c.swGamma, k.gamma) &&
           holds(c.swEps, k.eps) && holds(c.swA, k.a) && holds(c.swB, k.b) && holds(c.swCapA, k.A) &&
           holds(c.swCapB, k.B) && holds(c.swCapC, k.C) && holds(c.swCapD, k.D);
}

// Where each term finds its exponentials in a pass's batch: exp(-delta^c) for c = 1..kMaxC first,
// then the Gaussian terms' exp(-alpha (delta - eps)^2) and the non-analytic terms' q^(1/(2 beta)),
// q^a and exp(-C q). Terms whose argument is the same expression of parameters with the same bits
// share a slot. The compiled-in tables' slots are worked out at compile time.
struct BatchSlots {
    static constexpr std::size_t kMost = kMaxC + 5 + 9; // every term a slot of its own
    std::array<std::size_t, 5> gauss{};
    std::array<std::size_t, 3> qhb{}, qa{}, psi{};
    std::size_t count = kMaxC;
};
constexpr bool sameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}
// Gives each of N terms the slot of the first earlier term whose parameters same(j, i) finds
// equal, or else the next free one.
template <std::size_t N, class Same>
constexpr void assignSlots(std::array<std::size_t, N>& slot, std::size_t& count, Same same) {
    for (std::size_t i = 0; i < N; ++i) {
        slot[i] = count;
        for (std::size_t j = 0; j < i; ++j)
            if (same(j, i)) {
                slot[i] = slot[j];
                break;
            }
        if (slot[i] == count) ++count;
    }
}
template <class K> constexpr BatchSlots batchSlots(const K& k) {
    BatchSlots s;
    assignSlots(s.gauss, s.count, [&](std::size_t j, std::size_t i) {
        return sameBits(k.alpha(35 + j), k.alpha(35 + i)) && sameBits(k.eps(35 + j), k.eps(35 + i));
    });
    assignSlots(s.qhb, s.count,
                [&](std::size_t j, std::size_t i) { return sameBits(k.beta(40 + j), k.beta(40 + i)); });
    assignSlots(s.qa, s.count,
                [&](std::size_t j, std::size_t i) { return sameBits(k.a(40 + j), k.a(40 + i)); });
    assignSlots(s.psi, s.count,
                [&](std::size_t j, std::size_t i) { return sameBits(k.C(40 + j), k.C(40 + i)); });
    return s;
}
template <class K> BatchSlots slotsFor(const K& k) {
    if constexpr (std::is_empty_v<K>) {
        constexpr BatchSlots s = batchSlots(K{});
        return s;
    } else {
        return batchSlots(k);
    }
}
// n lanes rounded up to whole vectors.
template <class Exp> constexpr std::size_t lanesFor(std::size_t n) {
    return (n + Exp::kLanes - 1) / Exp::kLanes * Exp::kLanes;
}

// How a pass forms its batches of exponentials: one library call each, or four at a time where the
// vector kernel gives the library's bits (the pass is then compiled for AVX2 as a whole, below).
struct OneAtATime {
    static constexpr std::size_t kLanes = 1;
    static void each(double* x, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            x[i] = libm::exp(x[i]);
    }
};
#ifdef CO2_VECTOR_EXP
struct FourAtATime {
    static constexpr std::size_t kLanes = 4;
    CO2_AVX2_FMA static void each(double* x, std::size_t n) { libm::detail::expAvx2Fma(x, x, n); }
};
#endif

template <bool kAllSums, class Exp, class K>
bool residualFast(const K& k, const TauTerms& tt, double delta, double tau, Co2Residual& out) {
    // Inside these bounds (densities up to ten times the critical one) no checked function of the
    // calculator's kernel can fail.
    if (!(delta > 1e-12 && delta < 10) || !tt.usable || std::bit_cast<std::uint64_t>(tau) != tt.tauBits)
        return false;

    std::array<double, kMaxPower - kMinPower + 1> dpow{};
    dpow[-kMinPower] = 1;
    for (int p = 1; p <= kMaxPower; ++p)
        dpow[static_cast<std::size_t>(p - kMinPower)] =
            dpow[static_cast<std::size_t>(p - 1 - kMinPower)] * delta;
    const double invDelta = 1 / delta;
    dpow[1] = invDelta;
    dpow[0] = invDelta * invDelta;
    const auto P = [&](int p) { return dpow[static_cast<std::size_t>(p - kMinPower)]; };

    Co2Residual r;
    // Polynomial terms, i = 1..7.
    forTerms<1, 7>([&](auto i) {
        const int d = k.d(i);
        const double dd1 = P(d - 1);
        if constexpr (kAllSums) {
            const double dd = P(d);
            r.phi += tt.nt0[i] * dd;
            r.phi_t += tt.nt1[i] * dd;
            r.phi_tt += tt.nt2[i] * dd;
            r.phi_dt += d * tt.nt1[i] * dd1;
        }
        r.phi_d += d * tt.nt0[i] * dd1;
        r.phi_dd += double(d) * (d - 1) * tt.nt0[i] * P(d - 2);
    });

    // Every exponential whose argument is known before the sums start, formed in one batch. Each
    // argument is the expression the terms below would pass, so each value has the same bits.
    const BatchSlots slot = slotsFor(k);
    std::array<double, BatchSlots::kMost> batch{}; // lanes past the last slot hold exp(0)
    static_assert(BatchSlots::kMost % 4 == 0);
    for (int p = 1; p <= kMaxC; ++p)
        batch[static_cast<std::size_t>(p - 1)] = -P(p);
    forTerms<35, 39>([&](auto i) {
        const double de = delta - k.eps(i);
        batch[slot.gauss[i - 35]] = -k.alpha(i) * de * de;
    });
    // Non-analytic terms, i = 40..42, every fractional power taken of q = (delta - 1)^2.
    constexpr double kNudge = 10 * DBL_EPSILON;
    const double dn = std::fabs(delta - 1) < kNudge ? 1 + kNudge : delta;
    const double dm1 = dn - 1;
    const double q = dm1 * dm1;
    const double lnq = std::log(q);
    forTerms<40, 42>([&](auto i) {
        batch[slot.qhb[i - 40]] = (1 / (2 * k.beta(i))) * lnq; // q^(1/(2 beta))
        batch[slot.qa[i - 40]] = k.a(i) * lnq;                 // q^a
        batch[slot.psi[i - 40]] = -k.C(i) * q;
    });
    Exp::each(batch.data(), lanesFor<Exp>(slot.count));

    // Exponential terms, i = 8..34, X = exp(-delta^c).
    const auto Xc = [&](int c) { return batch[static_cast<std::size_t>(c - 1)]; };
    // Three sets of partial sums, so that the additions of successive terms do not wait on each
    // other.
    struct Partial {
        double phi = 0, d = 0, dd = 0, t = 0, tt = 0, dt = 0;
    };
    const auto term = [&](std::size_t i, Partial& s) {
        const double d = k.dD(i);
        const double cc = k.cD(i);
        const double dc = P(k.cexp(i));
        const double X = Xc(k.cexp(i));
        const double dd1 = P(k.d(i) - 1);
        const double ccdc = cc * dc;
        const double g = d - ccdc;
        const double a = tt.nt0[i] * X;
        if constexpr (kAllSums) {
            const double ddX = P(k.d(i)) * X;
            s.phi += tt.nt0[i] * ddX;
            s.t += tt.nt1[i] * ddX;
            s.tt += tt.nt2[i] * ddX;
            s.dt += tt.nt1[i] * dd1 * g * X;
        }
        s.d += a * dd1 * g;
        s.dd += a * P(k.d(i) - 2) * (g * (d - 1 - ccdc) - cc * ccdc);
    };
    static_assert((34 - 8 + 1) % 3 == 0);
    Partial e0, e1, e2;
    forTerms<0, (34 - 8) / 3>([&](auto j) {
        constexpr std::size_t i = 8 + 3 * decltype(j)::value;
        term(i, e0);
        term(i + 1, e1);
        term(i + 2, e2);
    });
    if constexpr (kAllSums) {
        r.phi += (e0.phi + e1.phi) + e2.phi;
        r.phi_t += (e0.t + e1.t) + e2.t;
        r.phi_tt += (e0.tt + e1.tt) + e2.tt;
        r.phi_dt += (e0.dt + e1.dt) + e2.dt;
    }
    r.phi_d += (e0.d + e1.d) + e2.d;
    r.phi_dd += (e0.dd + e1.dd) + e2.dd;

    // Gaussian terms, i = 35..39.
    forTerms<35, 39>([&](auto i) {
        const int d = k.d(i);
        const double alpha = k.alpha(i);
        const double de = delta - k.eps(i);
        const double G = batch[slot.gauss[i - 35]] * tt.gaussTau[i];
        const double Fd = d * invDelta - 2 * alpha * de;
        const double dd = P(d);
        const double ntG = tt.nt0[i] * G;
        if constexpr (kAllSums) {
            r.phi += ntG * dd;
            r.phi_t += ntG * dd * tt.Ft[i];
            r.phi_tt += ntG * dd * tt.Ftt[i];
            r.phi_dt += ntG * dd * Fd * tt.Ft[i];
        }
        r.phi_d += ntG * dd * Fd;
        r.phi_dd += ntG * (-2 * alpha * dd + 4 * alpha * alpha * dd * de * de -
                           4 * d * alpha * P(d - 1) * de + double(d) * (d - 1) * P(d - 2));
    });

    // Non-analytic terms: Delta and its derivatives, and ln Delta, for each term first, so that the
    // three Delta^b are formed in one batch.
    struct NonAnalytic {
        double theta, Delta, Delta_d, Delta_dd;
    };
    std::array<NonAnalytic, 3> na;
    std::array<double, 4> Db{}; // the fourth lane pads a vector
    double lastDelta = kNaN, lnDelta = 0;
    forTerms<40, 42>([&](auto i) {
        const double a = k.a(i);
        const double beta = k.beta(i);
        const double A = k.A(i);
        const double B = k.B(i);
        const double halfInvBeta = 1 / (2 * beta);
        const double qhb = batch[slot.qhb[i - 40]];
        const double qa = batch[slot.qa[i - 40]];
        const double qb1 = qhb / q; // q^(1/(2 beta) - 1)
        const double theta = (1 - tau) + A * qhb;
        const double Delta = theta * theta + B * qa;
        const double Delta_d = dm1 * (2 * a * B * (qa / q) + (2 * A * theta / beta) * qb1);
        const double Delta_dd = Delta_d / dm1 + q * (4 * B * a * (a - 1) * (qa / (q * q)) +
                                                     2 * A * A * (1 / (beta * beta)) * (qb1 * qb1) +
                                                     (4 * A * theta / beta) * (halfInvBeta - 1) * (qb1 / q));
        if (Delta != lastDelta) {
            lnDelta = std::log(Delta);
            lastDelta = Delta;
        }
        na[i - 40] = {theta, Delta, Delta_d, Delta_dd};
        Db[i - 40] = k.b(i) * lnDelta; // Delta^b
    });
    Exp::each(Db.data(), lanesFor<Exp>(3));
    forTerms<40, 42>([&](auto i) {
        const double n = k.n(i);
        const double b = k.b(i);
        const double beta = k.beta(i);
        const double A = k.A(i);
        const double C = k.C(i);
        const double D = k.D(i);
        const auto [theta, Delta, Delta_d, Delta_dd] = na[i - 40];
        const double qb1 = batch[slot.qhb[i - 40]] / q;
        const double Psi = batch[slot.psi[i - 40]] * tt.psiTau[i];
        const double Db1 = Db[i - 40] / Delta;
        const double Db2 = Db1 / Delta;
        const double Db_d = b * Db1 * Delta_d;
        const double Db_dd = b * (Db1 * Delta_dd + (b - 1) * Db2 * (Delta_d * Delta_d));
        const double tm1 = tau - 1;
        const double Psi_d = -2 * C * dm1 * Psi;
        const double Psi_dd = (2 * C * q - 1) * 2 * C * Psi;
        if constexpr (kAllSums) {
            const double Db_t = -2 * theta * b * Db1;
            const double Db_tt = 2 * b * Db1 + 4 * (theta * theta) * b * (b - 1) * Db2;
            const double Db_dt =
                -(2 * A * b / beta) * Db1 * dm1 * qb1 - 2 * theta * b * (b - 1) * Db2 * Delta_d;
            const double Psi_t = -2 * D * tm1 * Psi;
            const double Psi_tt = (2 * D * (tm1 * tm1) - 1) * 2 * D * Psi;
            const double Psi_dt = 4 * C * D * dm1 * tm1 * Psi;
            r.phi += n * Db[i - 40] * dn * Psi;
            r.phi_t += n * dn * (Db_t * Psi + Db[i - 40] * Psi_t);
            r.phi_tt += n * dn * (Db_tt * Psi + 2 * Db_t * Psi_t + Db[i - 40] * Psi_tt);
            r.phi_dt += n * (Db[i - 40] * (Psi_t + dn * Psi_dt) + dn * Db_d * Psi_t +
                             Db_t * (Psi + dn * Psi_d) + Db_dt * dn * Psi);
        }
        r.phi_d += n * (Db[i - 40] * (Psi + dn * Psi_d) + Db_d * dn * Psi);
        r.phi_dd +=
            n * (Db[i - 40] * (2 * Psi_d + dn * Psi_dd) + 2 * Db_d * (Psi + dn * Psi_d) + Db_dd * dn * Psi);
    });

    if (!std::isfinite(r.phi) || !std::isfinite(r.phi_d) || !std::isfinite(r.phi_dd) ||
        !std::isfinite(r.phi_t) || !std::isfinite(r.phi_tt) || !std::isfinite(r.phi_dt))
        return false;
    out = r;
    return true;
}

#ifdef CO2_VECTOR_EXP
// The whole pass inlined into one function built for AVX2 and FMA. Its arithmetic is the baseline
// build's, operation for operation: the model is compiled without contraction, so no product and
// sum become one fused operation; only the exponentials' batches (which do fuse, as the library
// does) and the code around them use the wider instructions.
template <bool kAllSums, class K>
CO2_AVX2_FMA __attribute__((flatten)) bool residualFourAtATime(const K& k, const TauTerms& tt, double delta,
                                                               double tau, Co2Residual& out) {
    return residualFast<kAllSums, FourAtATime>(k, tt, delta, tau, out);
}
#endif

// The batches as this machine forms them best: four at a time where the vector kernel serves.
struct BestExp;

template <bool kAllSums, class Exp, class K>
bool residualWith(const K& k, const TauTerms& tt, double delta, double tau, Co2Residual& out) {
#ifdef CO2_VECTOR_EXP
    if constexpr (std::is_same_v<Exp, BestExp>) {
        static const bool fourAtATime = libm::vectorExpServes();
        if (fourAtATime) return residualFourAtATime<kAllSums>(k, tt, delta, tau, out);
    }
#endif
    return residualFast<kAllSums, OneAtATime>(k, tt, delta, tau, out);
}

template <bool kAllSums, class Exp>
bool residualFor(const Constants& c, const TauTerms& tt, double delta, double tau, Co2Residual& out) {
    if (tt.builtIn) return residualWith<kAllSums, Exp>(BuiltInCoefficients{}, tt, delta, tau, out);
    return residualWith<kAllSums, Exp>(TableCoefficients{c, tt}, tt, delta, tau, out);
}

// For each of terms 1..39, the first term with the same exponent t: Span and Wagner's 39 terms have
// 16 distinct ones, and tau^t is formed once for each.
constexpr std::array<std::size_t, kTerms + 1> kFirstWithT = [] {
    std::array<std::size_t, kTerms + 1> first{};
    for (std::size_t i = 1; i <= 39; ++i) {
        first[i] = i;
        for (std::size_t j = 1; j < i; ++j)
            if (kBuiltIn.t[j] == kBuiltIn.t[i]) {
                first[i] = j;
                break;
            }
    }
    return first;
}();

// builtIn: the tables are Span and Wagner's own, so kFirstWithT holds for them.
void computeTauTerms(const Constants& c, double tau, bool builtIn, TauTerms& t) {
    t.valid = true;
    t.tauBits = std::bit_cast<std::uint64_t>(tau);
    t.usable = true;
    const auto& n = c.swN.raw();
    const auto& d = c.swD.raw();
    const auto& te = c.swT.raw();
    std::array<double, kTerms + 1> powers{};
    for (std::size_t i = 1; i <= 39; ++i) {
        const double tt = builtIn && kFirstWithT[i] != i ? powers[kFirstWithT[i]] : libm::pow(tau, te[i]);
        powers[i] = tt;
        t.nt0[i] = n[i] * tt;
        t.nt1[i] = n[i] * te[i] * (tt / tau);
        t.nt2[i] = n[i] * te[i] * (te[i] - 1) * (tt / (tau * tau));
        if (!wholeIn(d[i], 0, kMaxPower)) {
            t.usable = false;
            continue;
        }
        t.d[i] = static_cast<int>(d[i]);
        t.dD[i] = d[i];
    }
    const auto& cc = c.swC.raw();
    for (std::size_t i = 8; i <= 34; ++i) {
        if (!wholeIn(cc[i], 1, kMaxC)) {
            t.usable = false;
            continue;
        }
        t.cexp[i] = static_cast<int>(cc[i]);
        t.cD[i] = cc[i];
    }
    for (std::size_t i = 35; i <= 39; ++i) {
        const double beta = c.swBeta.raw()[i];
        const double gamma = c.swGamma.raw()[i];
        t.gaussTau[i] = libm::exp(-beta * (tau - gamma) * (tau - gamma));
        t.Ft[i] = te[i] / tau - 2 * beta * (tau - gamma);
        t.Ftt[i] = t.Ft[i] * t.Ft[i] - te[i] / (tau * tau) - 2 * beta;
    }
    for (std::size_t i = 40; i <= 42; ++i) {
        const double D = c.swCapD.raw()[i];
        t.psiTau[i] = libm::exp(-D * (tau - 1) * (tau - 1));
    }
}

} // namespace

const Co2TauTerms* co2TauTerms(const Constants& c, double tau) {
    if (!(tau > kMinTau && tau < kMaxTau)) return nullptr;
    // The tables are compared as one block; a layout where they are not (none this compiler
    // makes) takes the calculator's kernel.
    if (!residualTablesAreOneBlock(c)) return nullptr;
    thread_local TauCache cache;
    if (!cache.coefficients.sameAs(c)) {
        cache.coefficients.assign(c);
        cache.builtIn = holdsBuiltInTables(c);
        for (TauTerms& t : cache.entries)
            t.valid = false;
    }
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(tau);
    for (const TauTerms& t : cache.entries)
        if (t.valid && t.tauBits == bits) return &t;
    TauTerms& t = cache.entries[cache.next];
    cache.next = (cache.next + 1) % TauCache::kWays;
    computeTauTerms(c, tau, cache.builtIn, t);
    t.builtIn = cache.builtIn && t.usable;
    return &t;
}

bool co2ResidualFast(const Constants& c, const Co2TauTerms& terms, double delta, double tau, bool allSums,
                     Co2Residual& out) {
    return allSums ? residualFor<true, BestExp>(c, terms, delta, tau, out)
                   : residualFor<false, BestExp>(c, terms, delta, tau, out);
}

bool co2ResidualFast(const Constants& c, double delta, double tau, bool allSums, Co2Residual& out) {
    const Co2TauTerms* terms = co2TauTerms(c, tau);
    return terms != nullptr && co2ResidualFast(c, *terms, delta, tau, allSums, out);
}

bool co2ResidualFastOneAtATime(const Constants& c, double delta, double tau, bool allSums, Co2Residual& out) {
    const Co2TauTerms* terms = co2TauTerms(c, tau);
    if (terms == nullptr) return false;
    return allSums ? residualFor<true, OneAtATime>(c, *terms, delta, tau, out)
                   : residualFor<false, OneAtATime>(c, *terms, delta, tau, out);
}

} // namespace co2
