// Which exponential serves a batch, chosen once per process.
#include "model/vector_exp.h"

#include <bit>

namespace co2::libm {

namespace {

using Kernel = void (*)(const double*, double*, std::size_t);

void expScalar(const double* x, double* y, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        y[i] = libm::exp(x[i]);
}

#ifdef CO2_VECTOR_EXP

CO2_AVX2_FMA void expVector(const double* x, double* y, std::size_t n) {
    detail::expAvx2Fma(x, y, n);
}

// Arguments where a plain and a fused evaluation of the polynomial give different bits: a kernel
// that matches the library on all of them does what the library does, fused or not.
constexpr std::array kTellingArguments{
    0x1.f11d80ccbb5p+4, 0x1.988d076d3c1ep+4, -0x1.6770f9696a9p+1, -0x1.debe102efd7ap+3, 0x1.213f9849dc62p+5,
    -0x1.d6f27aefa55cp+4, -0x1.3e6ba24467cp+2, 0x1.584e5f497058p+1, -0x1.c21115645859p+4,
    -0x1.cce65f71755ap+4, 0x1.da99c4eb7b54p+2, 0x1.2cb7abf704b4p+3, 0x1.24ea11d6fdp+5, -0x1.c56f84551cb5p+4,
    0x1.3895ab6930078p+5, 0x1.083934b066158p+5,
    // and the edges the kernel hands back to the library
    0.0, -0.0, 0x1p-54, -0x1p-55, 511.9, -511.9, 512.0, -700.0, 710.0, -1e300};

bool matchesLibrary(Kernel kernel) {
    std::array<double, kTellingArguments.size()> y{};
    kernel(kTellingArguments.data(), y.data(), y.size());
    for (std::size_t i = 0; i < y.size(); ++i)
        if (std::bit_cast<std::uint64_t>(y[i]) !=
            std::bit_cast<std::uint64_t>(libm::exp(kTellingArguments[i])))
            return false;
    return true;
}

#endif

Kernel chooseKernel() {
#ifdef CO2_VECTOR_EXP
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && matchesLibrary(expVector))
        return expVector;
#endif
    return expScalar;
}

Kernel kernel() {
    static const Kernel chosen = chooseKernel();
    return chosen;
}

} // namespace

void expEach(const double* x, double* y, std::size_t n) {
    kernel()(x, y, n);
}

const char* expEachKernel() {
    return kernel() == expScalar ? "scalar" : "avx2-fma";
}

bool vectorExpServes() {
    return kernel() != expScalar;
}

} // namespace co2::libm
