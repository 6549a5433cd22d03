// The model's two arithmetic paths, as policies that its formulas are written against once.
//
// Exact: the calculator's arithmetic. Intermediates in the x87 extended format, the runtime's
// checked elementary functions (powers and exponentials remembered, same values to the bit).
//
// Fast: SSE doubles and the C library's double functions, behind the very same argument tests,
// errors and substitutes as the runtime's checked functions, so that a state point that fails
// reports the same error at the same statement on both paths. Integer powers are products.
// The arguments of the runtime's functions are rounded to double anyway; what the fast path gives
// up is the extended intermediates, worth about 1e-16 relative, which no report template shows.
#pragma once

#include <cmath>

#include "core/errors.h"
#include "core/math.h"
#include "model/libm_core.h"
#include "model/memo_math.h"

namespace co2::arith {

struct Exact {
    using Real = core::ext;
    static constexpr bool kFast = false;
    static Real pow(Real a, Real b) { return memo::powValue(a, b); }
    static Real exp(Real x) { return memo::expValue(x); }
    static Real ln(Real x) { return core::lnValue(x); }
    static Real sqrt(Real x) { return core::sqrtValue(x); }
    static Real abs(Real x) { return core::absValue(x); }
};

struct Fast {
    using Real = double;
    static constexpr bool kFast = true;

    [[gnu::cold, gnu::noinline]] static double fail(core::ErrorCode code) {
        core::raiseError(code);
        return 0;
    }
    static double finiteOr(double v, core::ErrorCode code) { return std::isfinite(v) ? v : fail(code); }

    // Small whole exponents (the model writes 2, 3, -1, -2 ...) are products; the tests of
    // core::powValue come first, so a pole still raises error 5 and an overflow error 6.
    static double pow(double a, double b) {
        if (std::isnan(a) || std::isnan(b)) return fail(core::ErrorCode::illegalFunctionCall);
        if (b == 2) return finiteOr(a * a, core::ErrorCode::overflow);
        if (b == 3) return finiteOr(a * a * a, core::ErrorCode::overflow);
        if (b == 1) return a;
        if (a < 0 && b != std::floor(b)) return fail(core::ErrorCode::illegalFunctionCall);
        if (a == 0 && b < 0) return fail(core::ErrorCode::illegalFunctionCall);
        if (b == 0.5) return finiteOr(std::sqrt(a), core::ErrorCode::overflow);
        if (b == -1) return finiteOr(1 / a, core::ErrorCode::overflow);
        if (b == -2) return finiteOr(1 / (a * a), core::ErrorCode::overflow);
        return finiteOr(libm::pow(a, b), core::ErrorCode::overflow);
    }
    // The limit test is made on the extended value, exactly as core::expValue makes it.
    static double exp(double x) {
        if (!(static_cast<core::ext>(x) <= core::kExpLimit)) return fail(core::ErrorCode::overflow);
        return libm::exp(x);
    }
    static double ln(double x) {
        if (!(x > 0)) return fail(core::ErrorCode::illegalFunctionCall);
        return finiteOr(std::log(x), core::ErrorCode::overflow);
    }
    static double sqrt(double x) {
        if (!(x >= 0)) return fail(core::ErrorCode::illegalFunctionCall);
        return finiteOr(std::sqrt(x), core::ErrorCode::overflow);
    }
    static double abs(double x) { return std::fabs(x); }
};

// Runs `f` on the model's arithmetic path: f(Fast{}) or f(Exact{}); the policy's type is the
// template argument of the statements, e.g. onPath(md, [&](auto path) { step<decltype(path)>(md); }).
template <class Model, class F> void onPath(const Model& md, F&& f) {
    if (md.fastArithmetic)
        f(Fast{});
    else
        f(Exact{});
}

// Range tests that compare in single precision: both sides rounded to float, on either path.
inline bool singleGreater(double x, double bound) {
    return core::toSingle(x) > core::toSingle(bound);
}
inline bool singleLess(double x, double bound) {
    return core::toSingle(x) < core::toSingle(bound);
}

} // namespace co2::arith
