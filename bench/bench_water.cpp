// The water section's cost: each density solve on its own (from the first estimate, and from the
// previous solve's density as the second and third solves of a state point start), one evaluation
// of the Helmholtz energy with its derivatives, and the whole water section of a state point. The
// second argument (the only one of BM_Helmholtz) chooses the path: 0 the calculator's arithmetic,
// 1 the fast double path (Model::fastArithmetic).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "core/errors.h"
#include "model/model.h"
#include "model/state_point.h"
#include "model/water.h"

namespace {

struct State {
    double T_C;
    double P_MPa;
};

// Cold liquid, the calibration point, hot compressed liquid, and vapour below saturation.
constexpr State kStates[] = {{0, 0.1}, {25, 0.1}, {100, 100}, {100, 0.1}};

std::unique_ptr<co2::Model> modelAt(const State& s, bool fast) {
    auto m = std::make_unique<co2::Model>();
    co2::loadConstants(m->c);
    m->fastArithmetic = fast;
    co2::setStatePoint(*m, s.T_C, s.P_MPa);
    return m;
}

void label(benchmark::State& state, const State& s) {
    state.SetLabel(std::to_string(s.T_C) + " C, " + std::to_string(s.P_MPa) + " MPa, " +
                   (state.range(1) != 0 ? "fast" : "exact"));
}

// First solve of a state point: from the estimate of h2oInitialDensity.
void BM_SolveFromInitialEstimate(benchmark::State& state) {
    const State& s = kStates[state.range(0)];
    core::ErrorState errors;
    core::ErrorScope scope(errors);
    auto m = modelAt(s, state.range(1) != 0);
    co2::h2oInitialDensity(*m);
    const double start = m->omega;
    for (auto _ : state) {
        m->omega = start;
        co2::h2oSolveDensity(*m);
        benchmark::DoNotOptimize(m->omega);
    }
    label(state, s);
}
BENCHMARK(BM_SolveFromInitialEstimate)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});

// Second and third solves: half a kelvin away, from the density of the solve before.
void BM_SolveHalfKelvinAway(benchmark::State& state) {
    const State& s = kStates[state.range(0)];
    core::ErrorState errors;
    core::ErrorScope scope(errors);
    auto m = modelAt(s, state.range(1) != 0);
    co2::h2oInitialDensity(*m);
    co2::h2oSolveDensity(*m);
    const double start = m->omega;
    const double T0 = m->T;
    for (auto _ : state) {
        m->omega = start;
        m->T = T0 + 0.5;
        co2::h2oSolveDensity(*m);
        benchmark::DoNotOptimize(m->omega);
    }
    label(state, s);
}
BENCHMARK(BM_SolveHalfKelvinAway)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});

void BM_Helmholtz(benchmark::State& state) {
    core::ErrorState errors;
    core::ErrorScope scope(errors);
    auto m = modelAt(kStates[1], state.range(0) != 0);
    m->omega = 3.0886;
    m->xi = -647.067 / 298.15;
    for (auto _ : state) {
        co2::h2oHelmholtz(*m);
        benchmark::DoNotOptimize(m->Phi_ww);
    }
    state.SetLabel(state.range(0) != 0 ? "fast" : "exact");
}
BENCHMARK(BM_Helmholtz)->Arg(0)->Arg(1);

// The water section of one state point: first estimate, three solves, properties.
void BM_WaterProperties(benchmark::State& state) {
    const State& s = kStates[state.range(0)];
    core::ErrorState errors;
    core::ErrorScope scope(errors);
    auto m = modelAt(s, state.range(1) != 0);
    for (auto _ : state) {
        co2::setPressure(*m, s.P_MPa);
        co2::waterProperties(*m);
        benchmark::DoNotOptimize(m->lnFH2O);
    }
    label(state, s);
}
BENCHMARK(BM_WaterProperties)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});

} // namespace

BENCHMARK_MAIN();
