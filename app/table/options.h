// The command line of co2table.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/table/columns.h"
#include "app/table/writer.h"

namespace co2::table {

enum class PlotAxis { pressure, temperature };

// Limits of what a run may be asked for: past them the request is refused before any work.
inline constexpr std::size_t kMaxPlotPoints = 1'000'000;

struct Options {
    std::vector<double> temperatures; // C, for the model
    std::vector<double> pressures;    // MPa, for the model; empty with a curve
    // The same as given, in the units of the command line (what the input columns show).
    std::vector<double> temperaturesShown;
    std::vector<double> pressuresShown;
    Units units;
    int curve = 0;
    // The brines of the salinity axis (--nacl, --nacl-mass-fraction or one --ions); empty: pure
    // water. Each with its label as given ("2 mol/kg NaCl"), for the plot's legend.
    std::vector<co2::Brine> brines;
    std::vector<std::string> brineLabels;
    co2::SaltModel saltModel = co2::SaltModel::duanSun2003;
    co2::SolubilityModel solubilityModel = co2::SolubilityModel::own;
    std::vector<double> molalities; // mol/kg; empty: the solubility at each point
    bool exact = false;             // the calculator's arithmetic instead of the fast path
    Format format = Format::csv;
    TableStyle style;
    std::string output; // empty or "-": standard output
    std::vector<const Column*> columns;
    std::string plot;
    PlotAxis plotX = PlotAxis::pressure;
    bool plotXGiven = false;
    std::string plotMeasured;
    std::optional<co2::SolubilityModel> plotCompare; // a second model drawn beside the first
    std::size_t plotQuantity =
        co2::quantityIndexOf("sol_m"); // the quantity drawn, a row of the model's table
    int plotWidth = 960;
    int plotHeight = 720;
    unsigned threads = 0; // 0: one per core
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    Options options;
    std::string error; // empty on success: the message for exit code 2
};

ParsedOptions parseOptions(const std::vector<std::string>& args);

std::string helpText();

// Points of a table, in output order: temperature outermost, then pressure, then molality.
std::size_t pointCount(const Options& options);

} // namespace co2::table
