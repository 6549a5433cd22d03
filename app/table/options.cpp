#include "app/table/options.h"

#include <cstdint>
#include <limits>
#include <set>

#include "app/table/ranges.h"

namespace co2::table {
namespace {

bool endsWith(const std::string& s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    std::string tail = s.substr(s.size() - suffix.size());
    for (char& ch : tail)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return tail == suffix;
}

std::optional<long> parseWhole(const std::string& text, long low, long high) {
    const auto value = parseNumber(text);
    if (!value || *value != static_cast<double>(static_cast<long>(*value))) return std::nullopt;
    const long whole = static_cast<long>(*value);
    if (whole < low || whole > high) return std::nullopt;
    return whole;
}

// Options that take a value; the others are switches.
const std::set<std::string>& valueOptions() {
    static const std::set<std::string> names = {
        "--temperature", "--pressure", "--curve",  "--molality",      "--format",    "--output",
        "--columns",     "--plot",     "--plot-x", "--plot-measured", "--plot-size", "--threads"};
    return names;
}

} // namespace

std::size_t pointCount(const Options& o) {
    const std::size_t pressures = o.curve != 0 ? 1 : o.pressures.size();
    const std::size_t molalities = o.molalities.empty() ? 1 : o.molalities.size();
    return o.temperatures.size() * pressures * molalities;
}

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    std::set<std::string> seen;
    std::optional<std::string> temperature, pressure, curve, molality, format, columns, plotX, plotSize,
        threads;
    const auto fail = [&](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--help" || name == "-h") {
            o.help = true;
            continue;
        }
        if (name == "--version") {
            o.version = true;
            continue;
        }
        if (!valueOptions().contains(name)) {
            if (!name.starts_with("-")) return fail("unexpected argument \"" + name + "\"");
            return fail("unknown option \"" + name + "\"");
        }
        if (!value) {
            if (i + 1 >= args.size()) return fail(name + " needs a value");
            value = args[++i];
        }
        if (!seen.insert(name).second) return fail(name + " is given twice");
        if (name == "--temperature")
            temperature = value;
        else if (name == "--pressure")
            pressure = value;
        else if (name == "--curve")
            curve = value;
        else if (name == "--molality")
            molality = value;
        else if (name == "--format")
            format = value;
        else if (name == "--output")
            o.output = *value;
        else if (name == "--columns")
            columns = value;
        else if (name == "--plot")
            o.plot = *value;
        else if (name == "--plot-x")
            plotX = value;
        else if (name == "--plot-measured")
            o.plotMeasured = *value;
        else if (name == "--plot-size")
            plotSize = value;
        else if (name == "--threads")
            threads = value;
    }
    if (o.help || o.version) return parsed;

    if (!temperature) return fail("--temperature is missing (try --help)");
    ParseResult t = parseValueList(*temperature, "temperature");
    if (!t.error.empty()) return fail(t.error);
    o.temperatures = std::move(t.values);

    if (curve) {
        const auto n = parseWhole(*curve, 1, 4);
        if (!n) return fail("curve: \"" + *curve + "\" is not one of 1, 2, 3, 4");
        o.curve = static_cast<int>(*n);
        if (pressure) return fail("--pressure and --curve exclude each other: a curve gives the pressure");
    } else {
        if (!pressure) return fail("--pressure is missing (or give --curve 1..4)");
        ParseResult p = parseValueList(*pressure, "pressure");
        if (!p.error.empty()) return fail(p.error);
        for (double v : p.values)
            if (v < 0) return fail("pressure: " + std::to_string(v) + " MPa is negative");
        o.pressures = std::move(p.values);
    }

    if (molality) {
        ParseResult m = parseValueList(*molality, "molality");
        if (!m.error.empty()) return fail(m.error);
        o.molalities = std::move(m.values);
    }

    if (format) {
        const auto f = parseFormat(*format);
        if (!f) return fail("format: unknown format \"" + *format + "\" (csv, tsv or json)");
        o.format = *f;
    } else if (endsWith(o.output, ".json")) {
        o.format = Format::json;
    } else if (endsWith(o.output, ".tsv")) {
        o.format = Format::tsv;
    }

    if (columns) {
        ColumnSelection s = selectColumns(*columns);
        if (!s.error.empty()) return fail(s.error);
        o.columns = std::move(s.columns);
    } else {
        o.columns = defaultColumns();
    }

    if (!o.plot.empty() && !endsWith(o.plot, ".png") && !endsWith(o.plot, ".svg"))
        return fail("plot: \"" + o.plot + "\" must end in .png or .svg");
    const bool plotting = !o.plot.empty();
    if (plotX) {
        if (*plotX == "pressure")
            o.plotX = PlotAxis::pressure;
        else if (*plotX == "temperature")
            o.plotX = PlotAxis::temperature;
        else
            return fail("plot-x: \"" + *plotX + "\" is neither pressure nor temperature");
        o.plotXGiven = true;
    }
    if (plotSize) {
        const auto x = plotSize->find('x');
        const auto w = x == std::string::npos ? std::nullopt : parseWhole(plotSize->substr(0, x), 16, 10000);
        const auto h = x == std::string::npos ? std::nullopt : parseWhole(plotSize->substr(x + 1), 16, 10000);
        if (!w || !h)
            return fail("plot-size: \"" + *plotSize + "\" is not WIDTHxHEIGHT in pixels (16 to 10000)");
        o.plotWidth = static_cast<int>(*w);
        o.plotHeight = static_cast<int>(*h);
    }
    if (!plotting && (plotX || plotSize || !o.plotMeasured.empty()))
        return fail("--plot-x, --plot-size and --plot-measured need --plot FILE.png|FILE.svg");

    if (threads) {
        const auto n = parseWhole(*threads, 1, 1024);
        if (!n) return fail("threads: \"" + *threads + "\" is not a whole number from 1 to 1024");
        o.threads = static_cast<unsigned>(*n);
    }

    // Guard the product: each list is bounded, but their product need not be.
    const long double total = static_cast<long double>(o.temperatures.size()) *
                              (o.curve != 0 ? 1 : o.pressures.size()) *
                              (o.molalities.empty() ? 1 : o.molalities.size());
    if (total > 1e10L) return fail("the grid has more than 10^10 points");
    return parsed;
}

std::string helpText() {
    std::string text = R"(Usage: co2table --temperature LIST (--pressure LIST | --curve N) [options]

Computes the CO2 solubility model of the calculator over a grid of state points and writes one
row per point: the inputs, every quantity of the calculator's report with its unit, the
calculator's warnings as 0/1 flags, and an error column. Values carry 17 significant digits,
the calculator's own values before its print templates round them.

Grid
  --temperature LIST   temperatures in C
  --pressure LIST      total pressures in MPa (0: the water saturation pressure)
  --curve N            take the pressure from phase-boundary curve N instead:
                         1 H2O(l)-CO2(l)-CO2(v)       -1.6 .. +31.48 C
                         2 Clathrate-H2O(l)-CO2(l)    +9.93 .. +20.0 C
                         3 Clathrate-H2O(l)-CO2(v)    -1.48 .. +9.93 C
                         4 H2O(l)-H2O(ice)-CO2(v)     -1.48 .. -0.125 C
                       a temperature outside the curve's range gives a row with an error
  --molality LIST      CO2 molalities (mol/kg) of the finite-concentration properties
                       (default: the solubility at each point; 0 means 1e-8)
  A LIST is comma-separated numbers and start:stop:step ranges, e.g. 0:100:5 or
  0.1,1,5,10:100:10; a range includes its stop when the steps land on it. Rows come in the
  order temperature, then pressure, then molality.

Output
  --format csv|tsv|json  (default csv, or from the --output file's extension)
  --output FILE        write the table to FILE (default: standard output)
  --columns a,b,c      only these columns, in this order (the error column is always kept)
  --threads N          worker threads (default: one per core)

Plot (needs gnuplot: apt-get install gnuplot-nox)
  --plot FILE.png|FILE.svg  draw the solubility (mol/kg) against pressure, one curve per
                       temperature; without --output no table is written
  --plot-x temperature  draw against temperature instead, one curve per pressure
  --plot-measured FILE.csv  overlay measured solubilities (columns T_C, P_MPa, m_CO2) and
                       print their mean absolute deviation from the model
  --plot-size WxH      image size in pixels (default 960x720)

  --help, --version

Exit status: 0 done (rows of failed points carry their error), 1 output or plot failed,
2 bad command line, 130 interrupted (an --output file is then not written).

Columns:
)";
    for (const Column& c : allColumns()) {
        std::string line = "  " + headerText(c);
        // Pad by characters, not bytes: the units hold UTF-8 symbols.
        std::size_t width = 0;
        for (unsigned char ch : line)
            width += (ch & 0xC0) != 0x80 ? 1 : 0;
        line.append(width < 24 ? 24 - width : 2, ' ');
        text += line + std::string(c.description) + "\n";
    }
    return text;
}

} // namespace co2::table
