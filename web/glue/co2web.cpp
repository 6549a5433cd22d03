// What the page needs beyond the model's C interface, which it calls directly (co2_run, the
// quantity, flag and curve tables): co2table's own number text, number parsing, option checks,
// rows and measured-data reader, so that the page prints and downloads what co2table prints.
//
// Every function returns a pointer into a buffer of this module that stays valid until the next
// call of the same function; the page copies it out at once. One grid at a time per module
// instance (the page runs grids in a worker of their own).
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <emscripten/emscripten.h>

#include "app/table/model_point.h"
#include "app/table/options.h"
#include "app/table/plot.h"
#include "app/table/ranges.h"
#include "app/table/table.h"
#include "app/table/writer.h"
#include "co2model.h"

namespace {

using namespace co2::table;

std::string gText;

const char* hold(std::string text) {
    gText = std::move(text);
    return gText.c_str();
}

struct Grid {
    Options options;
    std::size_t count = 0;
    std::unique_ptr<RowWriter> csv, json;
    std::unique_ptr<PointWorker> worker;
    std::string csvText, jsonText, rowsText;
};

std::unique_ptr<Grid> gGrid;

// The last single point: its values, flags and error, read by the page after web_run.
std::vector<double> gValues(static_cast<std::size_t>(co2_quantity_count()));
unsigned gFlags = 0;
char gError[512];

// co2table's arguments, one per line.
std::vector<std::string> argumentsOf(const char* lines) {
    std::vector<std::string> args;
    std::string line;
    for (const char* p = lines; *p != '\0'; ++p) {
        if (*p == '\n') {
            args.push_back(line);
            line.clear();
        } else {
            line += *p;
        }
    }
    if (!line.empty()) args.push_back(line);
    return args;
}

// The cells of the page's results table: T, P, the NaCl molality and sol_m as text (null where
// there is none), then the hydrate flag, the CO2 phase and the note or error.
void appendSummary(std::string& out, const PointSpec& pt, const PointResult& r, bool first) {
    auto number = [&](Value v) {
        const double x = r.value(v);
        out += std::isnan(x) ? std::string("null") : jsonString(numberText(x));
    };
    out += first ? "[" : ",[";
    number(Value::T_C);
    out += ',';
    number(Value::P);
    out += ',' + jsonString(numberText(pt.point.brine.Na)) + ',';
    if (r.hasValues && (r.note.empty() || r.molalityGiven))
        number(Value::sol_m);
    else
        out += "null";
    out += r.hasValues && r.flag(co2::hydrate) ? ",1," : ",0,";
    out += jsonString(co2PhaseName(r.co2Phase)) + ',' + jsonString(r.error.empty() ? r.note : r.error) + ']';
}

} // namespace

extern "C" {

// One point through co2_run's fast path, its struct filled here so that the page never depends
// on the struct's layout in memory. Returns co2_run's code; web_values, web_flags and web_error
// hold the result.
EMSCRIPTEN_KEEPALIVE int web_run(double t_celsius, double p_mpa, int curve, double molality, double na,
                                 double k, double ca, double mg, double cl, double so4, int salt_model) {
    co2_point point = co2_point_at(t_celsius, p_mpa);
    point.curve = curve;
    point.molality = molality;
    point.na = na;
    point.k = k;
    point.ca = ca;
    point.mg = mg;
    point.cl = cl;
    point.so4 = so4;
    point.salt_model = salt_model;
    gFlags = 0;
    return co2_run(&point, 0, gValues.data(), &gFlags, gError, sizeof gError);
}
EMSCRIPTEN_KEEPALIVE const double* web_values(void) {
    return gValues.data();
}
EMSCRIPTEN_KEEPALIVE unsigned web_flags(void) {
    return gFlags;
}
EMSCRIPTEN_KEEPALIVE const char* web_error(void) {
    return gError;
}

// The shortest text that reads back as the double, as co2table writes it ("nan" for NaN).
EMSCRIPTEN_KEEPALIVE const char* web_number_text(double value) {
    return hold(numberText(value));
}

// co2table's reading of a typed number: "" when it is not a decimal number, else its shortest
// text (which JavaScript reads back as the very double co2table would use).
EMSCRIPTEN_KEEPALIVE const char* web_parse_number(const char* text) {
    const auto value = parseNumber(text);
    return hold(value && std::isfinite(*value) ? numberText(*value) : std::string());
}

// Checks co2table's arguments and prepares the grid: "" and the grid ready, or co2table's message.
EMSCRIPTEN_KEEPALIVE const char* web_grid_open(const char* lines, double max_points) {
    gGrid.reset();
    ParsedOptions parsed = parseOptions(argumentsOf(lines));
    if (!parsed.error.empty()) return hold(parsed.error);
    // The page has no long double to match the calculator's exact path, no files and one thread.
    const Options& o = parsed.options;
    if (o.exact)
        return hold("--exact: the page has the fast path only (WebAssembly has no extended precision)");
    if (!o.plot.empty() || !o.plotMeasured.empty() || !o.output.empty() || o.help || o.version)
        return hold("the page takes the grid, table and format options only");
    auto grid = std::make_unique<Grid>();
    grid->options = std::move(parsed.options);
    grid->count = pointCount(grid->options);
    if (static_cast<double>(grid->count) > max_points)
        return hold("the grid has " + std::to_string(grid->count) + " points; the page computes at most " +
                    numberText(max_points) + " (co2table takes any number)");
    const std::string version = co2_version();
    grid->csv = std::make_unique<RowWriter>(Format::csv, grid->options.columns, version, grid->options.style);
    grid->json =
        std::make_unique<RowWriter>(Format::json, grid->options.columns, version, grid->options.style);
    grid->worker = ModelEvaluator().makeWorker();
    gGrid = std::move(grid);
    return hold("");
}

EMSCRIPTEN_KEEPALIVE double web_grid_count(void) {
    return gGrid ? static_cast<double>(gGrid->count) : 0;
}

EMSCRIPTEN_KEEPALIVE const char* web_grid_header(int json) {
    if (!gGrid) return hold("");
    return hold(json != 0 ? gGrid->json->header() : gGrid->csv->header());
}

EMSCRIPTEN_KEEPALIVE const char* web_grid_footer(int json) {
    if (!gGrid) return hold("");
    return hold(json != 0 ? gGrid->json->footer() : gGrid->csv->footer());
}

// Computes rows [begin, end); their CSV, JSON and summary texts follow from the three getters.
EMSCRIPTEN_KEEPALIVE int web_grid_run(double begin, double end) {
    if (!gGrid || !(begin >= 0) || !(end <= static_cast<double>(gGrid->count)) || !(begin <= end)) return -1;
    Grid& g = *gGrid;
    g.csvText.clear();
    g.jsonText.clear();
    g.rowsText = "[";
    PointResult r;
    for (auto i = static_cast<std::size_t>(begin); i < static_cast<std::size_t>(end); ++i) {
        const PointSpec pt = pointAt(g.options, i);
        g.worker->evaluate(pt, r);
        finishRow(g.options, pt, r);
        g.csv->appendRow(g.csvText, r, i == 0);
        g.json->appendRow(g.jsonText, r, i == 0);
        appendSummary(g.rowsText, pt, r, i == static_cast<std::size_t>(begin));
    }
    g.rowsText += ']';
    return 0;
}

EMSCRIPTEN_KEEPALIVE const char* web_grid_csv(void) {
    return gGrid ? gGrid->csvText.c_str() : "";
}
EMSCRIPTEN_KEEPALIVE const char* web_grid_json(void) {
    return gGrid ? gGrid->jsonText.c_str() : "";
}
EMSCRIPTEN_KEEPALIVE const char* web_grid_rows(void) {
    return gGrid ? gGrid->rowsText.c_str() : "[]";
}

// The measured solubilities of a CSV text, by co2table's reader: {"points": [[T, P, m], ...]}
// or {"error": "..."}.
EMSCRIPTEN_KEEPALIVE const char* web_measured(const char* text) {
    const MeasuredData data = parseMeasured(text);
    if (!data.error.empty()) return hold("{\"error\": " + jsonString(data.error) + "}");
    std::string out = "{\"points\": [";
    for (std::size_t i = 0; i < data.points.size(); ++i) {
        const MeasuredPoint& p = data.points[i];
        out +=
            (i == 0 ? "[" : ",[") + numberText(p.T_C) + "," + numberText(p.P) + "," + numberText(p.m) + "]";
    }
    return hold(out + "]}");
}

} // extern "C"
