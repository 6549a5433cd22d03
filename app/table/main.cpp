// co2table: the calculator's model over grids of state points, as CSV, TSV or JSON and as plots.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "app/table/model_point.h"
#include "app/table/table.h"

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        const co2::table::ModelEvaluator evaluator;
        return co2::table::runTableSafely(args, evaluator, stdout, stderr);
    } catch (const std::bad_alloc&) {
        std::fputs("co2table: out of memory\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "co2table: %s\n", e.what());
    }
    return co2::table::kExitFailed;
}
