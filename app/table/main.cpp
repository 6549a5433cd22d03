// co2table: the calculator's model over grids of state points, as CSV, TSV or JSON and as plots.
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/table/model_point.h"
#include "app/table/table.h"
#include "core/errors.h"

int main(int argc, char** argv) {
    // A critical runtime error ends the calculator; here it must not pass for a finished table.
    rt::setProcessEnd([](int) {
        std::fputs("co2table: a critical runtime error stopped the computation; the table is incomplete\n",
                   stderr);
        std::fflush(nullptr);
        ::_exit(co2::table::kExitFailed);
    });
    const std::vector<std::string> args(argv + 1, argv + argc);
    const co2::table::ModelEvaluator evaluator;
    return co2::table::runTable(args, evaluator, stdout, stderr);
}
