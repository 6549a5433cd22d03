// A full state point through the library's public interface (co2::Evaluator, every reported
// quantity), as co2table and the Python module meet it:
// - BM_LibraryTableOrder: co2table's order, 1000 pressures (0.1 to 100 MPa) per temperature, the
//   temperatures 0 to 99.9 C by 0.1; each iteration the next point of that 10^6-point grid;
// - BM_LibraryRandom: distinct random points over 0 to 100 C x 0.1 to 100 MPa (fixed seed), so no
//   temperature repeats from one point to the next.
// Argument 0: the calculator's arithmetic; 1: the fast path. Only the public header: the same file
// builds against an older tree, so that two builds can be timed side by side.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "co2model.hpp"

namespace {

co2::Arithmetic arithmeticOf(const benchmark::State& state) {
    return state.range(0) != 0 ? co2::Arithmetic::fast : co2::Arithmetic::exact;
}

void BM_LibraryTableOrder(benchmark::State& state) {
    co2::Evaluator evaluator(arithmeticOf(state));
    std::uint32_t k = 0;
    for (auto _ : state) {
        const double T_C = 0.1 * static_cast<double>(k / 1000);
        const double P = 0.1 + 0.1 * static_cast<double>(k % 1000);
        k = (k + 1) % 1000000;
        const co2::Result r = evaluator.evaluate(T_C, P);
        benchmark::DoNotOptimize(r.values.data());
    }
    state.SetLabel(state.range(0) != 0 ? "fast" : "exact");
}
BENCHMARK(BM_LibraryTableOrder)->Arg(0)->Arg(1);

void BM_LibraryRandom(benchmark::State& state) {
    std::vector<double> T_C(4096), P(4096);
    std::uint64_t x = 88172645463325252ULL;
    const auto uniform = [&] {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return static_cast<double>(x >> 11) * 0x1p-53;
    };
    for (std::size_t i = 0; i < T_C.size(); ++i) {
        T_C[i] = 100 * uniform();
        P[i] = 0.1 + 99.9 * uniform();
    }
    co2::Evaluator evaluator(arithmeticOf(state));
    std::size_t k = 0;
    for (auto _ : state) {
        const co2::Result r = evaluator.evaluate(T_C[k], P[k]);
        k = (k + 1) % T_C.size();
        benchmark::DoNotOptimize(r.values.data());
    }
    state.SetLabel(state.range(0) != 0 ? "fast" : "exact");
}
BENCHMARK(BM_LibraryRandom)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
