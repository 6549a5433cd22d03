#include "app/table/plot.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/table/output.h"
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

// Text that gnuplot's enhanced mode prints as it stands: its markup characters escaped, for a
// single-quoted string (one backslash) or a double-quoted one (two); quotes and backslashes in a
// double-quoted string are left out.
std::string enhancedText(std::string_view text, bool doubleQuoted = false) {
    std::string s;
    for (char ch : text) {
        if (doubleQuoted && (ch == '"' || ch == '\\')) continue;
        if (ch == '_' || ch == '^' || ch == '@' || ch == '&' || ch == '{' || ch == '}' || ch == '~')
            s += doubleQuoted ? "\\\\" : "\\";
        s += ch;
    }
    return s;
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

// One curve per temperature (isotherms), pressure (isobars) or the one curve, and per brine
// when the grid holds several: each brine's curve of a temperature is a series of its own.
std::vector<Series> buildSeries(const PlotRequest& r, const std::vector<PlotPoint>& points) {
    std::vector<Series> series;
    if (points.empty()) return series; // no compared model
    const std::size_t brines = std::max<std::size_t>(1, r.brines.size());
    const std::size_t pressures = r.curve != 0 ? 1 : r.pressures.size();
    const auto at = [&](std::size_t t, std::size_t p, std::size_t b) -> const PlotPoint& {
        return points[(t * pressures + p) * brines + b];
    };
    const auto titled = [&](std::string title, std::size_t b) {
        if (r.brines.size() > 1) title += (title.empty() ? "" : ", ") + r.brines[b];
        return title;
    };
    for (std::size_t b = 0; b < brines; ++b) {
        if (r.curve != 0) {
            Series s;
            s.title =
                titled("curve " + std::to_string(r.curve) + ": " + std::string(co2::curveName(r.curve)), b);
            for (std::size_t t = 0; t < r.temperatures.size(); ++t) {
                const PlotPoint& pt = at(t, 0, b);
                if (pt.valid)
                    s.xy.push_back({r.axis == PlotAxis::pressure ? pt.P : pt.T_C, pt.y, pt.hydrate});
            }
            series.push_back(std::move(s));
            continue;
        }
        const bool isotherms = r.axis == PlotAxis::pressure;
        const std::size_t curves = isotherms ? r.temperatures.size() : pressures;
        const std::size_t along = isotherms ? pressures : r.temperatures.size();
        for (std::size_t c = 0; c < curves; ++c) {
            Series s;
            s.key = isotherms ? r.temperatures[c] : r.pressures[c];
            s.title = titled(shortNumber(s.key) + " " +
                                 std::string(isotherms ? temperatureUnit(r.units) : pressureUnit(r.units)),
                             b);
            for (std::size_t i = 0; i < along; ++i) {
                const PlotPoint& pt = isotherms ? at(c, i, b) : at(i, c, b);
                if (pt.valid) s.xy.push_back({isotherms ? pt.P : pt.T_C, pt.y, pt.hydrate});
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
std::string part(const Series& s, bool hydrate, bool withKey) {
    std::ostringstream g;
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
    return g.str();
}

// The data file gnuplot reads, so that no datum is ever parsed as a command: data sets
// separated by two blank lines and addressed by their index; one blank line inside a set breaks
// its line.
class DataSets {
  public:
    // Adds a set of rows, blank lines breaking the curve; returns its index, or -1 for no rows.
    int add(const std::string& rows) {
        std::string set;
        bool gap = false;
        for (std::size_t begin = 0; begin < rows.size();) {
            std::size_t end = rows.find('\n', begin);
            if (end == std::string::npos) end = rows.size();
            if (end == begin) {
                gap = !set.empty(); // two blank lines in a row would end the set
            } else {
                if (gap) set += '\n';
                gap = false;
                set.append(rows, begin, end - begin).push_back('\n');
            }
            begin = end + 1;
        }
        if (set.empty()) return -1;
        if (count_ != 0) text_ += "\n\n";
        text_ += set;
        return count_++;
    }
    const std::string& text() const { return text_; }

  private:
    std::string text_;
    int count_ = 0;
};

// A set of the data file, or an empty sample for a set without rows (its legend entry stays).
std::string dataSet(int index) {
    return index < 0 ? std::string("NaN") : "points_file index " + std::to_string(index);
}

// gnuplot runs a file name that starts with '|' or '<' as a command; a relative name made to
// start with "./" never does.
std::string asFileName(const std::string& path) {
    return path.starts_with('/') ? path : "./" + path;
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
        sum += std::abs(model[i].y - measured[i].m) / measured[i].m;
        ++d.used;
    }
    d.meanAbsolute_pct = d.used == 0 ? 0 : 100 * sum / static_cast<double>(d.used);
    return d;
}

GnuplotProgram gnuplotProgram(const PlotRequest& r, const std::string& output, const std::string& dataFile) {
    DataSets data;
    const std::vector<Series> series = buildSeries(r, r.points);
    const std::vector<Series> compared = buildSeries(r, r.comparePoints);
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
    g << "set output " << quote(asFileName(output)) << "\n";
    g << "points_file = " << quote(asFileName(dataFile)) << "\n";
    g << "unset timestamp\n";
    if (r.quantity.empty())
        g << "set title \"CO_2 solubility in ";
    else
        g << "set title \"" << enhancedText(r.quantity, true) << " in ";
    if (r.brines.empty())
        g << "water";
    else if (r.brines.size() == 1)
        g << "brine, " << r.brines[0];
    else
        g << "brines";
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
    if (r.quantity.empty())
        g << "set ylabel 'CO_2 solubility (mol/kg H_2O)'\n";
    else
        g << "set ylabel "
          << quote(enhancedText(r.quantityDescription) +
                   (r.quantityUnit == "-" ? "" : " (" + enhancedText(r.quantityUnit) + ")"))
          << "\n";
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
    for (const std::vector<Series>* all : {&series, &compared})
        for (const Series& s : *all)
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
                const int set = data.add(number17(s.xy[0].x) + ' ' + number17(s.xy[0].y) + '\n');
                plots.push_back(dataSet(set) + " with points" + lt + (hydrate ? " pt 6" : "") + " title " +
                                quote(s.title));
                continue;
            }
            // A curve wholly inside the hydrate field keeps its legend entry through an empty sample.
            const int solid = data.add(part(s, false, false));
            plots.push_back(dataSet(solid) + " with lines" + lt + " title " + quote(s.title));
            if (hydrate)
                plots.push_back(dataSet(data.add(part(s, true, false))) + " with lines" + lt +
                                " dt 2 notitle");
        }
    } else {
        g << "set palette defined (0 '#313695', 1 '#4575b4', 2 '#74add1', 3 '#fdae61', 4 '#f46d43', 5 "
             "'#a50026')\n";
        g << "set cblabel " << quote(r.axis == PlotAxis::pressure ? tLabel : pLabel) << "\n";
        int sets[2] = {-1, -1};
        for (bool hydrate : {false, true}) {
            std::string rows;
            for (const Series& s : series) {
                if (hydrate && !hasHydrate(s)) continue;
                anyHydrate = anyHydrate || hydrate;
                rows += part(s, hydrate, true) + '\n';
            }
            sets[hydrate ? 1 : 0] = data.add(rows);
        }
        if (sets[0] >= 0)
            plots.push_back(dataSet(sets[0]) + " using 1:2:3 with lines lw 2 lc palette notitle");
        if (sets[1] >= 0)
            plots.push_back(dataSet(sets[1]) + " using 1:2:3 with lines lw 2 dt 2 lc palette notitle");
    }
    if (anyHydrate)
        plots.emplace_back("NaN with lines lw 2 dt 2 lc rgb '#000000' title 'CO_2 hydrate field'");
    // The other model's curves dotted, each in the colour of this model's curve of the same title;
    // one neutral legend entry names the model.
    if (!compared.empty()) {
        std::string rows;
        for (const Series& c : compared) {
            double z = 0;
            if (legend) {
                const auto same = std::find_if(series.begin(), series.end(),
                                               [&](const Series& s) { return s.title == c.title; });
                z = same == series.end() ? kUnmatchedLinetype
                                         : static_cast<double>(same - series.begin() + 1);
            } else {
                z = c.key;
            }
            for (const XY& p : c.xy)
                rows += number17(p.x) + ' ' + number17(p.y) + ' ' + number17(z) + '\n';
            rows += '\n';
        }
        plots.push_back(dataSet(data.add(rows)) +
                        (legend ? " using 1:2:3 with lines lw 2 dt 3 lc variable notitle"
                                : " using 1:2:3 with lines lw 2 dt 3 lc palette notitle"));
        plots.push_back("NaN with lines lw 2 dt 3 lc rgb '#000000' title " + quote(r.compareLabel));
    }
    if (!r.measured.empty()) {
        std::string rows;
        for (const MeasuredPoint& m : r.measured) {
            const double x = r.axis == PlotAxis::pressure ? m.P : m.T_C;
            double z = 0;
            if (legend) {
                const int s = matchingSeries(r, series, m);
                z = s < 0 ? kUnmatchedLinetype : s + 1;
            } else {
                z = r.axis == PlotAxis::pressure ? m.T_C : m.P;
            }
            rows += number17(x) + ' ' + number17(m.m) + ' ' + number17(z) + '\n';
        }
        const std::string measured = dataSet(data.add(rows));
        // Each measured point takes its curve's colour; the legend shows one neutral sample.
        plots.push_back(measured + (legend ? " using 1:2:3 with points pt 7 ps 1.2 lc variable notitle"
                                           : " using 1:2:3 with points pt 7 ps 1.2 lc palette notitle"));
        plots.emplace_back("NaN with points pt 7 ps 1.2 lc rgb '#000000' title 'measured'");
    }
    g << "plot ";
    for (std::size_t i = 0; i < plots.size(); ++i)
        g << (i ? ", \\\n     " : "") << plots[i];
    g << "\nunset output\n";
    return {g.str(), data.text()};
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

namespace {

// gnuplot's messages are kept to this many bytes: a broken script must not flood the terminal.
constexpr std::size_t kMaxMessageBytes = 16384;

// Feeds the script to gnuplot and collects what it says, until it ends or `interrupted` asks to
// stop; then gnuplot is killed. Returns the wait status, or -1 when interrupted.
int converse(pid_t pid, int scriptFd, int messageFd, const std::string& script, std::string& messages,
             const std::function<bool()>& interrupted) {
    std::size_t written = 0;
    ::fcntl(scriptFd, F_SETFL, ::fcntl(scriptFd, F_GETFL) | O_NONBLOCK);
    for (;;) {
        if (interrupted()) {
            ::kill(-pid, SIGKILL);
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return -1;
        }
        if (scriptFd >= 0 && written == script.size()) {
            ::close(scriptFd);
            scriptFd = -1;
        }
        if (messageFd < 0) {
            int status = 0;
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid) return status;
            if (done < 0 && errno != EINTR) return 0x7f00; // not ours any more: a failure
        }
        pollfd fds[2] = {{scriptFd, POLLOUT, 0}, {messageFd, POLLIN, 0}};
        // A short wait, so that an interrupt is seen soon even while gnuplot draws in silence.
        if (::poll(fds, 2, 50) <= 0) continue;
        if (scriptFd >= 0 && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t n = ::write(scriptFd, script.data() + written, script.size() - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
                written = script.size(); // gnuplot stopped reading; its status tells why
            }
        }
        if (messageFd >= 0 && (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
            char buffer[4096];
            const ssize_t n = ::read(messageFd, buffer, sizeof buffer);
            if (n > 0) {
                messages.append(buffer,
                                std::min(static_cast<std::size_t>(n),
                                         kMaxMessageBytes - std::min(kMaxMessageBytes, messages.size())));
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                ::close(messageFd);
                messageFd = -1;
            }
        }
    }
}

} // namespace

GnuplotRun runGnuplot(const std::string& gnuplot, const std::string& script,
                      const std::function<bool()>& interrupted) {
    GnuplotRun run;
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
        run.failure = std::string("cannot make a pipe: ") + std::strerror(errno);
        return run;
    }
    if (::pipe2(out, O_CLOEXEC) != 0) {
        run.failure = std::string("cannot make a pipe: ") + std::strerror(errno);
        ::close(in[0]);
        ::close(in[1]);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    // gnuplot's messages come back to this process, never straight to the terminal or into a
    // table on standard output.
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    // In a process group of its own gnuplot never gets the terminal's Ctrl+C: this process
    // decides, and kills it. Signals this process ignores are gnuplot's to take as usual (past a
    // file size limit it must die, not write a cut picture that looks whole).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGXFSZ);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    std::string program = gnuplot;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, gnuplot.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(in[0]);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(in[1]);
        ::close(out[0]);
        run.failure = "cannot start " + gnuplot + ": " + std::strerror(spawned);
        return run;
    }
    // A gnuplot that dies early must not take this process with it through SIGPIPE.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    const int status = converse(pid, in[1], out[0], script, run.messages, interrupted);
    ::sigaction(SIGPIPE, &previous, nullptr);
    if (status < 0) {
        run.interrupted = true;
        return run;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        run.failure =
            "gnuplot failed" + (WIFEXITED(status) ? " with exit status " + std::to_string(WEXITSTATUS(status))
                                                  : " (killed by signal " + std::to_string(WTERMSIG(status)) +
                                                        ": " + ::strsignal(WTERMSIG(status)) + ")");
    return run;
}

GnuplotRun drawPlot(const PlotRequest& request, const std::string& gnuplot,
                    const std::function<bool()>& interrupted) {
    GnuplotRun run;
    // The old picture stays until the new one is whole: gnuplot writes a temporary.
    Replacement picture(request.file, false);
    if (!picture.error().empty()) {
        run.failure = "cannot write it: " + picture.error();
        return run;
    }
    if (const int fd = picture.takeDescriptor(); fd >= 0) ::close(fd);
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
    TemporaryFile dataFile;
    std::string error;
    const int fd = dataFile.create(dir + "/co2table-plot-", 0600, false, error);
    if (fd < 0) {
        run.failure = "cannot make its data file in " + dir + ": " + error;
        return run;
    }
    const GnuplotProgram program = gnuplotProgram(request, picture.writePath(), dataFile.path());
    std::size_t written = 0;
    while (written < program.data.size()) {
        const ssize_t n = ::write(fd, program.data.data() + written, program.data.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    const int writeError = written == program.data.size() ? 0 : errno;
    if (::close(fd) != 0 || writeError != 0) {
        run.failure =
            "cannot write its data file in " + dir + ": " + std::strerror(writeError ? writeError : errno);
        return run;
    }
    run = runGnuplot(gnuplot, program.script, interrupted);
    if (!run.failure.empty() || run.interrupted) return run;
    struct stat st {};
    if (::stat(picture.writePath().c_str(), &st) != 0 || (S_ISREG(st.st_mode) && st.st_size == 0))
        run.failure = "gnuplot wrote nothing";
    else if (!picture.commit())
        run.failure = "cannot write it: " + picture.error();
    return run;
}

} // namespace co2::table
