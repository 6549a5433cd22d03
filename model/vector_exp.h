// The C library's exponential over a whole array at once, bit for bit: the CO2 kernel forms some
// twenty exponentials a Newton pass whose arguments are all known before any is needed.
//
// glibc's exp (2.28 and later) reduces x = k ln2/128 + r, takes 2^(k/128) from a 128-entry table
// split as scale * (1 + tail), and forms scale + scale * (tail + r + r^2 (C2 + r C3) + r^4 (C4 + r
// C5)) with every operation in double. On a processor with FMA and AVX2 it runs a build of those
// statements in which each product feeding a sum is one fused operation. The kernel below makes
// exactly those operations, lane by lane, with the same constants and the same table
// (tools/make_exp_table.py; both are, byte for byte, what Debian's libm.so.6 holds), and so the
// same bits. Of the arguments glibc treats apart, |x| < 2^-54 gives 1 + x here as there, and
// |x| >= 512 and NaN are left to the library itself. Nothing here is trusted blindly: before the
// kernel serves, it is held to the library on arguments where a plain and a fused evaluation
// differ (vectorExpServes), and a machine, library or build where it does not match takes the
// library one call at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "model/libm_core.h"

#if defined(CO2_GLIBC_EXP_CORE)
#include <immintrin.h>

#include "model/exp_table.h"
#define CO2_VECTOR_EXP 1
#define CO2_AVX2_FMA __attribute__((target("avx2,fma")))
#ifdef __clang__
#define CO2_NO_CONTRACTION _Pragma("clang fp contract(off)")
#else
#define CO2_NO_CONTRACTION // GCC contracts nothing in ISO C++ mode
#endif
#endif

namespace co2::libm {

// y[i] = libm::exp(x[i]) with the same bits, for i < n (x and y may be the same array).
void expEach(const double* x, double* y, std::size_t n);

// The code that serves expEach on this machine: "avx2-fma" (four at a time) or "scalar" (one
// libm::exp each), for benchmarks and tests to name.
const char* expEachKernel();

// Whether the four-at-a-time kernel gives the library's bits on this machine (checked once).
bool vectorExpServes();

#ifdef CO2_VECTOR_EXP
namespace detail {

// The reduction and polynomial constants of glibc's exp.
constexpr double kInvLn2N = 0x1.71547652b82fep0 * (1 << detail::kExpTableBits);
constexpr double kNegLn2HiN = -0x1.62e42fefa0000p-8;
constexpr double kNegLn2LoN = -0x1.cf79abc9e3b3ap-47;
constexpr double kShift = 0x1.8p52;
constexpr double kC2 = 0x1.ffffffffffdbdp-2;
constexpr double kC3 = 0x1.555555555543cp-3;
constexpr double kC4 = 0x1.55555cf172b91p-5;
constexpr double kC5 = 0x1.1111167a4d017p-7;

CO2_AVX2_FMA inline void fourAvx2Fma(const double* x, double* y) {
    CO2_NO_CONTRACTION
    const __m256d in = _mm256_loadu_pd(x);
    const __m256d mag = _mm256_andnot_pd(_mm256_set1_pd(-0.0), in);
    // glibc gives 1 + x below 2^-54 and treats 512 and beyond (and NaN) apart.
    const __m256d tiny = _mm256_cmp_pd(mag, _mm256_set1_pd(0x1p-54), _CMP_LT_OQ);
    const __m256d usual = _mm256_and_pd(_mm256_cmp_pd(mag, _mm256_set1_pd(0x1p-54), _CMP_GE_OQ),
                                        _mm256_cmp_pd(mag, _mm256_set1_pd(512.0), _CMP_LT_OQ));
    const __m256d v = _mm256_and_pd(in, usual); // the other lanes reduce 0 and are replaced below

    const __m256d kdShifted =
        _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(kInvLn2N), v), _mm256_set1_pd(kShift));
    const __m256i ki = _mm256_castpd_si256(kdShifted);
    const __m256d kd = _mm256_sub_pd(kdShifted, _mm256_set1_pd(kShift));
    const __m256d r =
        _mm256_fmadd_pd(kd, _mm256_set1_pd(kNegLn2LoN), _mm256_fmadd_pd(kd, _mm256_set1_pd(kNegLn2HiN), v));
    const __m256i idx =
        _mm256_slli_epi64(_mm256_and_si256(ki, _mm256_set1_epi64x((1 << detail::kExpTableBits) - 1)), 1);
    // Four loads of a pair each: cheaper than gathers on the processors measured.
    alignas(32) std::array<std::uint64_t, 4> at{};
    _mm256_store_si256(reinterpret_cast<__m256i*>(at.data()), idx);
    const auto pair = [&](std::size_t l) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(detail::kExpTable + at[l]));
    };
    const __m256i p01 = _mm256_setr_m128i(pair(0), pair(1)); // tail0 sb0 | tail1 sb1
    const __m256i p23 = _mm256_setr_m128i(pair(2), pair(3)); // tail2 sb2 | tail3 sb3
    const __m256i tails = _mm256_unpacklo_epi64(p01, p23);   // tail0 tail2 | tail1 tail3
    const __m256i sbs = _mm256_unpackhi_epi64(p01, p23);
    const __m256d tail = _mm256_castsi256_pd(_mm256_permute4x64_epi64(tails, 0xD8));
    const __m256i scaleBits = _mm256_add_epi64(_mm256_permute4x64_epi64(sbs, 0xD8),
                                               _mm256_slli_epi64(ki, 52 - detail::kExpTableBits));
    const __m256d r2 = _mm256_mul_pd(r, r);
    const __m256d low = _mm256_fmadd_pd(r2, _mm256_fmadd_pd(r, _mm256_set1_pd(kC3), _mm256_set1_pd(kC2)),
                                        _mm256_add_pd(tail, r));
    const __m256d tmp = _mm256_fmadd_pd(_mm256_mul_pd(r2, r2),
                                        _mm256_fmadd_pd(r, _mm256_set1_pd(kC5), _mm256_set1_pd(kC4)), low);
    const __m256d scale = _mm256_castsi256_pd(scaleBits);
    const int lanes = _mm256_movemask_pd(_mm256_or_pd(usual, tiny));
    std::array<double, 4> arg{};
    if (lanes != 0xF) _mm256_storeu_pd(arg.data(), in); // y may be x
    _mm256_storeu_pd(y, _mm256_blendv_pd(_mm256_fmadd_pd(scale, tmp, scale),
                                         _mm256_add_pd(_mm256_set1_pd(1.0), in), tiny));
    if (lanes != 0xF)
        for (int l = 0; l < 4; ++l)
            if ((lanes & (1 << l)) == 0) y[l] = libm::exp(arg[static_cast<std::size_t>(l)]);
}

CO2_AVX2_FMA inline void expAvx2Fma(const double* x, double* y, std::size_t n) {
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4)
        fourAvx2Fma(x + i, y + i);
    if (i == n) return;
    std::array<double, 4> in{}, out{};
    for (std::size_t l = 0; i + l < n; ++l)
        in[l] = x[i + l];
    fourAvx2Fma(in.data(), out.data());
    for (std::size_t l = 0; i + l < n; ++l)
        y[i + l] = out[l];
}

} // namespace detail
#endif

} // namespace co2::libm
