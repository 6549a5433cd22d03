// The C library's double exponential, called where the fast kernels spend a fifth of their time.
//
// glibc's exp() is a wrapper that calls the exponential proper through a second indirection and
// then tests the result to set errno, which the model never reads (it tests every result itself).
// glibc exports the exponential proper, the very function the wrapper calls, under a version of
// its own; calling it gives the wrapper's bits without the wrapper. The reference is weak: a link
// that has no such version (a static link, another C library) finds none and takes std::exp.
#pragma once

#include <cmath>

#if defined(__GLIBC__) && defined(__x86_64__) && !defined(__EMSCRIPTEN__)
#define CO2_GLIBC_EXP_CORE 1
extern "C" double co2_glibc_exp_core(double) __attribute__((weak));
__asm__(".symver co2_glibc_exp_core,__exp_finite@GLIBC_2.15");
#endif

namespace co2::libm {

inline double exp(double x) {
#ifdef CO2_GLIBC_EXP_CORE
    if (co2_glibc_exp_core != nullptr) return co2_glibc_exp_core(x);
#endif
    return std::exp(x);
}

} // namespace co2::libm
