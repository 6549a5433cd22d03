// The C library's double exponential and power, called where the fast kernels spend a fifth of
// their time.
//
// glibc's exp() and pow() are wrappers that call the function proper through a second indirection
// and then test the result to set errno, which the model never reads (it tests every result
// itself). glibc exports each function proper, the very one the wrapper calls, under a version of
// its own; calling it gives the wrapper's bits without the wrapper. The references are weak: a link
// that has no such version (a static link, another C library) finds none and takes std::exp and
// std::pow.
#pragma once

#include <cmath>

#if defined(__GLIBC__) && defined(__x86_64__) && !defined(__EMSCRIPTEN__)
#define CO2_GLIBC_EXP_CORE 1
extern "C" double co2_glibc_exp_core(double) __attribute__((weak));
extern "C" double co2_glibc_pow_core(double, double) __attribute__((weak));
__asm__(".symver co2_glibc_exp_core,__exp_finite@GLIBC_2.15");
__asm__(".symver co2_glibc_pow_core,__pow_finite@GLIBC_2.15");
#endif

namespace co2::libm {

inline double exp(double x) {
#ifdef CO2_GLIBC_EXP_CORE
    if (co2_glibc_exp_core != nullptr) return co2_glibc_exp_core(x);
#endif
    return std::exp(x);
}

inline double pow(double x, double y) {
#ifdef CO2_GLIBC_EXP_CORE
    if (co2_glibc_pow_core != nullptr) return co2_glibc_pow_core(x, y);
#endif
    return std::pow(x, y);
}

} // namespace co2::libm
