#include "app/table/plot.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/table/ranges.h"
#include "app/table/writer.h"
#include "model/flags.h"

extern char** environ;

namespace co2::table {
namespace {

// Up to this many curves get a legend entry each; more are coloured by a scale instead.
constexpr std::size_t kMaxLegendCurves = 16;


// Sixteen distinguishable line colours (after the Tableau 20 palette, darker members first).
constexpr const char* kColours[kMaxLegendCurves] = {
    "#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd", "#8c564b", "#e377c2", "#7f7f7f",
    "#bcbd22", "#17becf", "#393b79", "#ad494a", "#637939", "#8c6d31", "#7b4173", "#3182bd"};
constexpr int kUnmatchedLinetype = 99;

// A gnuplot single-quoted string: nothing is special inside but the quote, written twice.
std::string quote(std::string_view text) {
    std::string s = "'";
    for (char ch : text) {
        if (ch == '\'') s += '\'';
        s += ch;
    }
    return s + "'";
}

std::string shortNumber(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

std::string number17(double v) {
    std::string s;
    appendNumber(s, v);
    return s;
}

struct XY {
    double x = 0, y = 0;
    bool hydrate = false;
    bool operator<(const XY& other) const { return x < other.x; }
};

struct Series {
    std::string title;
    double key = 0; // the temperature of an isotherm, the pressure of an isobar
    std::vector<XY> xy;
};

std::string_view temperatureUnit(const Units& u) {
    return u.temperature->symbol;
}
std::string_view pressureUnit(const Units& u) {
    return u.pressure->symbol;
}

std::vector<Series> buildSeries(const PlotRequest& r) {
    std::vector<Series> series;
    const auto xOf = [&](const PlotPoint& p) { return r.axis == PlotAxis::pressure ? p.P : p.T_C; };
    const auto add = [](Series& s, double x, const PlotPoint& p) {
        if (p.valid) s.xy.push_back({x, p.sol_m, p.hydrate});
    };
    if (r.curve != 0) {
        Series s;
        s.title = "curve " + std::to_string(r.curve) + ": " + std::string(co2::curveName(r.curve));
        for (const PlotPoint& p : r.points)
            add(s, xOf(p), p);
        series.push_back(std::move(s));
    } else if (r.axis == PlotAxis::pressure) {
        for (std::size_t t = 0; t < r.temperatures.size(); ++t) {
            Series s;
            s.key = r.temperatures[t];
            s.title = shortNumber(s.key) + " " + std::string(temperatureUnit(r.units));
            for (std::size_t p = 0; p < r.pressures.size(); ++p) {
                const PlotPoint& pt = r.points[t * r.pressures.size() + p];
                add(s, pt.P, pt);
            }
            series.push_back(std::move(s));
        }
    } else {
        for (std::size_t p = 0; p < r.pressures.size(); ++p) {
            Series s;
            s.key = r.pressures[p];
            s.title = shortNumber(s.key) + " " + std::string(pressureUnit(r.units));
            for (std::size_t t = 0; t < r.temperatures.size(); ++t) {
                const PlotPoint& pt = r.points[t * r.pressures.size() + p];
                add(s, pt.T_C, pt);
            }
            series.push_back(std::move(s));
        }
    }
    for (Series& s : series)
        std::stable_sort(s.xy.begin(), s.xy.end());
    std::erase_if(series, [](const Series& s) { return s.xy.empty(); });
    return series;
}

// Writes the points of one part of a series: outside the hydrate field (solid) or inside it
// (dashed). A point of the other part breaks the line with a blank record; the dashed part
// takes in its neighbours so that the two parts join.
void writePart(std::ostringstream& g, const Series& s, bool hydrate, bool withKey) {
    bool broken = true;
    for (std::size_t i = 0; i < s.xy.size(); ++i) {
        const bool neighbour = (i > 0 && s.xy[i - 1].hydrate) || (i + 1 < s.xy.size() && s.xy[i + 1].hydrate);
        const bool in = hydrate ? s.xy[i].hydrate || neighbour : !s.xy[i].hydrate;
        if (!in) {
            if (!broken) g << '\n';
            broken = true;
            continue;
        }
        g << number17(s.xy[i].x) << ' ' << number17(s.xy[i].y);
        if (withKey) g << ' ' << number17(s.key);
        g << '\n';
        broken = false;
    }
}

bool hasHydrate(const Series& s) {
    return std::any_of(s.xy.begin(), s.xy.end(), [](const XY& p) { return p.hydrate; });
}

// gnuplot warns of an empty range ("empty x range [10:10]") when every point has the same
// coordinate; such an axis gets a range around the value instead.
void widenFlatRange(std::ostringstream& g, const char* axis, double low, double high) {
    if (!(low == high) || !std::isfinite(low)) return;
    const double margin = low == 0 ? 1 : std::abs(low) * 0.1;
    g << "set " << axis << "range [" << number17(low - margin) << ":" << number17(high + margin) << "]\n";
}

// The series whose temperature (isotherms) or pressure (isobars) a measured point belongs to.
int matchingSeries(const PlotRequest& r, const std::vector<Series>& series, const MeasuredPoint& m) {
    if (r.curve != 0) return series.empty() ? -1 : 0;
    int best = -1;
    double bestDistance = 0;
    for (std::size_t i = 0; i < series.size(); ++i) {
        const double distance = r.axis == PlotAxis::pressure ? std::abs(series[i].key - m.T_C)
                                                             : std::abs(series[i].key - m.P) / m.P;
        const double tolerance = r.axis == PlotAxis::pressure ? 0.5 : 0.02; // 0.5 K, or 2 % in pressure
        if (distance <= tolerance && (best < 0 || distance < bestDistance)) {
            best = static_cast<int>(i);
            bestDistance = distance;
        }
    }
    return best;
}

std::string trim(const std::string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t'))
        --b;
    return s.substr(a, b - a);
}

} // namespace

std::vector<std::string> csvRecord(const std::string& text, std::size_t& pos) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    while (pos < text.size()) {
        const char ch = text[pos++];
        if (quoted) {
            if (ch == '"') {
                if (pos < text.size() && text[pos] == '"') {
                    fields.back() += '"';
                    ++pos;
                } else {
                    quoted = false;
                }
            } else {
                fields.back() += ch;
            }
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == ',') {
            fields.emplace_back();
        } else if (ch == '\n') {
            break;
        } else if (ch != '\r') {
            fields.back() += ch;
        }
    }
    return fields;
}

MeasuredData parseMeasured(const std::string& text) {
    MeasuredData data;
    std::size_t pos = 0;
    if (text.starts_with("\xEF\xBB\xBF")) pos = 3; // a byte-order mark from a spreadsheet
    const std::vector<std::string> header = csvRecord(text, pos);
    int cT = -1, cP = -1, cM = -1;
    for (std::size_t i = 0; i < header.size(); ++i) {
        const std::string name = trim(header[i]);
        if (name == "T_C") cT = static_cast<int>(i);
        if (name == "P_MPa") cP = static_cast<int>(i);
        if (name == "m_CO2") cM = static_cast<int>(i);
    }
    if (cT < 0 || cP < 0 || cM < 0) {
        data.error = "the header must name the columns T_C, P_MPa and m_CO2";
        return data;
    }
    const auto needed = static_cast<std::size_t>(std::max({cT, cP, cM}));
    for (int line = 2; pos < text.size(); ++line) {
        const std::vector<std::string> fields = csvRecord(text, pos);
        if (fields.size() == 1 && trim(fields[0]).empty()) continue; // blank line
        if (fields.size() <= needed) {
            data.error = "line " + std::to_string(line) + ": too few fields";
            data.points.clear();
            return data;
        }
        const auto t = parseNumber(fields[static_cast<std::size_t>(cT)]);
        const auto p = parseNumber(fields[static_cast<std::size_t>(cP)]);
        const auto m = parseNumber(fields[static_cast<std::size_t>(cM)]);
        if (!t || !p || !m || *p <= 0 || *m <= 0) {
            data.error =
                "line " + std::to_string(line) + ": T_C, P_MPa and m_CO2 must be numbers, P and m above 0";
            data.points.clear();
            return data;
        }
        data.points.push_back({*t, *p, *m});
    }
    if (data.points.empty()) data.error = "no measured points";
    return data;
}

MeasuredData readMeasured(const std::string& path, std::size_t limit) {
    MeasuredData data;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        data.error = "cannot open: " + std::string(std::strerror(errno));
        return data;
    }
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > limit) {
            data.error = "longer than " + std::to_string(limit / 1'000'000) + " MB; not a measured data set";
            return data;
        }
    }
    if (in.bad()) {
        data.error = "cannot read: " + std::string(std::strerror(errno));
        return data;
    }
    return parseMeasured(text);
}

Deviation meanAbsoluteDeviation(const std::vector<MeasuredPoint>& measured,
                                const std::vector<PlotPoint>& model) {
    Deviation d;
    double sum = 0;
    for (std::size_t i = 0; i < measured.size() && i < model.size(); ++i) {
        if (!model[i].valid) continue;
        sum += std::abs(model[i].sol_m - measured[i].m) / measured[i].m;
        ++d.used;
    }
    d.meanAbsolute_pct = d.used == 0 ? 0 : 100 * sum / static_cast<double>(d.used);
    return d;
}

std::string gnuplotScript(const PlotRequest& r) {
    const std::vector<Series> series = buildSeries(r);
    const bool legend = series.size() <= kMaxLegendCurves;
    const std::string tLabel = "Temperature (" + std::string(temperatureUnit(r.units)) + ")";
    const std::string pLabel = "Pressure (" + std::string(pressureUnit(r.units)) + ")";
    std::ostringstream g;
    g << "set encoding utf8\n";
    // Fixed terminal options, a named font rather than whatever "sans" resolves to among the
    // fonts installed, and no time stamp: the same request draws the same picture, to the byte.
    if (r.svg)
        g << "set terminal svg size " << r.width << "," << r.height
          << " fixed enhanced font 'DejaVu Sans,11' background '#ffffff'\n";
    else
        g << "set terminal pngcairo size " << r.width << "," << r.height
          << " enhanced font 'DejaVu Sans,11' background '#ffffff'\n";
    g << "set output " << quote(r.file) << "\n";
    g << "unset timestamp\n";
    g << "set title \"CO_2 solubility in water";
    if (!r.subtitle.empty()) {
        g << "\\n{/*0.8 ";
        for (char ch : r.subtitle)
            if (ch != '"' && ch != '\\' && ch != '{' && ch != '}' && ch != '_' && ch != '^' && ch != '@' &&
                ch != '&')
                g << ch;
        g << "}";
    }
    g << "\"\n";
    g << "set xlabel " << quote(r.axis == PlotAxis::pressure ? pLabel : tLabel) << "\n";
    g << "set ylabel 'CO_2 solubility (mol/kg H_2O)'\n";
    g << "set grid\nset key outside right top\n";
    g << "set linetype " << kUnmatchedLinetype << " lc rgb '#000000'\n";
    for (std::size_t i = 0; i < kMaxLegendCurves; ++i)
        g << "set linetype " << i + 1 << " lc rgb '" << kColours[i] << "' lw 2 pt 7\n";

    double xLow = INFINITY, xHigh = -INFINITY, yLow = INFINITY, yHigh = -INFINITY;
    const auto extend = [&](double x, double y) {
        xLow = std::min(xLow, x);
        xHigh = std::max(xHigh, x);
        yLow = std::min(yLow, y);
        yHigh = std::max(yHigh, y);
    };
    for (const Series& s : series)
        for (const XY& p : s.xy)
            extend(p.x, p.y);
    for (const MeasuredPoint& m : r.measured)
        extend(r.axis == PlotAxis::pressure ? m.P : m.T_C, m.m);
    widenFlatRange(g, "x", xLow, xHigh);
    widenFlatRange(g, "y", yLow, yHigh);

    std::vector<std::string> plots;
    bool anyHydrate = false;
    if (legend) {
        for (std::size_t i = 0; i < series.size(); ++i) {
            const Series& s = series[i];
            const std::string lt = " lt " + std::to_string(i + 1);
            const bool hydrate = hasHydrate(s);
            anyHydrate = anyHydrate || hydrate;
            if (s.xy.size() == 1) {
                g << "$s" << i << " << EOD\n";
                g << number17(s.xy[0].x) << ' ' << number17(s.xy[0].y) << '\n';
                g << "EOD\n";
                plots.push_back("$s" + std::to_string(i) + " with points" + lt + (hydrate ? " pt 6" : "") +
                                " title " + quote(s.title));
                continue;
            }
            g << "$s" << i << " << EOD\n";
            writePart(g, s, false, false);
            g << "EOD\n";
            plots.push_back("$s" + std::to_string(i) + " with lines" + lt + " title " + quote(s.title));
            if (hydrate) {
                g << "$h" << i << " << EOD\n";
                writePart(g, s, true, false);
                g << "EOD\n";
                plots.push_back("$h" + std::to_string(i) + " with lines" + lt + " dt 2 notitle");
            }
        }
    } else {
        g << "set palette defined (0 '#313695', 1 '#4575b4', 2 '#74add1', 3 '#fdae61', 4 '#f46d43', 5 "
             "'#a50026')\n";
        g << "set cblabel " << quote(r.axis == PlotAxis::pressure ? tLabel : pLabel) << "\n";
        for (bool hydrate : {false, true}) {
            g << (hydrate ? "$hgrid" : "$grid") << " << EOD\n";
            for (const Series& s : series) {
                if (hydrate && !hasHydrate(s)) continue;
                anyHydrate = anyHydrate || hydrate;
                writePart(g, s, hydrate, true);
                g << "\n";
            }
            g << "EOD\n";
        }
        plots.emplace_back("$grid using 1:2:3 with lines lw 2 lc palette notitle");
        if (anyHydrate) plots.emplace_back("$hgrid using 1:2:3 with lines lw 2 dt 2 lc palette notitle");
    }
    if (anyHydrate)
        plots.emplace_back("NaN with lines lw 2 dt 2 lc rgb '#000000' title 'CO_2 hydrate field'");
    if (!r.measured.empty()) {
        g << "$measured << EOD\n";
        for (const MeasuredPoint& m : r.measured) {
            const double x = r.axis == PlotAxis::pressure ? m.P : m.T_C;
            double z = 0;
            if (legend) {
                const int s = matchingSeries(r, series, m);
                z = s < 0 ? kUnmatchedLinetype : s + 1;
            } else {
                z = r.axis == PlotAxis::pressure ? m.T_C : m.P;
            }
            g << number17(x) << ' ' << number17(m.m) << ' ' << number17(z) << '\n';
        }
        g << "EOD\n";
        // Each measured point takes its curve's colour; the legend shows one neutral sample.
        plots.emplace_back(legend ? "$measured using 1:2:3 with points pt 7 ps 1.2 lc variable notitle"
                                  : "$measured using 1:2:3 with points pt 7 ps 1.2 lc palette notitle");
        plots.emplace_back("NaN with points pt 7 ps 1.2 lc rgb '#000000' title 'measured'");
    }
    g << "plot ";
    for (std::size_t i = 0; i < plots.size(); ++i)
        g << (i ? ", \\\n     " : "") << plots[i];
    g << "\nunset output\n";
    return g.str();
}

std::optional<std::string> findGnuplot() {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::nullopt;
    const std::string all = path;
    std::size_t begin = 0;
    while (begin <= all.size()) {
        std::size_t end = all.find(':', begin);
        if (end == std::string::npos) end = all.size();
        // An empty entry means the current directory.
        std::string candidate = end > begin ? all.substr(begin, end - begin) : std::string(".");
        candidate.append("/gnuplot");
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        begin = end + 1;
    }
    return std::nullopt;
}

std::string runGnuplot(const std::string& gnuplot, const std::string& script) {
    int fds[2];
    if (::pipe(fds) != 0) return std::string("cannot make a pipe: ") + std::strerror(errno);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    // gnuplot's messages go to our standard error, never into a table on standard output.
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string program = gnuplot;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, gnuplot.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[0]);
    if (spawned != 0) {
        ::close(fds[1]);
        return "cannot start " + gnuplot + ": " + std::strerror(spawned);
    }
    // A gnuplot that dies early must not take this process with it through SIGPIPE.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    std::size_t written = 0;
    while (written < script.size()) {
        const ssize_t n = ::write(fds[1], script.data() + written, script.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    ::close(fds[1]);
    ::sigaction(SIGPIPE, &previous, nullptr);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "gnuplot failed" + (WIFEXITED(status)
                                       ? " with exit status " + std::to_string(WEXITSTATUS(status))
                                       : std::string(" (killed by a signal)"));
    return "";
}

} // namespace co2::table
