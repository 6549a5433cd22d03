// The fast double path (Model::fastArithmetic): its checked functions fail exactly where the
// runtime's do, and its Helmholtz kernels give the calculator's values to rounding, including the
// branches that the calculator's range never takes (the critical regions). That the whole report
// prints alike is co2check's job (tools/co2check.cpp, run by ctest on thousands of state points).
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <memory>
#include <vector>

#include "core/errors.h"
#include "core/math.h"
#include "model/arith.h"
#include "model/co2.h"
#include "model/co2_fast.h"
#include "model/last_block.h"
#include "model/libm_core.h"
#include "model/vector_exp.h"
#include "model/water.h"
#include "model/water_fast.h"

namespace co2 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A double's bits, for comparisons that must hold to the last bit (and NaN equal to itself).
std::uint64_t bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}
// The six sums of a residual evaluation.
constexpr std::array kSums{&Co2Residual::phi,   &Co2Residual::phi_d,  &Co2Residual::phi_dd,
                           &Co2Residual::phi_t, &Co2Residual::phi_tt, &Co2Residual::phi_dt};
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Call {
    core::ext value;
    std::uint32_t error;
};

template <class F> Call capture(F f) {
    core::ErrorState state;
    core::ErrorScope scope(state);
    const core::ext v = f();
    return {v, state.pendingError.load()};
}

TEST(FastPath, CheckedFunctionsFailWhereTheRuntimesFail) {
    struct Case {
        const char* what;
        int function; // 0 pow, 1 exp, 2 ln, 3 sqrt
        double a, b;
    };
    const Case cases[] = {
        {"(-8)^(1/3)", 0, -8, 1.0 / 3},
        {"(-2)^3", 0, -2, 3},
        {"(-2)^2", 0, -2, 2},
        {"0^-1", 0, 0, -1},
        {"0^-2", 0, 0, -2},
        {"0^2", 0, 0, 2},
        {"NaN^2", 0, kNaN, 2},
        {"2^NaN", 0, 2, kNaN},
        {"1e300^2", 0, 1e300, 2},
        {"1e200^3", 0, 1e200, 3},
        {"10^400", 0, 10, 400},
        {"inf^0.5", 0, kInf, 0.5},
        {"2^0.5", 0, 2, 0.5},
        {"3^-0.5", 0, 3, -0.5},
        {"0.3^1.6", 0, 0.3, 1.0 / 0.6},
        {"1e-300^-2", 0, 1e-300, -2},
        {"exp(709.782712893)", 1, 709.782712893, 0},
        {"exp(710)", 1, 710, 0},
        {"exp(NaN)", 1, kNaN, 0},
        {"exp(-800)", 1, -800, 0},
        {"ln 0", 2, 0, 0},
        {"ln -1", 2, -1, 0},
        {"ln NaN", 2, kNaN, 0},
        {"ln inf", 2, kInf, 0},
        {"ln 1e-300", 2, 1e-300, 0},
        {"sqrt -1", 3, -1, 0},
        {"sqrt 0", 3, 0, 0},
        {"sqrt inf", 3, kInf, 0},
    };
    for (const Case& c : cases) {
        const auto exact = capture([&]() -> core::ext {
            switch (c.function) {
            case 0:
                return core::powValue(c.a, c.b);
            case 1:
                return core::expValue(c.a);
            case 2:
                return core::lnValue(c.a);
            default:
                return core::sqrtValue(c.a);
            }
        });
        const auto fast = capture([&]() -> core::ext {
            switch (c.function) {
            case 0:
                return arith::Fast::pow(c.a, c.b);
            case 1:
                return arith::Fast::exp(c.a);
            case 2:
                return arith::Fast::ln(c.a);
            default:
                return arith::Fast::sqrt(c.a);
            }
        });
        EXPECT_EQ(fast.error, exact.error) << c.what;
        const double e = static_cast<double>(exact.value);
        EXPECT_NEAR(static_cast<double>(fast.value), e, 4e-16 * std::fabs(e)) << c.what;
    }
}

// |fast - exact| against the size of the terms: the sums cancel, so the bound is on the scale of
// the largest partial sum, which the kernels' inputs keep within a few hundred.
void expectClose(double fast, double exact, double scale, const char* what, double x, double y) {
    EXPECT_NEAR(fast, exact, 1e-13 * (std::fabs(exact) + scale)) << what << " at " << x << ", " << y;
}

TEST(FastPath, WaterKernelGivesTheCalculatorsValues) {
    auto md = std::make_unique<Model>();
    loadConstants(md->c);
    core::ErrorState state;
    core::ErrorScope scope(state);
    // Vapour, liquid and compressed liquid over the range, and around the critical point where
    // the switched critical-region term is alive.
    const double omegas[] = {1e-4, 0.02, 0.7, 0.8, 0.97, 1.0, 1.03, 1.15,
                             1.2,  1.25, 1.6, 3.0, 3.1,  3.3, 3.6,  9.0};
    const double temperatures[] = {250, 271.67, 298.15, 373.15, 450, 640, 647.067, 650, 700, 1500};
    for (double T : temperatures) {
        for (double omega : omegas) {
            md->omega = omega;
            md->xi = -Constants::Tc / T;
            Model exact = *md;
            h2oHelmholtz(exact); // the calculator's kernel
            Model fast = *md;
            ASSERT_TRUE(h2oHelmholtzFast(fast));
            expectClose(fast.Phi, exact.Phi, 10, "Phi", omega, T);
            expectClose(fast.Phi_w, exact.Phi_w, 10 / omega, "Phi_w", omega, T);
            expectClose(fast.Phi_ww, exact.Phi_ww, 10 / (omega * omega), "Phi_ww", omega, T);
            expectClose(fast.Phi_x, exact.Phi_x, 100, "Phi_x", omega, T);
            expectClose(fast.Phi_xx, exact.Phi_xx, 1000, "Phi_xx", omega, T);
            expectClose(fast.Phi_wx, exact.Phi_wx, 100 / omega, "Phi_wx", omega, T);
            EXPECT_EQ(fast.deltaTau, exact.deltaTau);
            EXPECT_EQ(fast.deltaOmega, exact.deltaOmega);
        }
    }
    EXPECT_EQ(state.pendingError.load(), 0U);
    // States where a checked function could fail are left to the calculator's kernel.
    for (auto [omega, xi] : {std::pair{1e-300, -2.0}, {3.0, 0.5}, {3.0, -500.0}, {kNaN, -2.0}}) {
        md->omega = omega;
        md->xi = xi;
        EXPECT_FALSE(h2oHelmholtzFast(*md)) << omega << ", " << xi;
    }
}

TEST(FastPath, Co2KernelGivesTheCalculatorsValues) {
    auto md = std::make_unique<Model>();
    loadConstants(md->c);
    core::ErrorState state;
    core::ErrorScope scope(state);
    // Gas, liquid, the critical density itself (where the non-analytic terms take their limits)
    // and both sides of it, at temperatures over the range and at the critical one.
    const double deltas[] = {1e-5, 0.002, 0.2, 0.9, 0.999999, 1.0, 1.000001, 1.1, 2.0, 2.5, 3.4};
    const double temperatures[] = {271.67, 298.15, 304.1282, 304.2, 320, 373.15, 600};
    for (double T : temperatures) {
        for (double delta : deltas) {
            const double tau = Constants::TcCO2 / T;
            const Co2Residual exact = co2ResidualAt(md->c, delta, tau);
            Co2Residual fast, solve;
            ASSERT_TRUE(co2ResidualFast(md->c, delta, tau, true, fast));
            ASSERT_TRUE(co2ResidualFast(md->c, delta, tau, false, solve));
            expectClose(fast.phi, exact.phi, 10, "phi", delta, T);
            expectClose(fast.phi_d, exact.phi_d, 10, "phi_d", delta, T);
            expectClose(fast.phi_dd, exact.phi_dd, 100, "phi_dd", delta, T);
            expectClose(fast.phi_t, exact.phi_t, 100, "phi_t", delta, T);
            expectClose(fast.phi_tt, exact.phi_tt, 1000, "phi_tt", delta, T);
            expectClose(fast.phi_dt, exact.phi_dt, 100, "phi_dt", delta, T);
            EXPECT_EQ(solve.phi_d, fast.phi_d);
            EXPECT_EQ(solve.phi_dd, fast.phi_dd);
        }
    }
    EXPECT_EQ(state.pendingError.load(), 0U);
    Co2Residual r;
    for (auto [delta, tau] : {std::pair{1e-300, 1.0}, {2.0, -1.0}, {0.0, 1.0}, {kNaN, 1.0}})
        EXPECT_FALSE(co2ResidualFast(md->c, delta, tau, true, r)) << delta << ", " << tau;
}

// The temperature-only terms are kept per thread; a model with other coefficient tables (a test's,
// say) must not meet the terms of another's.
TEST(FastPath, KernelsFollowTheirCoefficientTables) {
    auto loaded = std::make_unique<Model>();
    loadConstants(loaded->c);
    auto changed = std::make_unique<Model>(*loaded);
    changed->c.h2oCoefA(4, 1) *= 1.1;
    changed->c.swN(8) *= 1.1;
    changed->c.swT(9) += 0.1;
    core::ErrorState state;
    core::ErrorScope scope(state);
    const double delta = 1.5, tau = Constants::TcCO2 / 300;
    for (const Model* md : {loaded.get(), changed.get(), loaded.get()}) {
        Model exact = *md;
        exact.omega = 3.1;
        exact.xi = -Constants::Tc / 300;
        Model fast = exact;
        h2oHelmholtz(exact);
        ASSERT_TRUE(h2oHelmholtzFast(fast));
        EXPECT_NEAR(fast.Phi_w, exact.Phi_w, 1e-12 * std::fabs(exact.Phi_w));
        const Co2Residual r = co2ResidualAt(md->c, delta, tau);
        Co2Residual f;
        ASSERT_TRUE(co2ResidualFast(md->c, delta, tau, true, f));
        EXPECT_NEAR(f.phi_d, r.phi_d, 1e-12 * std::fabs(r.phi_d));
        EXPECT_NEAR(f.phi_t, r.phi_t, 1e-12 * std::fabs(r.phi_t));
    }
}

// The compiled-in kernel (a model with Span and Wagner's own tables) and the kernel that reads the
// tables give the same bits: an element no sum reads, set in a copy, sends that copy to the latter.
TEST(FastPath, CompiledInCoefficientsGiveTheTablesBits) {
    auto loaded = std::make_unique<Model>();
    loadConstants(loaded->c);
    auto tables = std::make_unique<Model>(*loaded);
    tables->c.swN(0) = 1;
    core::ErrorState state;
    core::ErrorScope scope(state);
    for (double T : {250.0, 280.0, 304.1, 310.0, 373.0}) {
        const double tau = Constants::TcCO2 / T;
        for (double delta : {1e-4, 0.05, 0.6, 0.999, 1.0, 1.3, 2.2, 3.1}) {
            Co2Residual a, b;
            ASSERT_TRUE(co2ResidualFast(loaded->c, delta, tau, true, a));
            ASSERT_TRUE(co2ResidualFast(tables->c, delta, tau, true, b));
            for (auto m : kSums)
                EXPECT_EQ(bits(a.*m), bits(b.*m)) << delta << ", " << T;
        }
    }
}

// The exponential and the power the fast kernels call are the C library's to the bit, overflow,
// underflow, subnormals and non-numbers included; where glibc exports their cores, those are what
// is called.
TEST(FastPath, ExponentialAndPowerAreTheLibrarysToTheBit) {
#ifdef CO2_GLIBC_EXP_CORE
    EXPECT_NE(co2_glibc_exp_core, nullptr) << "dynamic glibc link without its exponential core";
    EXPECT_NE(co2_glibc_pow_core, nullptr) << "dynamic glibc link without its power core";
#endif
    std::uint64_t x = 0x9E3779B97F4A7C15ULL;
    const auto next = [&] {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return x;
    };
    std::vector<double> args = {0.0,
                                -0.0,
                                1.0,
                                -1.0,
                                709.78,
                                709.79,
                                -708.4,
                                -745.1,
                                -745.2,
                                1e-300,
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
    for (int i = 0; i < 200000; ++i)
        args.push_back(-760 + 1480 * static_cast<double>(next() >> 11) * 0x1p-53);
    for (int i = 0; i < 20000; ++i)
        args.push_back(std::bit_cast<double>(next()));
    for (double a : args)
        ASSERT_EQ(bits(libm::exp(a)), bits(std::exp(a))) << a;
    // The power, over bases around the reduced temperatures and densities and random exponents,
    // with the edges of both (every argument above as a base, against a few exponents).
    for (int i = 0; i < 100000; ++i) {
        const double base = 0x1p-20 + 64 * static_cast<double>(next() >> 11) * 0x1p-53;
        const double e = -40 + 80 * static_cast<double>(next() >> 11) * 0x1p-53;
        ASSERT_EQ(bits(libm::pow(base, e)), bits(std::pow(base, e))) << base << "^" << e;
    }
    for (double a : args)
        for (double e : {0.0, -0.0, 0.75, 2.0, -1.5, 1e300, -1e300, args[12]})
            ASSERT_EQ(bits(libm::pow(a, e)), bits(std::pow(a, e))) << a << "^" << e;

    // The batches, into another array and in place, over lengths that end in a partial vector; the
    // random bit patterns put tiny, huge and non-numbers in the same vectors as usual arguments.
    for (std::size_t cut : {1U, 3U}) {
        const std::size_t n = args.size() - cut;
        std::vector<double> out(n), inPlace(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(n));
        libm::expEach(args.data(), out.data(), n);
        libm::expEach(inPlace.data(), inPlace.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            const auto want = bits(libm::exp(args[i]));
            ASSERT_EQ(bits(out[i]), want) << args[i] << " (" << libm::expEachKernel() << ")";
            ASSERT_EQ(bits(inPlace[i]), want) << args[i];
        }
    }
#if defined(CO2_VECTOR_EXP)
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        EXPECT_STREQ(libm::expEachKernel(), "avx2-fma") << "the vector kernel does not match this C library";
    else
        std::cerr << "NOTE: this processor has no AVX2 and FMA; the batches of four are not tested here\n";
#endif
}

// A pass gives the same bits whether its exponentials come four at a time or one library call
// each, for the compiled-in tables and for tables whose terms share their exponentials otherwise
// than Span and Wagner's do (and then the sums still follow the tables).
TEST(FastPath, BatchedExponentialsGiveTheOneAtATimeBits) {
    auto loaded = std::make_unique<Model>();
    loadConstants(loaded->c);
    auto shared = std::make_unique<Model>(*loaded);
    shared->c.swEps(36) = 0.9;   // a Gaussian term of its own
    shared->c.swAlpha(38) = 25;  // one that shares the first three's
    shared->c.swBeta(41) = 0.31; // a second q^(1/(2 beta))
    shared->c.swA(42) = 3.5;     // a single q^a
    shared->c.swCapC(42) = 32;   // a single exp(-C q) for two terms
    core::ErrorState state;
    core::ErrorScope scope(state);
    for (const Model* md : {loaded.get(), shared.get()})
        for (double T : {250.0, 304.1282, 330.0, 373.15})
            for (double delta : {1e-7, 0.01, 0.5, 0.9999999, 1.0, 1.2, 2.4, 3.3}) {
                const double tau = Constants::TcCO2 / T;
                for (bool all : {true, false}) {
                    Co2Residual four, one;
                    ASSERT_TRUE(co2ResidualFast(md->c, delta, tau, all, four));
                    ASSERT_TRUE(co2ResidualFastOneAtATime(md->c, delta, tau, all, one));
                    for (auto m : kSums)
                        EXPECT_EQ(bits(four.*m), bits(one.*m)) << delta << ", " << T;
                }
                const Co2Residual exact = co2ResidualAt(md->c, delta, tau);
                Co2Residual fast;
                ASSERT_TRUE(co2ResidualFast(md->c, delta, tau, true, fast));
                EXPECT_NEAR(fast.phi_d, exact.phi_d, 1e-11 * std::fabs(exact.phi_d)) << delta << ", " << T;
                EXPECT_NEAR(fast.phi_t, exact.phi_t, 1e-11 * std::fabs(exact.phi_t)) << delta << ", " << T;
            }
}

// The blocks kept for the last temperature are keyed by every input they read: another table at
// the same temperature is computed afresh, and a run that raised an error is not kept.
TEST(FastPath, TemperatureBlocksFollowTheirInputs) {
    auto loaded = std::make_unique<Model>();
    loadConstants(loaded->c);
    loaded->fastArithmetic = true;
    auto changed = std::make_unique<Model>(*loaded);
    changed->c.co2PsatA(1) *= 1.01;
    changed->c.co2IdealA(4) *= 1.01;
    core::ErrorState state;
    core::ErrorScope scope(state);
    std::vector<std::array<double, 2>> seen;
    for (const Model* md : {loaded.get(), changed.get(), loaded.get()}) {
        Model m = *md;
        m.T = 290;
        m.P_bar = 100;
        co2Start(m);
        co2InitialDensity(m);
        m.rho = 0.8;
        co2Helmholtz(m);
        EXPECT_NEAR(m.psatCO2, co2SaturationPressure(m.c, m.tau), 1e-13 * m.psatCO2);
        EXPECT_NEAR(m.phi0_t, co2IdealAt(m.c, m.delta, m.tau).phi_t, 1e-13 * std::fabs(m.phi0_t));
        seen.push_back({m.psatCO2, m.phi0_t});
    }
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_EQ(seen[0], seen[2]);

    LastBlock<std::array<double, 1>, double> block;
    int runs = 0;
    const auto failing = [&] {
        ++runs;
        core::raiseError(core::ErrorCode::overflow);
        return 1.0;
    };
    block.get({2.0}, failing);
    (void)core::takeStatementError(1);
    state.clear();
    block.get({2.0}, [&] { return ++runs, 2.0; });
    EXPECT_EQ(block.get({2.0}, [&] { return ++runs, 3.0; }), 2.0);
    EXPECT_EQ(runs, 2);
}

} // namespace
} // namespace co2
