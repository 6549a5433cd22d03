// The model's cost per state point as a table meets it, on both arithmetic paths: every iteration
// computes the next point of a 40 x 50 grid (-1 to 96.5 C, 0.1 to 98.1 MPa, pressures fastest, as
// a co2table row), so no point repeats within 2000 iterations and only what really recurs from
// point to point (what depends on the temperature alone) is found again. bench_model repeats one
// state and so measures the cost of a point seen before.
//
// Stages: the water section (three density solves and the properties), the CO2 density solve, and
// the whole state point (every reported quantity). Argument 0: the calculator's arithmetic; 1: the
// fast double path (Model::fastArithmetic).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "core/errors.h"
#include "model/aqueous.h"
#include "model/co2.h"
#include "model/model.h"
#include "model/run.h"
#include "model/solubility.h"
#include "model/state_point.h"
#include "model/water.h"

namespace {

struct Grid {
    std::vector<double> T_C, P_MPa;
    Grid() {
        for (int i = 0; i < 40; ++i)
            T_C.push_back(-1 + 2.5 * i);
        for (int j = 0; j < 50; ++j)
            P_MPa.push_back(0.1 + 2 * j);
    }
    std::size_t size() const { return T_C.size() * P_MPa.size(); }
};

enum class Stage { water, co2Solve, wholePoint };

template <Stage kStage> void sweep(benchmark::State& state) {
    const Grid grid;
    core::ErrorState errors;
    core::ErrorScope scope(errors);
    auto prototype = std::make_unique<co2::Model>();
    co2::loadConstants(prototype->c);
    prototype->fastArithmetic = state.range(0) != 0;
    auto md = std::make_unique<co2::Model>();
    std::size_t k = 0;
    for (auto _ : state) {
        *md = *prototype;
        co2::setStatePoint(*md, grid.T_C[k / grid.P_MPa.size()], grid.P_MPa[k % grid.P_MPa.size()]);
        k = (k + 1) % grid.size();
        if constexpr (kStage == Stage::water) {
            co2::waterProperties(*md);
            benchmark::DoNotOptimize(md->lnFH2O);
        } else if constexpr (kStage == Stage::co2Solve) {
            co2::co2Start(*md);
            co2::co2InitialDensity(*md);
            co2::co2FindDensity(*md);
            benchmark::DoNotOptimize(md->rhoCO2);
        } else {
            co2::AtMolality hooks;
            co2::runSections(*md, hooks);
            benchmark::DoNotOptimize(md->rhoSol);
        }
    }
    state.SetLabel(state.range(0) != 0 ? "fast" : "exact");
}

void BM_GridWater(benchmark::State& state) {
    sweep<Stage::water>(state);
}
BENCHMARK(BM_GridWater)->Arg(0)->Arg(1);

void BM_GridCo2DensitySolve(benchmark::State& state) {
    sweep<Stage::co2Solve>(state);
}
BENCHMARK(BM_GridCo2DensitySolve)->Arg(0)->Arg(1);

void BM_GridFullStatePoint(benchmark::State& state) {
    sweep<Stage::wholePoint>(state);
}
BENCHMARK(BM_GridFullStatePoint)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
