#include "app/table/table.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
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

// The temporary file being written, for the critical-error exit, which ends the process without
// running destructors.
std::atomic<const char*> gPartialFile{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free);

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

// Writes the table into a temporary file beside the target and renames it at the end, so that a
// run that fails half-way never leaves a file that looks like a finished table. A symbolic link
// is followed to its target, which is replaced that way while the link stays; a device or a pipe
// is written in place, since renaming over /dev/null would replace the node itself.
class Output {
  public:
    Output(std::FILE* standardOut, const std::string& path) : path_(path == "-" ? std::string() : path) {
        if (path_.empty()) {
            file_ = standardOut;
            return;
        }
        target_ = path_;
        struct stat st {};
        bool exists = ::lstat(path_.c_str(), &st) == 0;
        if (exists && S_ISLNK(st.st_mode)) {
            char* resolved = ::realpath(path_.c_str(), nullptr);
            if (resolved == nullptr) {
                // A link to nothing yet: written through, which makes its target.
                openInPlace();
                return;
            }
            target_ = resolved;
            std::free(resolved);
            exists = ::stat(target_.c_str(), &st) == 0;
        }
        if (exists && !S_ISREG(st.st_mode)) {
            openInPlace();
            return;
        }
        // Renaming would replace a file that may not be written; refuse it as writing would.
        if (exists && (::access(target_.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0)) {
            error_ = "the file is read-only";
            return;
        }
        temp_ = target_ + ".partXXXXXX";
        const int fd = ::mkstemp(temp_.data());
        if (fd < 0) {
            error_ = std::strerror(errno);
            temp_.clear();
            return;
        }
        gPartialFile.store(temp_.c_str());
        if (exists) {
            ::fchmod(fd, st.st_mode & 07777);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd, 0666 & ~mask);
        }
        file_ = ::fdopen(fd, "wb");
        if (file_ == nullptr) {
            error_ = std::strerror(errno);
            ::close(fd);
        }
    }
    ~Output() {
        if (!path_.empty() && file_ != nullptr) std::fclose(file_);
        removeTemporary();
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    bool ok() const { return file_ != nullptr && error_.empty(); }
    const std::string& error() const { return error_; }
    std::string name() const { return path_.empty() ? "standard output" : path_; }

    bool write(std::string_view text) {
        if (!ok()) return false;
        if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
            error_ = std::strerror(errno);
            return false;
        }
        return true;
    }

    bool finish() {
        if (!ok()) return false;
        if (path_.empty()) {
            if (std::fflush(file_) != 0 || std::ferror(file_)) error_ = std::strerror(errno);
            return error_.empty();
        }
        std::FILE* f = file_;
        file_ = nullptr;
        if (std::fflush(f) != 0 || (!temp_.empty() && ::fsync(::fileno(f)) != 0))
            error_ = std::strerror(errno);
        if (std::fclose(f) != 0 && error_.empty()) error_ = std::strerror(errno);
        if (error_.empty() && !temp_.empty() && ::rename(temp_.c_str(), target_.c_str()) != 0)
            error_ = std::strerror(errno);
        if (error_.empty()) {
            gPartialFile.store(nullptr);
            temp_.clear();
        }
        return error_.empty();
    }

  private:
    void openInPlace() {
        file_ = std::fopen(path_.c_str(), "wb");
        if (file_ == nullptr) error_ = std::strerror(errno);
    }
    void removeTemporary() {
        if (temp_.empty()) return;
        gPartialFile.store(nullptr);
        ::unlink(temp_.c_str());
        temp_.clear();
    }

    std::string path_;
    std::string target_; // the file that is replaced: path_, or the file a link points to
    std::string temp_;
    std::FILE* file_ = nullptr;
    std::string error_;
};

// Every pressure, density and temperature in the table's units; the input columns show the input
// as given (only the pressure a curve or a 0 stands for is converted). And why the solubility
// columns are empty.
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
                p.sol_m = result_.value(Value::sol_m);
                // No liquid water below its saturation pressure, hence no solubility to draw.
                p.valid = result_.hasValues && result_.error.empty() && result_.note.empty();
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

void removePartialOutput() {
    if (const char* file = gPartialFile.exchange(nullptr); file != nullptr) ::unlink(file);
}

PointSpec pointAt(const Options& o, std::size_t index) {
    PointSpec pt;
    pt.exact = o.exact;
    pt.raw = o.style.raw;
    const std::size_t molalities = o.molalities.empty() ? 1 : o.molalities.size();
    const std::size_t pressures = o.curve != 0 ? 1 : o.pressures.size();
    if (!o.molalities.empty()) pt.point.molality = o.molalities[index % molalities];
    index /= molalities;
    if (!o.salinities.empty()) {
        pt.point.brine = co2::Brine::nacl(o.salinities[index % o.salinities.size()], o.saltModel);
        index /= o.salinities.size();
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

int runTable(const std::vector<std::string>& args, const PointEvaluator& evaluator, std::FILE* out,
             std::FILE* err) {
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
    }

    const std::size_t total = pointCount(o);
    // Without --output a plot run writes only the picture.
    const bool writeTable = !plotting || !o.output.empty();
    // Before the temporary exists, so that no stopping signal can leave it behind.
    const InterruptGuard interruptGuard;
    Output output(out, writeTable ? o.output : std::string());
    if (writeTable && !output.ok()) {
        std::fprintf(err, "co2table: cannot write %s: %s\n", output.name().c_str(), output.error().c_str());
        return kExitFailed;
    }

    const RowWriter writer(o.format, o.columns, CO2_VERSION, o.style);
    const std::size_t molalities = o.molalities.empty() ? 1 : o.molalities.size();
    std::vector<PlotPoint> plotPoints(plotting ? total / molalities : 0);
    std::atomic<std::size_t> failed{0};

    if (writeTable && !output.write(writer.header())) {
        std::fprintf(err, "co2table: cannot write %s: %s\n", output.name().c_str(), output.error().c_str());
        return kExitFailed;
    }
    RunSettings settings;
    settings.items = total;
    settings.chunkSize = kChunkSize;
    settings.threads = o.threads != 0 ? o.threads : defaultThreadCount((total + kChunkSize - 1) / kChunkSize);
    ProgressBar bar(total, standardErrorIsTerminal() && err == stderr);
    const bool written = runOrdered(
        settings,
        [&] {
            return std::make_unique<RowProducer>(o, writer, evaluator.makeWorker(),
                                                 plotting ? &plotPoints : nullptr, failed);
        },
        [&](std::string_view text) { return gInterrupt.load() == 0 && (!writeTable || output.write(text)); },
        [&](std::size_t done) { bar.update(done); });
    bar.finish();
    if (const int signal = gInterrupt.load(); signal != 0) {
        std::fprintf(err, "co2table: interrupted%s\n",
                     writeTable && !o.output.empty() && o.output != "-" ? "; the table was not written" : "");
        return 128 + signal;
    }
    if (!written || (writeTable && (!output.write(writer.footer()) || !output.finish()))) {
        std::fprintf(err, "co2table: cannot write %s: %s\n", output.name().c_str(), output.error().c_str());
        return kExitFailed;
    }
    if (failed.load() != 0)
        std::fprintf(
            err, "co2table: %zu of %zu points were not computed; their rows say why in the error column\n",
            failed.load(), total);

    if (!plotting) return kExitOk;

    PlotRequest request;
    request.file = o.plot;
    request.svg = o.plot.size() >= 4 && (o.plot.compare(o.plot.size() - 4, 4, ".svg") == 0 ||
                                         o.plot.compare(o.plot.size() - 4, 4, ".SVG") == 0);
    request.width = o.plotWidth;
    request.height = o.plotHeight;
    request.curve = o.curve;
    request.axis = o.curve != 0 && !o.plotXGiven ? PlotAxis::temperature : o.plotX;
    request.units = o.units;
    request.temperatures = o.temperaturesShown;
    request.pressures = o.pressuresShown;
    request.points = std::move(plotPoints);
    // Measured data come in C and MPa; the plot is drawn in the units of the command line.
    request.measured = measured.points;
    for (MeasuredPoint& m : request.measured) {
        m.T_C = co2::toUnit(m.T_C, *o.units.temperature);
        m.P = co2::toUnit(m.P, *o.units.pressure);
    }
    if (!measured.points.empty()) {
        // The model at each measured state point, through the same code as the table.
        auto worker = evaluator.makeWorker();
        std::vector<PlotPoint> model(measured.points.size());
        PointResult r;
        for (std::size_t i = 0; i < measured.points.size() && gInterrupt.load() == 0; ++i) {
            PointSpec pt;
            pt.exact = o.exact;
            pt.point = co2::Point::at(measured.points[i].T_C, measured.points[i].P);
            worker->evaluate(pt, r);
            model[i] = {measured.points[i].T_C, measured.points[i].P, r.value(Value::sol_m),
                        r.hasValues && r.error.empty() && solubilityNote(r).empty(), r.flag(co2::hydrate)};
        }
        if (const int signal = gInterrupt.load(); signal != 0) {
            std::fprintf(err, "co2table: interrupted; the plot was not made\n");
            return 128 + signal;
        }
        const Deviation d = meanAbsoluteDeviation(measured.points, model);
        char text[160];
        std::snprintf(text, sizeof text, "mean absolute deviation from %zu measured points: %.2f %%", d.used,
                      d.meanAbsolute_pct);
        request.subtitle = text;
        std::fprintf(err, "co2table: %s\n", text);
    }
    bool anything = !request.measured.empty();
    for (const PlotPoint& p : request.points)
        anything = anything || p.valid;
    if (!anything) {
        std::fprintf(err, "co2table: nothing to plot: no point of the grid has a usable solubility\n");
        return kExitFailed;
    }
    const std::string failure = runGnuplot(gnuplot, gnuplotScript(request));
    if (const int signal = gInterrupt.load(); signal != 0) {
        std::fprintf(err, "co2table: interrupted; the plot may be incomplete\n");
        return 128 + signal;
    }
    struct stat st {};
    if (!failure.empty() || ::stat(o.plot.c_str(), &st) != 0 || st.st_size == 0) {
        std::fprintf(err, "co2table: the plot %s was not made%s%s\n", o.plot.c_str(),
                     failure.empty() ? "" : ": ", failure.c_str());
        return kExitFailed;
    }
    return kExitOk;
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
