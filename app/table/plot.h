// Solubility plots drawn by gnuplot, and measured solubilities to set beside them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/table/options.h"

namespace co2::table {

// One computed point for the plot, its temperature and pressure in the units of the command
// line (C or K, MPa or bar); invalid when the point failed or has no usable solubility.
struct PlotPoint {
    double T_C = 0;
    double P = 0;
    double y = 0; // the quantity drawn: the solubility in mol/kg unless another is asked for
    bool valid = false;
    bool hydrate = false; // inside the CO2-clathrate stability field: drawn dashed
};

struct MeasuredPoint {
    double T_C = 0;
    double P = 0; // MPa
    double m = 0; // mol/kg
};

struct MeasuredData {
    std::vector<MeasuredPoint> points;
    std::string error; // empty on success
};

// Reads a CSV file with a header naming the columns T_C, P_MPa and m_CO2 (others are ignored;
// fields may be quoted as RFC 4180 allows). A file longer than `limit` bytes is refused (a
// measured data set is small; /dev/zero is not).
inline constexpr std::size_t kMaxMeasuredBytes = 100'000'000;
MeasuredData readMeasured(const std::string& path, std::size_t limit = kMaxMeasuredBytes);
MeasuredData parseMeasured(const std::string& text);

// Splits one CSV record into fields; `pos` moves past the record and its line end.
std::vector<std::string> csvRecord(const std::string& text, std::size_t& pos);

struct PlotRequest {
    std::string file;
    bool svg = false;
    int width = 960, height = 720;
    PlotAxis axis = PlotAxis::pressure;
    Units units; // of the temperatures and pressures below, of the points and of the measurements
    int curve = 0;
    std::vector<double> temperatures; // the grid, in the order given
    std::vector<double> pressures;
    // The brines of the grid by their labels ("2 mol/kg NaCl"); empty for pure water.
    std::vector<std::string> brines;
    // The points of the grid's first molality, temperature-major, then pressure, then brine:
    // index (t * pressures + p) * brines + b (one pressure along a curve; one brine for pure water).
    std::vector<PlotPoint> points;
    // The same points by another solubility model, drawn dotted beside them (empty: none), and
    // that model's name for the legend.
    std::vector<PlotPoint> comparePoints;
    std::string compareLabel;
    std::vector<MeasuredPoint> measured;
    std::string subtitle; // e.g. the deviation from the measurements
    // The quantity drawn, when not the solubility: its name, description and unit.
    std::string quantity, quantityDescription, quantityUnit;
};

// The gnuplot commands that draw the request into `output`, and the data they read from
// `dataFile` (kept apart, so that no datum can ever be read as a command).
struct GnuplotProgram {
    std::string script;
    std::string data;
};
GnuplotProgram gnuplotProgram(const PlotRequest& request, const std::string& output,
                              const std::string& dataFile);

// The gnuplot executable on PATH, if any.
std::optional<std::string> findGnuplot();

struct GnuplotRun {
    std::string failure;  // empty on success
    std::string messages; // what gnuplot said (its first 16 kB)
    bool interrupted = false;
};
// Runs gnuplot on the script, in a process group of its own; kills it as soon as `interrupted`
// returns true.
GnuplotRun runGnuplot(const std::string& gnuplot, const std::string& script,
                      const std::function<bool()>& interrupted);
// Draws the request into request.file, replacing it only once the picture is whole.
GnuplotRun drawPlot(const PlotRequest& request, const std::string& gnuplot,
                    const std::function<bool()>& interrupted);

// Mean absolute relative deviation, in percent, of model from measured molalities.
struct Deviation {
    std::size_t used = 0;
    double meanAbsolute_pct = 0;
};
Deviation meanAbsoluteDeviation(const std::vector<MeasuredPoint>& measured,
                                const std::vector<PlotPoint>& model);

} // namespace co2::table
