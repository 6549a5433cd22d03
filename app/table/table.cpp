#include "app/table/table.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <stdexcept>
#include <unistd.h>

#include "app/table/plot.h"
#include "app/table/ranges.h"
#include "app/table/runner.h"
#include "app/table/writer.h"

#ifndef CO2_VERSION
#define CO2_VERSION "0"
#endif

namespace co2::table {
namespace {

// Set by SIGINT, SIGTERM or SIGHUP: the run stops after the chunk being written and removes its
// partial output file, instead of dying with a stray temporary beside the target.
std::atomic<int> gInterrupt{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int signal) {
    gInterrupt.store(signal);
}

class InterruptGuard {
  public:
    InterruptGuard() {
        gInterrupt.store(0);
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            ::sigaction(kSignals[i], &action, &previous_[i]);
        // Past the file size limit (ulimit -f) a write fails with EFBIG, reported and cleaned up
        // like a full disk, instead of the signal killing the run with its temporary left behind.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &previousFileSize_);
    }
    ~InterruptGuard() {
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            ::sigaction(kSignals[i], &previous_[i], nullptr);
        ::sigaction(SIGXFSZ, &previousFileSize_, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous_[std::size(kSignals)]{};
    struct sigaction previousFileSize_ {};
};

// Points per chunk of work: large enough that handing chunks over costs nothing, small enough
// that the threads share the work evenly and the progress bar moves.
constexpr std::size_t kChunkSize = 64;

} // namespace

void finishRow(const Options& o, const PointSpec& pt, PointResult& r) {
    r.molalityGiven = pt.molalityGiven();
    for (std::size_t i = 0; i < kValueCount; ++i)
        if (const co2::UnitInfo* unit = o.units.of(co2::dimensionOf(kQuantities[i].unit)))
            r.values[i] = co2::toUnit(r.values[i], *unit);
    r.value(Value::T_C) = pt.shownT;
    if (!pt.point.curve && pt.point.pressure != 0) r.value(Value::P) = pt.shownP;
    r.note = solubilityNote(r);
    if (r.note.empty() && r.hasValues && !pt.point.brine.pure())
        r.note = "pure-water solvent only: no solution columns for a brine";
}

namespace {

class RowProducer final : public ChunkProducer {
  public:
    RowProducer(const Options& options, const RowWriter& writer, std::unique_ptr<PointWorker> worker,
                std::vector<PlotPoint>* plot, std::atomic<std::size_t>& failed)
        : options_(options), writer_(writer), worker_(std::move(worker)), plot_(plot), failed_(failed) {}

    void produce(std::size_t begin, std::size_t end, std::string& out) override {
        const std::size_t molalities = options_.molalities.empty() ? 1 : options_.molalities.size();
        for (std::size_t i = begin; i < end; ++i) {
            const PointSpec pt = pointAt(options_, i);
            worker_->evaluate(pt, result_);
            finishRow(options_, pt, result_);
            writer_.appendRow(out, result_, i == 0);
            if (!result_.hasValues) failed_.fetch_add(1, std::memory_order_relaxed);
            // Each plot slot belongs to one row, so the workers never write the same element.
            if (plot_ != nullptr && i % molalities == 0) {
                PlotPoint& p = (*plot_)[i / molalities];
                p.T_C = result_.value(Value::T_C);
                p.P = result_.value(Value::P);
                p.y = result_.values[options_.plotQuantity];
                // No liquid water below its saturation pressure, hence no solubility to draw; a
                // brine's note speaks of its solution columns, and its solubility is drawn.
                p.valid = result_.hasValues && result_.error.empty() && solubilityNote(result_).empty() &&
                          std::isfinite(p.y);
                p.hydrate = result_.flag(co2::hydrate);
            }
        }
    }

  private:
    const Options& options_;
    const RowWriter& writer_;
    std::unique_ptr<PointWorker> worker_;
    std::vector<PlotPoint>* plot_;
    std::atomic<std::size_t>& failed_;
    PointResult result_;
};

} // namespace

std::string solubilityNote(const PointResult& r) {
    if (!r.hasValues) return "";
    if (r.flag(co2::warnSaturation)) return "no liquid water: pressure below the water saturation pressure";
    if (r.flag(co2::noSolubility)) return "negative solubility: outside the model's range";
    return "";
}

// A number as Python prints a float between 1e-4 and 1e16: the shortest fixed-point text that
// reads back, with at least one decimal.
static std::string pythonFloat(double v) {
    char text[400];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed);
    std::string out(text, r.ptr);
    if (out.find_first_of(".n") == std::string::npos) out += ".0";
    return out;
}

std::string csp11Preamble(const Options& o) {
    std::string out =
        "# This autogenerated file contains solubilities of CO2 and H2O in a respective fluid system.\n";
    if (o.solubilityModel == co2::SolubilityModel::own)
        out += "# The values have been calculated by means of co2table " CO2_VERSION
               " (x_CO2: its own solubility model; y_H2O: (11)-(14) in "
               "https://doi.org/10.1016/S0016-7037(03)00273-4).\n";
    else
        out += "# The values have been calculated by means of (11)-(14) in "
               "https://doi.org/10.1016/S0016-7037(03)00273-4.\n";
    out += "#\n# Concerning temperature and pressure ranges, the following parameters have been used:\n";
    const auto range = [](const std::vector<double>& v, double scale) {
        return std::pair{pythonFloat(v.front() * scale), pythonFloat(v.back() * scale)};
    };
    const auto [tMin, tMax] = range(o.temperatures, 1);
    const auto [pMin, pMax] = range(o.pressures, 1e6);
    out += "# min temperature = " + tMin + ", max temperature = " + tMax +
           ", #temperature sampling points = " + std::to_string(o.temperatures.size()) + "\n";
    out += "# min phase pressure = " + pMin + ", max phase pressure = " + pMax +
           ", #pressure sampling points = " + std::to_string(o.pressures.size()) + "\n";
    out += "#\n# temperature [°C], phase pressure [Pa],         y_H2O [-],         x_CO2 [-]\n";
    return out;
}

PointSpec pointAt(const Options& o, std::size_t index) {
    PointSpec pt;
    pt.exact = o.exact;
    pt.raw = o.style.raw;
    pt.point.solubilityModel = o.solubilityModel;
    const std::size_t molalities = o.molalities.empty() ? 1 : o.molalities.size();
    const std::size_t pressures = o.curve != 0 ? 1 : o.pressures.size();
    if (!o.molalities.empty()) pt.point.molality = o.molalities[index % molalities];
    index /= molalities;
    if (!o.brines.empty()) {
        pt.point.brine = o.brines[index % o.brines.size()];
        index /= o.brines.size();
    }
    if (o.curve != 0) {
        pt.point.curve = o.curve;
    } else {
        pt.point.pressure = o.pressures[index % pressures];
        pt.shownP = o.pressuresShown.empty() ? pt.point.pressure : o.pressuresShown[index % pressures];
    }
    pt.point.temperature = o.temperatures[index / pressures];
    pt.shownT = o.temperaturesShown.empty() ? pt.point.temperature : o.temperaturesShown[index / pressures];
    return pt;
}

namespace {

// The interrupt that stopped the run, reported once: 128 + the signal, or 0 when none came.
int interrupted(std::FILE* err, const char* what) {
    const int signal = gInterrupt.load();
    if (signal != 0) std::fprintf(err, "co2table: interrupted%s\n", what);
    return signal != 0 ? 128 + signal : 0;
}

// What a plot needs before the grid is computed: gnuplot, and the measured points if asked for.
// Returns an exit code when the plot cannot be made.
std::optional<int> preparePlot(const Options& o, std::FILE* err, std::string& gnuplot,
                               MeasuredData& measured) {
    const auto found = findGnuplot();
    if (!found) {
        std::fprintf(err, "co2table: --plot needs gnuplot, which is not on PATH; install it with: "
                          "apt-get install gnuplot-nox\n");
        return kExitUsage;
    }
    gnuplot = *found;
    if (o.plot.find_first_of("\r\n") != std::string::npos) {
        std::fprintf(err, "co2table: plot: the file name holds a line break\n");
        return kExitUsage;
    }
    if (!o.plotMeasured.empty()) {
        measured = readMeasured(o.plotMeasured);
        if (!measured.error.empty()) {
            std::fprintf(err, "co2table: plot-measured: %s: %s\n", o.plotMeasured.c_str(),
                         measured.error.c_str());
            return kExitUsage;
        }
    }
    return std::nullopt;
}

// Computes the grid, writing the table (unless `writeTable` is false) and filling `plotPoints`
// when it is sized for them. Returns the exit code when the run ends here.
std::optional<int> computeGrid(const Options& o, const PointEvaluator& evaluator, bool writeTable,
                               std::FILE* out, std::FILE* err, std::vector<PlotPoint>& plotPoints) {
    const std::size_t total = pointCount(o);
    Output output(out, writeTable ? o.output : std::string());
    const auto cannotWrite = [&] {
        std::fprintf(err, "co2table: cannot write %s: %s\n", output.name().c_str(), output.error().c_str());
        return kExitFailed;
    };
    if (writeTable && !output.ok()) return cannotWrite();
    RowWriter writer(o.format, o.columns, CO2_VERSION, o.style);
    if (o.format == Format::csp11) writer.setPreamble(csp11Preamble(o));
    if (writeTable && !output.write(writer.header())) return cannotWrite();
    std::atomic<std::size_t> failed{0};
    RunSettings settings;
    settings.items = total;
    settings.chunkSize = kChunkSize;
    settings.threads = o.threads != 0 ? o.threads : defaultThreadCount((total + kChunkSize - 1) / kChunkSize);
    ProgressBar bar(total, standardErrorIsTerminal() && err == stderr);
    const bool written = runOrdered(
        settings,
        [&] {
            return std::make_unique<RowProducer>(o, writer, evaluator.makeWorker(),
                                                 plotPoints.empty() ? nullptr : &plotPoints, failed);
        },
        [&](std::string_view text) { return gInterrupt.load() == 0 && (!writeTable || output.write(text)); },
        [&](std::size_t done) { bar.update(done); });
    bar.finish();
    const bool toFile = writeTable && !o.output.empty() && o.output != "-";
    if (const int code = interrupted(err, toFile ? "; the table was not written" : ""); code != 0)
        return code;
    if (!written || (writeTable && (!output.write(writer.footer()) || !output.finish())))
        return cannotWrite();
    if (failed.load() != 0)
        std::fprintf(
            err, "co2table: %zu of %zu points were not computed; their rows say why in the error column\n",
            failed.load(), total);
    return std::nullopt;
}

PlotRequest plotRequest(const Options& o, std::vector<PlotPoint> points, const MeasuredData& measured) {
    PlotRequest request;
    request.file = o.plot;
    request.svg = o.plot.size() >= 4 && (o.plot.compare(o.plot.size() - 4, 4, ".svg") == 0 ||
                                         o.plot.compare(o.plot.size() - 4, 4, ".SVG") == 0);
    request.width = o.plotWidth;
    request.height = o.plotHeight;
    request.curve = o.curve;
    request.axis = o.curve != 0 && !o.plotXGiven ? PlotAxis::temperature : o.plotX;
    request.units = o.units;
    request.brines = o.brineLabels;
    request.temperatures = o.temperaturesShown;
    request.pressures = o.pressuresShown;
    request.points = std::move(points);
    if (const Quantity& q = kQuantities[o.plotQuantity]; q.name != "sol_m") {
        request.quantity = q.name;
        request.quantityDescription = q.description;
        request.quantityUnit = columnUnit(allColumns()[o.plotQuantity], o.units);
    }
    // Measured data come in C and MPa; the plot is drawn in the units of the command line.
    request.measured = measured.points;
    for (MeasuredPoint& m : request.measured) {
        m.T_C = co2::toUnit(m.T_C, *o.units.temperature);
        m.P = co2::toUnit(m.P, *o.units.pressure);
    }
    return request;
}

// The model at each measured state point, through the same code as the table; the deviation
// becomes the plot's subtitle, with the compared model's beside it. Returns the exit code when
// interrupted.
std::optional<int> compareWithMeasured(const Options& o, const PointEvaluator& evaluator,
                                       const MeasuredData& measured, PlotRequest& request, std::FILE* err) {
    auto worker = evaluator.makeWorker();
    const auto deviation = [&](co2::SolubilityModel model) {
        std::vector<PlotPoint> computed(measured.points.size());
        PointResult r;
        for (std::size_t i = 0; i < measured.points.size() && gInterrupt.load() == 0; ++i) {
            PointSpec pt;
            pt.exact = o.exact;
            pt.point = co2::Point::at(measured.points[i].T_C, measured.points[i].P);
            pt.point.solubilityModel = model;
            if (!o.brines.empty()) pt.point.brine = o.brines.front(); // at most one with measurements
            worker->evaluate(pt, r);
            computed[i] = {measured.points[i].T_C, measured.points[i].P, r.value(Value::sol_m),
                           r.hasValues && r.error.empty() && solubilityNote(r).empty(), r.flag(co2::hydrate)};
        }
        return meanAbsoluteDeviation(measured.points, computed);
    };
    const Deviation d = deviation(o.solubilityModel);
    const Deviation other = o.plotCompare ? deviation(*o.plotCompare) : Deviation{};
    if (const int code = interrupted(err, "; the plot was not made"); code != 0) return code;
    char text[240];
    int n = std::snprintf(text, sizeof text, "mean absolute deviation from %zu measured points: %.2f %%",
                          d.used, d.meanAbsolute_pct);
    if (o.plotCompare && n > 0 && static_cast<std::size_t>(n) < sizeof text)
        std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), " (%s: %.2f %% from %zu)",
                      std::string(co2::solubilityModelName(*o.plotCompare)).c_str(), other.meanAbsolute_pct,
                      other.used);
    request.subtitle = text;
    std::fprintf(err, "co2table: %s\n", text);
    return std::nullopt;
}

// gnuplot's own words after a failure, a few lines of them: a broken script can say the same
// thing thousands of times.
void showGnuplotMessages(const std::string& messages, std::FILE* err) {
    constexpr int kLines = 12;
    std::size_t end = 0;
    int lines = 0;
    while (end < messages.size() && lines < kLines) {
        end = messages.find('\n', end);
        end = end == std::string::npos ? messages.size() : end + 1;
        ++lines;
    }
    std::fwrite(messages.data(), 1, end, err);
    if (end < messages.size()) std::fprintf(err, "co2table: (gnuplot said more; the rest is left out)\n");
}

int plot(const PlotRequest& request, const std::string& gnuplot, std::FILE* err) {
    bool anything = !request.measured.empty();
    for (const PlotPoint& p : request.points)
        anything = anything || p.valid;
    if (!anything) {
        std::fprintf(err, "co2table: nothing to plot: no point of the grid has a usable solubility\n");
        return kExitFailed;
    }
    const GnuplotRun run = drawPlot(request, gnuplot, [] { return gInterrupt.load() != 0; });
    if (run.interrupted || gInterrupt.load() != 0) {
        const int code = interrupted(err, "; the plot was not made");
        return code != 0 ? code : kExitFailed;
    }
    if (!run.failure.empty()) {
        showGnuplotMessages(run.messages, err);
        std::fprintf(err, "co2table: the plot %s was not made: %s\n", request.file.c_str(),
                     run.failure.c_str());
        return kExitFailed;
    }
    // Warnings of a picture that was made after all.
    showGnuplotMessages(run.messages, err);
    return kExitOk;
}

} // namespace

int runTable(const std::vector<std::string>& args, const PointEvaluator& evaluator, std::FILE* out,
             std::FILE* err) {
    // First of all: a signal from here on stops the run in order, never by its default action.
    const InterruptGuard interruptGuard;
    const ParsedOptions parsed = parseOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(err, "co2table: %s\n", parsed.error.c_str());
        return kExitUsage;
    }
    const Options& o = parsed.options;
    if (o.help) {
        std::fputs(helpText().c_str(), out);
        return kExitOk;
    }
    if (o.version) {
        std::fprintf(out, "co2table %s\n", CO2_VERSION);
        return kExitOk;
    }

    const bool plotting = !o.plot.empty();
    std::string gnuplot;
    MeasuredData measured;
    if (plotting) {
        if (const auto code = preparePlot(o, err, gnuplot, measured)) return *code;
        if (const int code = interrupted(err, ""); code != 0) return code;
    }
    const std::size_t molalities = o.molalities.empty() ? 1 : o.molalities.size();
    std::vector<PlotPoint> plotPoints(plotting ? pointCount(o) / molalities : 0);
    // Without --output a plot run writes only the picture.
    if (const auto code = computeGrid(o, evaluator, !plotting || !o.output.empty(), out, err, plotPoints))
        return *code;
    if (!plotting) return kExitOk;

    PlotRequest request = plotRequest(o, std::move(plotPoints), measured);
    if (o.plotCompare) {
        Options other = o;
        other.solubilityModel = *o.plotCompare;
        request.comparePoints.resize(request.points.size());
        if (const auto code = computeGrid(other, evaluator, false, out, err, request.comparePoints))
            return *code;
        request.compareLabel = co2::solubilityModelName(*o.plotCompare);
    }
    if (!measured.points.empty())
        if (const auto code = compareWithMeasured(o, evaluator, measured, request, err)) return *code;
    return plot(request, gnuplot, err);
}

int runTableSafely(const std::vector<std::string>& args, const PointEvaluator& evaluator, std::FILE* out,
                   std::FILE* err) {
    // Whatever escapes (memory running out above all) ends the run with a message, never with
    // std::terminate; the output file was removed on the way out.
    try {
        return runTable(args, evaluator, out, err);
    } catch (const std::bad_alloc&) {
        std::fprintf(err, "co2table: out of memory; the table is incomplete\n");
    } catch (const std::exception& e) {
        std::fprintf(err, "co2table: %s; the table is incomplete\n", e.what());
    } catch (...) {
        std::fprintf(err, "co2table: an unexpected failure; the table is incomplete\n");
    }
    return kExitFailed;
}

} // namespace co2::table
