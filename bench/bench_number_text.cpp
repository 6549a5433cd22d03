// co2table's number text: the shortest round-trip text of every number of a row, written by
// co2::table::writeShortest and by the std::to_chars it replaces, over the numbers of real rows
// (a 10 x 100 grid through the model, --raw, so every column of a point is a number). Each
// iteration formats one row; the rows are cycled, so the mix of magnitudes and lengths is a table's.
// The line benchmarks add what co2table does around it: appending each number and a separator.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "app/table/model_point.h"
#include "app/table/shortest.h"
#include "app/table/writer.h"

namespace {

using Rows = std::vector<std::vector<double>>;

const Rows& tableRows() {
    static const Rows rows = [] {
        Rows r;
        const co2::table::ModelEvaluator evaluator;
        const auto worker = evaluator.makeWorker();
        for (int i = 0; i < 10; ++i)
            for (int j = 0; j < 100; ++j) {
                co2::table::PointSpec pt;
                pt.raw = true;
                pt.shownT = pt.point.temperature = 10.0 * i;
                pt.shownP = pt.point.pressure = 0.1 + 1.0 * j;
                co2::table::PointResult result;
                worker->evaluate(pt, result);
                std::vector<double> row;
                for (double v : result.values)
                    if (std::isfinite(v)) row.push_back(v);
                if (!row.empty()) r.push_back(std::move(row));
            }
        return r;
    }();
    return rows;
}

template <bool kShortest> void numberText(benchmark::State& state) {
    const Rows& rows = tableRows();
    std::size_t k = 0;
    std::size_t numbers = 0;
    char buffer[64];
    for (auto _ : state) {
        const std::vector<double>& row = rows[k];
        k = k + 1 == rows.size() ? 0 : k + 1;
        std::size_t bytes = 0;
        for (double v : row) {
            const char* end;
            if constexpr (kShortest)
                end = co2::table::writeShortest(buffer, v);
            else
                end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
            bytes += static_cast<std::size_t>(end - buffer);
            benchmark::DoNotOptimize(buffer);
        }
        benchmark::DoNotOptimize(bytes);
        numbers += row.size();
    }
    state.counters["ns_per_number"] = benchmark::Counter(
        static_cast<double>(numbers), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["numbers_per_row"] =
        static_cast<double>(numbers) / static_cast<double>(state.iterations());
}

// The row's numbers appended to a line as co2table does it: through appendNumber (writeShortest),
// and as it did before, std::to_chars into a buffer and appended.
template <bool kShortest> void rowText(benchmark::State& state) {
    const Rows& rows = tableRows();
    std::size_t k = 0;
    std::size_t numbers = 0;
    std::string line;
    for (auto _ : state) {
        const std::vector<double>& row = rows[k];
        k = k + 1 == rows.size() ? 0 : k + 1;
        line.clear();
        for (double v : row) {
            if constexpr (kShortest) {
                co2::table::appendNumber(line, v);
            } else {
                char buffer[40];
                line.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
            }
            line += ',';
        }
        benchmark::DoNotOptimize(line.data());
        numbers += row.size();
    }
    state.counters["ns_per_number"] = benchmark::Counter(
        static_cast<double>(numbers), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(numberText<false>)->Name("row/std_to_chars");
BENCHMARK(numberText<true>)->Name("row/writeShortest");
BENCHMARK(rowText<false>)->Name("line/to_chars_append");
BENCHMARK(rowText<true>)->Name("line/appendNumber");
BENCHMARK_MAIN();
