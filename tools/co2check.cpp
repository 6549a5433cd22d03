// co2check: the fast double path prints what the calculator's path prints.
//
// Runs every state point on both arithmetic paths of the model (Model::fastArithmetic false and
// true), each from a fresh model as co2table runs it, and compares
//   - the errors raised (code and statement of every error box, in order), and
//   - every quantity of the report formatted through its report template (the very text the
//     screen and CO2out.txt show), plus the report's warnings.
// Points are drawn at random over the whole range (temperatures from -1.48 to 100 C, pressures
// from 0.1 to 100 MPa, a share at the saturation pressure, on the four phase curves and at typed
// molalities, and a few outside it where runtime errors are raised) from a fixed seed, so a run is
// reproducible.
//
//   co2check [--points N] [--seed S] [--threads N] [--grid]
//
// --grid checks co2table's benchmark grid (0:99.9:0.1 C x 0.1:100:0.1 MPa, 10^6 points) instead.
// Prints a summary and every difference with its state point; exit status 0 when there is none.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/report_layout.h"
#include "core/errors.h"
#include "core/math.h"
#include "core/number_format.h"
#include "model/aqueous.h"
#include "model/co2.h"
#include "model/phase_curves.h"
#include "model/printed.h"
#include "model/quantities.h"
#include "model/run.h"
#include "model/solubility.h"
#include "model/state_point.h"
#include "model/water.h"

namespace {

using co2::Model;
using core::ext;

struct Point {
    double T_C = 0;
    double P = 0;         // MPa; 0 is the saturation pressure; ignored on a curve
    int curve = 0;        // 1..4: the pressure of a phase curve
    double molality = -1; // < 0: the solubility (Enter at the prompt)
};

// Every printed text of a report: each quantity through its report template (the report layout),
// and the two values that the dialogue prints through templates of its own (the echoed saturation
// pressure and the molality offered at the prompt). Extended quantities are formed at print time and
// printed through the extended path.
struct Printed {
    std::string_view name;
    std::string_view picture;
    bool extended;
    ext (*value)(const Model&);
};

std::vector<Printed> printedTexts() {
    std::vector<Printed> texts;
    for (std::size_t i = 0; i < co2::kReportLineCount; ++i) {
        const co2::ReportLine& line = co2::kReportLines[i];
        texts.push_back(
            {line.name, line.picture, line.extended, co2::kQuantities[co2::kReportQuantity[i]].value});
    }
    texts.push_back({"P (echo)", "###.#####", false, co2::printed::pressureMPa});
    texts.push_back({"m (prompt)", " ###.##### ", false, [](const Model& m) -> ext { return m.m; }});
    return texts;
}
const std::vector<Printed> kPrinted = printedTexts();
const std::size_t kQuantityCount = kPrinted.size();

struct Outcome {
    std::string firstError; // "code@statement" of the first error box: what co2table reports
    std::string errors;     // "code@statement;..." of the error boxes, in order
    std::vector<std::string> texts;
    std::string warnings;
    int co2Passes = 0;
};

Outcome run(const Model& prototype, const Point& p, bool fast) {
    Outcome out;
    core::ErrorState state;
    int raised = 0;
    state.observer = [&](std::uint32_t code, std::uint32_t statement) {
        if (raised == 0) out.firstError = std::to_string(code) + "@" + std::to_string(statement);
        if (raised++ < 8) out.errors += std::to_string(code) + "@" + std::to_string(statement) + ";";
    };
    auto md = std::make_unique<Model>(prototype);
    md->fastArithmetic = fast;
    {
        core::ErrorScope scope(state);
        co2::setTemperature(*md, p.T_C);
        if (p.curve == 0)
            co2::setPressure(*md, p.P);
        else
            co2::setCurvePressure(*md, p.curve);
        co2::AtMolality hooks(p.molality < 0 ? std::numeric_limits<double>::quiet_NaN() : p.molality);
        co2::runSections(*md, hooks);
        if (state.pendingError.load() != 0) {
            if (out.firstError.empty()) out.firstError = std::to_string(state.pendingError.load()) + "@end";
            out.errors += std::to_string(state.pendingError.load()) + "@end;";
        }
        if (raised > 8) out.errors += std::string("+") + std::to_string(raised - 8);
        // Printing: templates raise errors of their own (a value too large for the extended path).
        for (const Printed& q : kPrinted) {
            const ext v = q.value(*md);
            out.texts.push_back(q.extended ? core::formatExtended(q.picture, v).text
                                           : core::formatDouble(q.picture, static_cast<double>(v)).text);
            if (state.pendingError.load() != 0) {
                out.texts.back() += std::string(" [error ") + std::to_string(state.pendingError.load()) + "]";
                state.pendingError.store(0);
                state.eventFlag.store(0);
            }
        }
    }
    out.warnings = std::string(co2::temperatureOutOfRange(md->T_C) ? "T" : "") +
                   (co2::pressureOutOfRange(md->P_bar) ? "P" : "") + (co2::belowSaturation(*md) ? "S" : "") +
                   (md->m > md->mSat ? "m" : "");
    out.co2Passes = static_cast<int>(md->co2Iterations);
    return out;
}

// The calculator's range: its report is what the fast path promises to print alike. Outside it
// (and the equations' validity) values reach 10^20 and beyond, and a template that prints every
// integer digit shows the last digits of a double, which no two arithmetics share.
bool inRange(const Point& p) {
    return p.T_C >= -1.6 && p.T_C <= 100 && (p.curve != 0 || p.P == 0 || (p.P >= 0.1 && p.P <= 100)) &&
           (p.molality < 0 || p.molality <= 60);
}

std::string describe(const Point& p) {
    char text[160];
    if (p.curve != 0)
        std::snprintf(text, sizeof text, "T_C=%.17g curve=%d", p.T_C, p.curve);
    else
        std::snprintf(text, sizeof text, "T_C=%.17g P=%.17g MPa", p.T_C, p.P);
    std::string s = text;
    if (p.molality >= 0) {
        std::snprintf(text, sizeof text, " m=%.17g", p.molality);
        s += text;
    }
    return s;
}

// Random points over the calculator's whole range, with the cases that take other branches.
std::vector<Point> randomPoints(std::size_t count, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<Point> points;
    points.reserve(count);
    // A value typed with a few decimals, as a user or a table gives it.
    const auto typed = [&](double lo, double hi, double step) {
        const double v = lo + (hi - lo) * unit(rng);
        return std::round(v / step) * step;
    };
    for (std::size_t i = 0; i < count; ++i) {
        Point p;
        const double kind = unit(rng);
        if (kind < 0.45) { // any double in the range
            p.T_C = -1.48 + 101.48 * unit(rng);
            p.P = 0.1 + 99.9 * unit(rng);
        } else if (kind < 0.75) { // typed decimals
            p.T_C = std::clamp(typed(-1.48, 100, 0.01), -1.48, 100.0);
            p.P = std::clamp(typed(0.1, 100, 0.001), 0.1, 100.0);
        } else if (kind < 0.85) { // low pressures, logarithmically
            p.T_C = typed(-1.48, 100, 0.1);
            p.P = 0.1 * std::pow(100.0, unit(rng));
        } else if (kind < 0.9) { // the saturation pressure
            p.T_C = typed(-1.48, 100, 0.01);
            p.P = 0;
        } else if (kind < 0.95) { // on a phase curve, inside its range
            p.curve = 1 + static_cast<int>(unit(rng) * 4) % 4;
            const double lo[] = {-1.6, 9.93, -1.48, -1.48};
            const double hi[] = {31.48, 20, 9.93, -0.125};
            p.T_C = typed(lo[p.curve - 1], hi[p.curve - 1], 0.01);
            if (!co2::curveAccepts(p.curve, p.T_C)) p.T_C = lo[p.curve - 1] + 0.01;
        } else if (kind < 0.98) { // a typed molality
            p.T_C = typed(-1.48, 100, 0.1);
            p.P = typed(0.1, 100, 0.1);
            p.molality = unit(rng) < 0.1 ? 0 : typed(0, 3, 0.001);
        } else { // outside the range, where runtime errors are raised: the same ones on both paths
            const double outside[][2] = {{-300, 1},  {25, 1e-300}, {150, 0.05}, {-40, 5},   {250, 50},
                                         {25, 5000}, {500, 1},     {25, -1},    {31, 1e-5}, {0, 1e-3}};
            const auto& o = outside[static_cast<std::size_t>(unit(rng) * 10) % 10];
            p.T_C = o[0] * (1 + 0.01 * unit(rng));
            p.P = o[1] * (1 + 0.01 * unit(rng));
            if (unit(rng) < 0.3) p.molality = -60 * unit(rng);
        }
        points.push_back(p);
    }
    return points;
}

std::vector<Point> gridPoints() {
    std::vector<Point> points;
    points.reserve(1000000);
    for (int i = 0; i < 1000; ++i)
        for (int j = 1; j <= 1000; ++j)
            points.push_back({std::strtod(std::to_string(i * 0.1).c_str(), nullptr),
                              std::strtod(std::to_string(j * 0.1).c_str(), nullptr), 0, -1});
    return points;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t count = 10000;
    std::uint64_t seed = 1;
    unsigned threads = std::max(1U, std::thread::hardware_concurrency());
    bool grid = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const auto next = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "co2check: %s needs a value\n", argv[i]);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--points")
            count = std::strtoull(next(), nullptr, 10);
        else if (a == "--seed")
            seed = std::strtoull(next(), nullptr, 10);
        else if (a == "--threads")
            threads = static_cast<unsigned>(std::max(1L, std::strtol(next(), nullptr, 10)));
        else if (a == "--grid")
            grid = true;
        else {
            std::fprintf(stderr, "usage: co2check [--points N] [--seed S] [--threads N] [--grid]\n");
            return 2;
        }
    }
    core::setupFloatingPoint();
    auto prototype = std::make_unique<Model>();
    co2::loadConstants(prototype->c);
    const std::vector<Point> points = grid ? gridPoints() : randomPoints(count, seed);

    std::atomic<std::size_t> nextPoint{0};
    std::atomic<std::size_t> differentPoints{0}, differentTexts{0}, differentErrors{0}, failedPoints{0};
    std::atomic<std::size_t> outsidePoints{0}, outsideDifferent{0}, laterBoxesDifferent{0};
    std::atomic<long> passDifference{0};
    std::mutex printLock;
    const auto worker = [&] {
        core::setupFloatingPoint();
        for (;;) {
            const std::size_t k = nextPoint.fetch_add(1);
            if (k >= points.size()) return;
            const Point& p = points[k];
            const Outcome exact = run(*prototype, p, false);
            const Outcome fast = run(*prototype, p, true);
            const bool inside = inRange(p);
            if (!inside) outsidePoints.fetch_add(1);
            if (!exact.errors.empty()) failedPoints.fetch_add(1);
            passDifference.fetch_add(std::labs(exact.co2Passes - fast.co2Passes));
            std::string report;
            if (exact.firstError != fast.firstError) {
                differentErrors.fetch_add(1);
                report += "  first error: exact [" + exact.firstError + "] fast [" + fast.firstError + "]\n";
            } else if (exact.errors != fast.errors) {
                // After the first error the model goes on with substitutes of 0, as the calculator
                // does when the user answers Yes; co2table and the library report the first error
                // alone, so the later boxes are noted but are not a difference of the report.
                laterBoxesDifferent.fetch_add(1);
            }
            if (exact.errors.empty() && fast.errors.empty()) {
                for (std::size_t q = 0; q < kQuantityCount; ++q) {
                    if (exact.texts[q] == fast.texts[q]) continue;
                    if (inside) differentTexts.fetch_add(1);
                    report += std::string("  ") + std::string(kPrinted[q].name) + ": exact \"" +
                              exact.texts[q] + "\" fast \"" + fast.texts[q] + "\"\n";
                }
                if (exact.warnings != fast.warnings) {
                    if (inside) differentTexts.fetch_add(1);
                    report += "  warnings: exact \"" + exact.warnings + "\" fast \"" + fast.warnings + "\"\n";
                }
            }
            if (!report.empty()) {
                if (inside || exact.firstError != fast.firstError)
                    differentPoints.fetch_add(1);
                else
                    outsideDifferent.fetch_add(1);
                const std::lock_guard<std::mutex> lock(printLock);
                std::printf("%s%s\n%s", describe(p).c_str(), inside ? "" : " (outside the range)",
                            report.c_str());
            }
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(worker);
    for (std::thread& t : pool)
        t.join();

    std::printf("co2check: %zu state points (%s), %zu printed quantities each; %zu with runtime errors\n",
                points.size(),
                grid ? "co2table grid" : (std::string("random, seed ") + std::to_string(seed)).c_str(),
                kQuantityCount, failedPoints.load());
    std::printf("co2check: %zu points outside the calculator's range, %zu of them print other digits (listed "
                "above)\n",
                outsidePoints.load(), outsideDifferent.load());
    std::printf(
        "co2check: %zu points differ (in the range, or in the first error): %zu printed texts, %zu first "
        "errors; %zu failing points raise other later boxes; CO2 Newton passes differ by %ld in all\n",
        differentPoints.load(), differentTexts.load(), differentErrors.load(), laterBoxesDifferent.load(),
        passDifference.load());
    return differentPoints.load() == 0 ? 0 : 1;
}
