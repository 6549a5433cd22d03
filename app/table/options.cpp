#include "app/table/options.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>

#include "app/table/ranges.h"
#include "model/brine.h"

namespace co2::table {
namespace {

bool endsWith(const std::string& s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    std::string tail = s.substr(s.size() - suffix.size());
    for (char& ch : tail)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return tail == suffix;
}

// The range and the integrality are checked on the double: converting 1e19 to long first would
// be undefined.
std::optional<long> parseWhole(const std::string& text, long low, long high) {
    const auto value = parseNumber(text);
    if (!value || !(*value >= static_cast<double>(low) && *value <= static_cast<double>(high)) ||
        std::trunc(*value) != *value)
        return std::nullopt;
    return static_cast<long>(*value);
}

std::string shown(double value) {
    return numberText(value);
}

// The texts of the options that take a value, as given; they are read once the whole command line
// is known, because the units change how the lists read.
struct Given {
    std::optional<std::string> temperature, pressure, curve, molality, format, output, columns, plot, plotX,
        plotMeasured, plotQuantity, plotCompare, plotSize, threads, digits, header, temperatureUnit,
        pressureUnit, densityUnit, nacl, naclMassFraction, ions, saltModel, solubilityModel;
};

// Options that take a value; the others are switches.
const std::map<std::string, std::optional<std::string> Given::*, std::less<>>& valueOptions() {
    static const std::map<std::string, std::optional<std::string> Given::*, std::less<>> names = {
        {"--temperature", &Given::temperature},
        {"--pressure", &Given::pressure},
        {"--curve", &Given::curve},
        {"--molality", &Given::molality},
        {"--nacl", &Given::nacl},
        {"--nacl-mass-fraction", &Given::naclMassFraction},
        {"--ions", &Given::ions},
        {"--salt-model", &Given::saltModel},
        {"--solubility-model", &Given::solubilityModel},
        {"--format", &Given::format},
        {"--output", &Given::output},
        {"--columns", &Given::columns},
        {"--plot", &Given::plot},
        {"--plot-x", &Given::plotX},
        {"--plot-measured", &Given::plotMeasured},
        {"--plot-quantity", &Given::plotQuantity},
        {"--plot-compare", &Given::plotCompare},
        {"--plot-size", &Given::plotSize},
        {"--threads", &Given::threads},
        {"--digits", &Given::digits},
        {"--header", &Given::header},
        {"--temperature-unit", &Given::temperatureUnit},
        {"--pressure-unit", &Given::pressureUnit},
        {"--density-unit", &Given::densityUnit}};
    return names;
}

// Each reader below returns the message for exit code 2, or an empty string.

std::string readArguments(const std::vector<std::string>& args, Options& o, Given& given) {
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
        if (name == "--raw") {
            o.style.raw = true;
            continue;
        }
        if (name == "--exact") {
            o.exact = true;
            continue;
        }
        const auto option = valueOptions().find(name);
        if (option == valueOptions().end()) {
            if (!name.starts_with("-")) return "unexpected argument \"" + name + "\"";
            return "unknown option \"" + name + "\"";
        }
        if (!value) {
            if (i + 1 >= args.size()) return name + " needs a value";
            value = args[++i];
        }
        std::optional<std::string>& slot = given.*(option->second);
        if (slot) return name + " is given twice";
        slot = std::move(value);
    }
    o.output = given.output.value_or("");
    o.plot = given.plot.value_or("");
    o.plotMeasured = given.plotMeasured.value_or("");
    return {};
}

std::string readUnits(const Given& given, Options& o) {
    const struct {
        const std::optional<std::string>& text;
        co2::Dimension dimension;
        std::string_view option;
        const co2::UnitInfo*& unit;
    } choices[] = {
        {given.temperatureUnit, co2::Dimension::temperature, "temperature-unit", o.units.temperature},
        {given.pressureUnit, co2::Dimension::pressure, "pressure-unit", o.units.pressure},
        {given.densityUnit, co2::Dimension::density, "density-unit", o.units.density}};
    for (const auto& c : choices) {
        if (!c.text) continue;
        c.unit = co2::unitNamed(c.dimension, *c.text);
        if (c.unit == nullptr)
            return std::string(c.option) + ": \"" + *c.text + "\" is not one of " +
                   co2::unitNames(c.dimension);
    }
    return {};
}

std::string readTemperatures(const Given& given, Options& o) {
    if (!given.temperature) return "--temperature is missing (try --help)";
    ParseResult t = parseValueList(*given.temperature, "temperature");
    if (!t.error.empty()) return t.error;
    o.temperaturesShown = std::move(t.values);
    o.temperatures.reserve(o.temperaturesShown.size());
    for (double v : o.temperaturesShown) {
        const double celsius = co2::fromUnit(v, *o.units.temperature);
        if (celsius < -273.15)
            return "temperature: " + shown(v) + " " + std::string(o.units.temperature->symbol) +
                   " is below absolute zero";
        o.temperatures.push_back(celsius);
    }
    return {};
}

// Either a phase-boundary curve or a list of pressures.
std::string readPressures(const Given& given, Options& o) {
    if (given.curve) {
        const auto n = parseWhole(*given.curve, 1, 4);
        if (!n) return "curve: \"" + *given.curve + "\" is not one of 1, 2, 3, 4";
        o.curve = static_cast<int>(*n);
        if (given.pressure) return "--pressure and --curve exclude each other: a curve gives the pressure";
        return {};
    }
    if (!given.pressure) return "--pressure is missing (or give --curve 1..4)";
    ParseResult p = parseValueList(*given.pressure, "pressure");
    if (!p.error.empty()) return p.error;
    o.pressuresShown = std::move(p.values);
    o.pressures.reserve(o.pressuresShown.size());
    for (double v : o.pressuresShown) {
        if (v < 0)
            return "pressure: " + shown(v) + " " + std::string(o.units.pressure->symbol) + " is negative";
        o.pressures.push_back(co2::fromUnit(v, *o.units.pressure));
    }
    return {};
}

std::string readMolalities(const Given& given, Options& o) {
    if (!given.molality) return {};
    ParseResult m = parseValueList(*given.molality, "molality");
    if (!m.error.empty()) return m.error;
    for (double v : m.values)
        if (v < 0) return "molality: " + shown(v) + " mol/kg is negative";
    o.molalities = std::move(m.values);
    return {};
}

// "Na=1,Cl=1": each ion once, by the names the library's brine takes.
std::string readIons(const std::string& text, co2::Brine& brine) {
    static const std::map<std::string, double co2::Brine::*, std::less<>> kIons = {
        {"Na", &co2::Brine::Na}, {"K", &co2::Brine::K},   {"Ca", &co2::Brine::Ca},
        {"Mg", &co2::Brine::Mg}, {"Cl", &co2::Brine::Cl}, {"SO4", &co2::Brine::SO4}};
    std::map<std::string, bool, std::less<>> seen;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const std::size_t end = std::min(text.find(',', begin), text.size());
        const std::string item = text.substr(begin, end - begin);
        const std::size_t eq = item.find('=');
        const auto ion = kIons.find(item.substr(0, eq));
        if (eq == std::string::npos || ion == kIons.end())
            return "ions: \"" + item + "\" is not ION=MOLALITY with ION one of Na, K, Ca, Mg, Cl, SO4";
        if (seen[ion->first]) return "ions: " + ion->first + " is given twice";
        seen[ion->first] = true;
        const auto value = parseNumber(item.substr(eq + 1));
        if (!value) return "ions: \"" + item.substr(eq + 1) + "\" is not a number (" + ion->first + ")";
        brine.*(ion->second) = *value;
        begin = end + 1;
    }
    return {};
}

std::string readBrine(const Given& given, Options& o) {
    if (given.saltModel && !co2::saltModelOfName(*given.saltModel, o.saltModel))
        return "salt-model: \"" + *given.saltModel +
               "\" is not one of duan-sun-2003, rumpf-1994, spycher-pruess-2010";
    if ((given.nacl ? 1 : 0) + (given.naclMassFraction ? 1 : 0) + (given.ions ? 1 : 0) > 1)
        return "--nacl, --nacl-mass-fraction and --ions exclude each other: give the brine one way";
    if (given.ions) {
        co2::Brine brine;
        brine.model = o.saltModel;
        if (std::string error = readIons(*given.ions, brine); !error.empty()) return error;
        if (std::string problem = co2::brineProblem(brine); !problem.empty()) return "ions: " + problem;
        o.brines.push_back(brine);
        std::string label;
        for (const auto& [ion, value] : {std::pair{"Na", brine.Na},
                                         {"K", brine.K},
                                         {"Ca", brine.Ca},
                                         {"Mg", brine.Mg},
                                         {"Cl", brine.Cl},
                                         {"SO4", brine.SO4}})
            if (value != 0) label += (label.empty() ? "" : ", ") + std::string(ion) + " " + shown(value);
        o.brineLabels.push_back(label + " mol/kg");
        return {};
    }
    const bool massFraction = given.naclMassFraction.has_value();
    if (!given.nacl && !massFraction)
        return given.saltModel ? "--salt-model needs --nacl, --nacl-mass-fraction or --ions" : "";
    const char* name = massFraction ? "nacl-mass-fraction" : "nacl";
    ParseResult s = parseValueList(massFraction ? *given.naclMassFraction : *given.nacl, name);
    if (!s.error.empty()) return s.error;
    for (double v : s.values) {
        if (massFraction) {
            if (std::string problem = co2::massFractionProblem(v); !problem.empty())
                return std::string(name) + ": " + problem;
        }
        const co2::Brine brine =
            co2::Brine::nacl(massFraction ? co2::naclMolalityOfMassFraction(v) : v, o.saltModel);
        if (std::string problem = co2::brineProblem(brine); !problem.empty())
            return std::string(name) + ": " + (massFraction ? "NaCl mass fraction " + shown(v) + ": " : "") +
                   problem;
        o.brines.push_back(brine);
        o.brineLabels.push_back(massFraction ? "NaCl mass fraction " + shown(v) : shown(v) + " mol/kg NaCl");
    }
    return {};
}

// How the numbers and the header are written.
std::string readStyle(const Given& given, Options& o) {
    if (given.digits) {
        const auto n = parseWhole(*given.digits, 1, 17);
        if (!n) return "digits: \"" + *given.digits + "\" is not a whole number from 1 to 17";
        o.style.digits = static_cast<int>(*n);
    }
    if (given.header) {
        if (*given.header == "units")
            o.style.header = HeaderStyle::units;
        else if (*given.header == "names")
            o.style.header = HeaderStyle::names;
        else if (*given.header == "none")
            o.style.header = HeaderStyle::none;
        else
            return "header: \"" + *given.header + "\" is not one of units, names, none";
    }
    o.style.units = o.units;
    return {};
}

// Without --format, the output file's extension names it; a name without one is CSV. Any other
// extension is refused rather than written as CSV under a name that promises something else.
std::string readFormat(const Given& given, Options& o) {
    if (given.format) {
        const auto f = parseFormat(*given.format);
        if (!f) return "format: unknown format \"" + *given.format + "\" (csv, tsv, json or csp11)";
        o.format = *f;
        // The simulator's table is a plain temperature-pressure grid of pure water.
        if (o.format == Format::csp11 && (o.curve != 0 || !o.brines.empty() || !o.molalities.empty()))
            return "format: csp11 takes --temperature and --pressure only (no --curve, brine or --molality)";
        return {};
    }
    const std::size_t slash = o.output.find_last_of('/');
    const std::string base = o.output.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return {};
    std::string extension = base.substr(dot + 1);
    for (char& ch : extension)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    const auto f = parseFormat(extension);
    if (!f)
        return "output: \"" + o.output + "\" has the extension \"." + base.substr(dot + 1) +
               "\", which is none of the formats csv, tsv, json (or give --format)";
    o.format = *f;
    return {};
}

std::string readSolubilityModel(const Given& given, Options& o) {
    if (!given.solubilityModel) return {};
    const auto model = co2::solubilityModelOfName(*given.solubilityModel);
    if (!model)
        return "solubility-model: \"" + *given.solubilityModel +
               "\" is not one of own, spycher-pruess-2003, spycher-pruess-2003-sw";
    o.solubilityModel = *model;
    return {};
}

std::string readPlotCompare(const Given& given, Options& o) {
    if (!given.plotCompare) return {};
    const auto model = co2::solubilityModelOfName(*given.plotCompare);
    if (!model)
        return "plot-compare: \"" + *given.plotCompare +
               "\" is not one of own, spycher-pruess-2003, spycher-pruess-2003-sw";
    if (*model == o.solubilityModel)
        return "plot-compare: \"" + *given.plotCompare + "\" is the table's own solubility model already";
    if (o.plot.empty()) return "--plot-compare needs --plot FILE.png|FILE.svg";
    o.plotCompare = *model;
    return {};
}

std::string readColumns(const Given& given, Options& o) {
    if (!given.columns) {
        o.columns = defaultColumns();
        if (!o.brines.empty()) { // a brine's table shows its own columns too
            o.columns.clear();
            for (const Column& c : allColumns())
                o.columns.push_back(&c);
        } else if (o.solubilityModel != co2::SolubilityModel::own) {
            // The second model's table shows the water content and its range flag too.
            ColumnSelection extra = selectColumns("y_H2O,warn_sol_model");
            auto at = o.columns.begin();
            while (at != o.columns.end() && (*at)->kind != ColumnKind::phase)
                ++at;
            for (const Column* c : extra.columns)
                if (c->kind == ColumnKind::value || c->kind == ColumnKind::flag)
                    at = o.columns.insert(at, c) + 1;
        }
        return {};
    }
    ColumnSelection s = selectColumns(*given.columns);
    if (!s.error.empty()) return s.error;
    o.columns = std::move(s.columns);
    return {};
}

std::string readPlot(const Given& given, Options& o) {
    if (!o.plot.empty() && !endsWith(o.plot, ".png") && !endsWith(o.plot, ".svg"))
        return "plot: \"" + o.plot + "\" must end in .png or .svg";
    // gnuplot reads an output name starting with '|' as a shell pipe (and '<' as a command to
    // read from), even after spaces; a line break would end the quoted name and start a command.
    const std::size_t first = o.plot.find_first_not_of(" \t");
    if (first != std::string::npos && (o.plot[first] == '|' || o.plot[first] == '<'))
        return "plot: \"" + o.plot + "\" is not a file name (gnuplot would run it as a command)";
    for (char ch : o.plot)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f)
            return "plot: \"" + o.plot + "\" holds a control character (a line break ends gnuplot's quoting)";
    if (given.plotX) {
        if (*given.plotX == "pressure")
            o.plotX = PlotAxis::pressure;
        else if (*given.plotX == "temperature")
            o.plotX = PlotAxis::temperature;
        else
            return "plot-x: \"" + *given.plotX + "\" is neither pressure nor temperature";
        o.plotXGiven = true;
    }
    if (given.plotSize) {
        const std::string& size = *given.plotSize;
        const auto x = size.find('x');
        const auto w = x == std::string::npos ? std::nullopt : parseWhole(size.substr(0, x), 16, 10000);
        const auto h = x == std::string::npos ? std::nullopt : parseWhole(size.substr(x + 1), 16, 10000);
        if (!w || !h) return "plot-size: \"" + size + "\" is not WIDTHxHEIGHT in pixels (16 to 10000)";
        o.plotWidth = static_cast<int>(*w);
        o.plotHeight = static_cast<int>(*h);
    }
    if (given.plotQuantity) {
        const std::size_t q = co2::quantityIndexOf(*given.plotQuantity);
        if (q == co2::kReportedCount || co2::kQuantities[q].group == co2::Group::input)
            return "plot-quantity: \"" + *given.plotQuantity +
                   "\" is no quantity of the model (see --columns)";
        o.plotQuantity = q;
    }
    if (o.plot.empty() && (given.plotX || given.plotSize || given.plotQuantity || !o.plotMeasured.empty()))
        return "--plot-x, --plot-size, --plot-quantity and --plot-measured need --plot FILE.png|FILE.svg";
    // The measured file holds solubilities; set beside another quantity they would mislead.
    if (!o.plotMeasured.empty() && co2::kQuantities[o.plotQuantity].name != "sol_m")
        return "plot-measured: the measured file holds solubilities; it can only be set beside sol_m";
    return {};
}

std::string readThreads(const Given& given, Options& o) {
    if (!given.threads) return {};
    const auto n = parseWhole(*given.threads, 1, 1024);
    if (!n) return "threads: \"" + *given.threads + "\" is not a whole number from 1 to 1024";
    o.threads = static_cast<unsigned>(*n);
    return {};
}

std::string checkGridSize(const Options& o) {
    // Guard the product: each list is bounded, but their product need not be.
    const long double total =
        static_cast<long double>(o.temperatures.size()) * (o.curve != 0 ? 1 : o.pressures.size()) *
        (o.brines.empty() ? 1 : o.brines.size()) * (o.molalities.empty() ? 1 : o.molalities.size());
    if (total > 1e10L) return "the grid has more than 10^10 points";
    // A measured point carries no salinity to say which brine's curve it belongs to.
    if (!o.plotMeasured.empty() && o.brines.size() > 1)
        return "plot-measured: the measured file gives no salinity; give one brine with --plot-measured";
    // A plot holds its points in memory until gnuplot draws them, and gnuplot would not draw
    // more usefully anyway.
    const std::size_t plotted = o.temperatures.size() * (o.curve != 0 ? 1 : o.pressures.size()) *
                                std::max<std::size_t>(1, o.brines.size());
    if (!o.plot.empty() && plotted > kMaxPlotPoints)
        return "plot: the grid has " + std::to_string(plotted) + " state points; a plot takes at most " +
               std::to_string(kMaxPlotPoints) + " (choose coarser steps, or drop --plot for the table)";
    return {};
}

} // namespace

std::size_t pointCount(const Options& o) {
    const std::size_t pressures = o.curve != 0 ? 1 : o.pressures.size();
    const std::size_t molalities = o.molalities.empty() ? 1 : o.molalities.size();
    const std::size_t salinities = o.brines.empty() ? 1 : o.brines.size();
    return o.temperatures.size() * pressures * salinities * molalities;
}

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    Given given;
    parsed.error = readArguments(args, parsed.options, given);
    if (!parsed.error.empty() || parsed.options.help || parsed.options.version) return parsed;
    // In this order: the first problem found is the one reported.
    for (const auto read :
         {readUnits, readTemperatures, readPressures, readMolalities, readBrine, readSolubilityModel,
          readStyle, readFormat, readColumns, readPlot, readPlotCompare, readThreads}) {
        parsed.error = read(given, parsed.options);
        if (!parsed.error.empty()) return parsed;
    }
    parsed.error = checkGridSize(parsed.options);
    return parsed;
}

std::string helpText() {
    std::string text = R"(Usage: co2table --temperature LIST (--pressure LIST | --curve N) [options]

Computes the CO2 solubility model of the calculator over a grid of state points and writes one
row per point: the inputs, every quantity of the calculator's report with its unit, the
calculator's warnings as 0/1 flags, the CO2 phase and hydrate labels, a note and an error
column. Numbers are the shortest text that reads back as the model's double, before any print
template rounds them. By default the model takes its fast double-precision path, which prints the
calculator's digits (sol_m 1.4527788439279832 at 25 C, 10 MPa); --exact takes the calculator's
extended arithmetic, its own values to the last bit (1.4527788439279663).

Grid
  --temperature LIST   temperatures (C, or K with --temperature-unit K)
  --pressure LIST      total pressures (MPa, or bar with --pressure-unit bar; 0: the water
                       saturation pressure)
  --curve N            take the pressure from phase-boundary curve N instead:
                         1 H2O(l)-CO2(l)-CO2(v)       -1.6 .. +31.48 C
                         2 Clathrate-H2O(l)-CO2(l)    +9.93 .. +20.0 C
                         3 Clathrate-H2O(l)-CO2(v)    -1.48 .. +9.93 C
                         4 H2O(l)-H2O(ice)-CO2(v)     -1.48 .. -0.125 C
                       a temperature outside the curve's range gives a row with an error
  --molality LIST      CO2 molalities (mol/kg) of the finite-concentration properties
                       (default: the solubility at each point; 0 means 1e-8)
  --temperature-unit C|K  unit of --temperature and of the temperature column (T_C or T_K)
  --pressure-unit MPa|bar|kPa|psi  unit of --pressure and of every pressure column (P,
                       f_H2O, f_CO2, kH; ln_kH stays the logarithm of kH in MPa)
  --density-unit g/cm3|kg/m3  unit of every density column (rho_H2O, rho_CO2, rho_sol)
  A LIST is comma-separated numbers and start:stop:step ranges, e.g. 0:100:5 or
  0.1,1,5,10:100:10; a range includes its stop when the steps land on it. Rows come in the
  order temperature, then pressure, then salinity, then molality.
  --nacl LIST          NaCl molalities (mol per kg of water) of a brine, up to 6.1; its
                       solubility is the pure-water one over gamma_salt, its solution
                       columns are empty (they assume a pure-water solvent); the table then
                       shows the brine's columns m_NaCl, gamma_salt and salt_indicative too
  --nacl-mass-fraction LIST  the same brines by NaCl mass fraction w (kg NaCl per kg of
                       brine, 0 <= w < 1): m_NaCl = w / (0.0584428 kg/mol x (1 - w))
  --ions Na=M,Cl=M,... one brine by its ion molalities (mol/kg water) of Na, K, Ca, Mg, Cl
                       and SO4, charges balanced; ions other than Na and Cl set
                       salt_indicative (m_NaCl is then the lesser of Na and Cl)
  --salt-model duan-sun-2003|rumpf-1994|spycher-pruess-2010  the salting-out model
  --solubility-model own|spycher-pruess-2003|spycher-pruess-2003-sw  the solubility model of
                       sol_x, sol_m, sol_g, w_CO2 and y_H2O: this model's own (default) or
                       Spycher-Pruess-Ennis-King 2003 with its Redlich-Kwong volume or with the
                       Span-Wagner volume of pure CO2; the second shows y_H2O and warn_sol_model
                       (outside 12-100 C or above 60 MPa) and leaves the solution columns empty
                       unless --molality is given

Output
  --format csv|tsv|json|csp11  (default csv, or from the --output file's extension: .csv, .tsv,
                       .json or none; any other extension is refused); csp11 writes the
                       SPE11 solubility table: header lines, then T [C], P [Pa], y_H2O, x_CO2
                       as %.11e, T outer, P inner; its min, max and count are the first, last
                       and number of the --temperature and --pressure values (e.g. 10:70:1
                       and 0.1:30:0.1 in MPa); x_CO2 and y_H2O from --solubility-model
  --output FILE        write the table to FILE (default, or -: standard output)
  --columns a,b,c      only these columns, in this order (note and error are always kept)
  --header units|names|none  CSV/TSV header: "sol_m [mol/kg]" (default), "sol_m", or none
  --digits N           N significant digits (1..17) instead of the shortest exact text
  --raw                fill the solubility and solution columns even where the note says
                       the model gives no usable solubility there
  --threads N          worker threads (default: one per core)
  --exact              the calculator's extended arithmetic: its numbers to the last bit
                       (default: the fast double path, which prints the same digits)

Plot (needs gnuplot: apt-get install gnuplot-nox)
  --plot FILE.png|FILE.svg  draw the solubility (mol/kg) against pressure, one curve per
                       temperature (and per brine when several are given); without --output
                       no table is written; points in the hydrate field are drawn dashed; at
                       most 1000000 state points
  --plot-x temperature  draw against temperature instead, one curve per pressure (and brine)
  --plot-quantity NAME  draw another quantity instead of sol_m (any column name, e.g. y_H2O)
  --plot-compare MODEL  draw the same curves by a second solubility model too, dotted (own,
                       spycher-pruess-2003, spycher-pruess-2003-sw)
  --plot-measured FILE.csv  overlay measured solubilities (columns T_C, P_MPa, m_CO2; at most
                       100 MB) and print their mean absolute deviation from the model
  --plot-size WxH      image size in pixels (default 960x720)

  --help, --version

Exit status: 0 done (rows of failed points carry their error), 1 output or plot failed (or
out of memory), 2 bad command line, 128+N after signal N: 129 hangup, 130 Ctrl+C, 143
terminated (an --output file is then not written).

Columns:
)";
    for (const Column& c : allColumns()) {
        std::string line = "  " + headerText(c);
        if (c.kind == ColumnKind::value && c.index == static_cast<std::uint8_t>(Value::T_C))
            line += " or T_K [K]";
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
