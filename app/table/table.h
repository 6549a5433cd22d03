// The whole co2table run, apart from process entry: so that the tests can drive it in-process.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "app/table/options.h"
#include "app/table/output.h"
#include "app/table/point.h"

namespace co2::table {

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // output could not be written, or the plot failed
inline constexpr int kExitUsage = 2;  // bad command line, bad measured file, no gnuplot

// The state point of row `index`: temperature outermost, then pressure, then molality.
PointSpec pointAt(const Options& options, std::size_t index);
// The csp11 format's header lines: the model, then the first, last and count of the temperatures
// (C) and pressures (Pa).
std::string csp11Preamble(const Options& options);

// Runs co2table with `args` (without the program name). Messages go to `err`, the table to
// `out` unless --output names a file.
int runTable(const std::vector<std::string>& args, const PointEvaluator& evaluator, std::FILE* out,
             std::FILE* err);
// The same, turning any exception (std::bad_alloc above all) into a message and exit status 1.
int runTableSafely(const std::vector<std::string>& args, const PointEvaluator& evaluator, std::FILE* out,
                   std::FILE* err);

// Why a computed point's solubility and solution columns are left empty: no liquid water, or a
// negative solubility; empty when they are usable.
std::string solubilityNote(const PointResult& result);

// Completes a computed row as co2table writes it: every pressure, density and temperature in the
// table's units, the input columns showing the input as given (only the pressure a curve or a 0
// stands for is converted), and the note saying why the solubility columns are empty. The web
// page's grid rows go through it too.
void finishRow(const Options& options, const PointSpec& pt, PointResult& result);

} // namespace co2::table
