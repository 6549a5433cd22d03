// The model's cost per state point: one full report's computation (water with its three density
// solves, CO2, dissolved CO2, solubility, solution at the solubility) and the CO2 density solve on
// its own, at states across the calculator's range; second argument 0: the calculator's arithmetic,
// 1: the fast double path (Model::fastArithmetic).
#include <benchmark/benchmark.h>

#include <memory>

#include "core/errors.h"
#include "model/aqueous.h"
#include "model/co2.h"
#include "model/co2_fast.h"
#include "model/model.h"
#include "model/run.h"
#include "model/solubility.h"
#include "model/state_point.h"
#include "model/water.h"

namespace {

struct State {
    double T_C;
    double P_MPa;
};

// Gas-like CO2, liquid CO2, near the CO2 critical point, supercritical at the top of the range.
constexpr State kStates[] = {{25, 0.1}, {25, 10}, {31, 7.3773}, {100, 100}};

std::unique_ptr<co2::Model> modelAt(const State& s, bool fast) {
    auto md = std::make_unique<co2::Model>();
    co2::loadConstants(md->c);
    md->fastArithmetic = fast;
    co2::setStatePoint(*md, s.T_C, s.P_MPa);
    return md;
}

void label(benchmark::State& state, const State& s) {
    state.SetLabel(std::to_string(s.T_C) + " C, " + std::to_string(s.P_MPa) + " MPa, " +
                   (state.range(1) != 0 ? "fast" : "exact"));
}

void BM_FullStatePoint(benchmark::State& state) {
    const State& s = kStates[state.range(0)];
    core::ErrorState errors;
    core::ErrorScope scope(errors);
    auto md = modelAt(s, state.range(1) != 0);
    for (auto _ : state) {
        co2::setPressure(*md, s.P_MPa);
        co2::AtMolality hooks;
        co2::runSections(*md, hooks);
        benchmark::DoNotOptimize(md->rhoSol);
    }
    label(state, s);
}
BENCHMARK(BM_FullStatePoint)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});

void BM_Co2DensitySolve(benchmark::State& state) {
    const State& s = kStates[state.range(0)];
    core::ErrorState errors;
    core::ErrorScope scope(errors);
    auto md = modelAt(s, state.range(1) != 0);
    for (auto _ : state) {
        co2::co2Start(*md);
        co2::co2InitialDensity(*md);
        co2::co2FindDensity(*md);
        benchmark::DoNotOptimize(md->rhoCO2);
    }
    state.counters["passes"] = md->co2Iterations;
    label(state, s);
}
BENCHMARK(BM_Co2DensitySolve)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});

void BM_Co2Helmholtz(benchmark::State& state) {
    const State& s = kStates[1];
    core::ErrorState errors;
    core::ErrorScope scope(errors);
    auto md = modelAt(s, state.range(0) != 0);
    co2::co2Run(*md);
    for (auto _ : state) {
        co2::co2Helmholtz(*md);
        benchmark::DoNotOptimize(md->phiR_dt);
    }
    state.SetLabel(state.range(0) != 0 ? "fast" : "exact");
}
BENCHMARK(BM_Co2Helmholtz)->Arg(0)->Arg(1);

// One pass of the fast CO2 density solve: the two sums it reads (phi_d, phi_dd) at the solved
// density of 25 C, 10 MPa, its temperature's terms found once. Argument 1: each pass starts from
// the last one's result, as in the solve (the density moved by nothing, so the work is the same);
// 0: the passes are independent. Equal times mean that consecutive passes do not overlap, so what
// a pass costs is what the solve pays for each.
void BM_Co2SolvePass(benchmark::State& state) {
    core::ErrorState errors;
    core::ErrorScope scope(errors);
    auto md = modelAt(kStates[1], true);
    co2::co2Run(*md);
    const co2::Co2TauTerms* terms = co2::co2TauTerms(md->c, md->tau);
    const bool chained = state.range(0) != 0;
    double delta = md->delta, sum = 0;
    for (auto _ : state) {
        co2::Co2Residual r;
        co2::co2ResidualFast(md->c, *terms, delta, md->tau, false, r);
        if (chained)
            delta = md->delta + 1e-300 * r.phi_dd;
        else
            sum += r.phi_d;
    }
    benchmark::DoNotOptimize(delta);
    benchmark::DoNotOptimize(sum);
    state.SetLabel(chained ? "chained" : "independent");
}
BENCHMARK(BM_Co2SolvePass)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
