// The command line of co2table.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/table/columns.h"
#include "app/table/writer.h"

namespace co2::table {

enum class PlotAxis { pressure, temperature };

struct Options {
    std::vector<double> temperatures; // C
    std::vector<double> pressures;    // MPa; empty with a curve
    int curve = 0;
    std::vector<double> molalities; // mol/kg; empty: the solubility at each point
    Format format = Format::csv;
    std::string output; // empty: standard output
    std::vector<const Column*> columns;
    std::string plot;
    PlotAxis plotX = PlotAxis::pressure;
    bool plotXGiven = false;
    std::string plotMeasured;
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
