#include "app/table/plot.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace co2::table {
namespace {

TEST(Csv, SplitsQuotedFieldsAndLineEnds) {
    const std::string text = "a,\"b,c\",\"d \"\"e\"\"\"\r\n1,2,3\n\"multi\nline\",x";
    std::size_t pos = 0;
    EXPECT_EQ(csvRecord(text, pos), (std::vector<std::string>{"a", "b,c", "d \"e\""}));
    EXPECT_EQ(csvRecord(text, pos), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(csvRecord(text, pos), (std::vector<std::string>{"multi\nline", "x"}));
    EXPECT_EQ(pos, text.size());
}

TEST(Measured, ReadsTheProjectDataSet) {
    const MeasuredData d = readMeasured(CO2_DOCS_DIR "/data/co2_solubility_measured.csv");
    ASSERT_EQ(d.error, "");
    ASSERT_EQ(d.points.size(), 95U); // as its README states
    // First row: Teng et al. 1997, 4.85 C, 6.44 MPa, 1.67548 mol/kg.
    EXPECT_EQ(d.points[0].T_C, 4.85);
    EXPECT_EQ(d.points[0].P, 6.44);
    EXPECT_EQ(d.points[0].m, 1.67548);
    for (const MeasuredPoint& p : d.points) {
        EXPECT_GT(p.m, 0.1);
        EXPECT_LT(p.m, 3.0);
    }
}

TEST(Measured, RefusesAFileOverTheLimit) {
    if (!std::filesystem::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero";
    EXPECT_NE(readMeasured("/dev/zero", 1'000'000).error.find("longer than"), std::string::npos);
    const auto data = CO2_DOCS_DIR "/data/co2_solubility_measured.csv";
    EXPECT_EQ(readMeasured(data, 100).error.find("longer than"), 0U);
    EXPECT_EQ(readMeasured(data).error, "");
}

TEST(Measured, RefusesFilesItCannotUse) {
    EXPECT_NE(parseMeasured("T,P,m\n1,2,3\n").error.find("T_C, P_MPa and m_CO2"), std::string::npos);
    EXPECT_NE(parseMeasured("T_C,P_MPa,m_CO2\n1,2\n").error.find("line 2: too few"), std::string::npos);
    EXPECT_NE(parseMeasured("T_C,P_MPa,m_CO2\n1,2,3\n1,x,3\n").error.find("line 3"), std::string::npos);
    EXPECT_NE(parseMeasured("T_C,P_MPa,m_CO2\n1,-2,3\n").error.find("above 0"), std::string::npos);
    EXPECT_NE(parseMeasured("T_C,P_MPa,m_CO2\n").error.find("no measured"), std::string::npos);
    EXPECT_NE(readMeasured("/nonexistent/file.csv").error.find("cannot open"), std::string::npos);
    const MeasuredData ok = parseMeasured("\xEF\xBB\xBFnote,m_CO2,P_MPa,T_C\n\"a, b\",1.5,10,25\n\n");
    ASSERT_EQ(ok.error, "");
    ASSERT_EQ(ok.points.size(), 1U);
    EXPECT_EQ(ok.points[0].m, 1.5);
    EXPECT_EQ(ok.points[0].T_C, 25);
}

TEST(Deviation, IsTheMeanOfAbsoluteRelativeDeviationsOfComputedPoints) {
    const std::vector<MeasuredPoint> measured = {{25, 10, 1.0}, {25, 20, 2.0}, {50, 10, 1.0}};
    const std::vector<PlotPoint> model = {{25, 10, 1.1, true}, {25, 20, 1.9, true}, {50, 10, 7.0, false}};
    const Deviation d = meanAbsoluteDeviation(measured, model);
    EXPECT_EQ(d.used, 2U);
    EXPECT_NEAR(d.meanAbsolute_pct, 7.5, 1e-12); // (10 % + 5 %) / 2; the failed point is left out
}

// The script and the data sets of a request drawn into "out.png" from "data".
struct Program {
    std::string script;
    std::vector<std::string> sets;
};
Program program(const PlotRequest& r) {
    const GnuplotProgram g = gnuplotProgram(r, "out.png", "/tmp/data");
    Program p{g.script, {}};
    // Sets are parted by exactly two blank lines; a third would make an empty set that shifts
    // every later index.
    EXPECT_EQ(g.data.find("\n\n\n\n"), std::string::npos) << g.data;
    for (std::size_t begin = 0; begin < g.data.size();) {
        std::size_t end = g.data.find("\n\n\n", begin);
        end = end == std::string::npos ? g.data.size() : end + 1;
        p.sets.push_back(g.data.substr(begin, end - begin));
        begin = end + 2;
    }
    return p;
}

PlotRequest isotherms(std::size_t temperatures) {
    PlotRequest r;
    r.pressures = {1, 5, 10};
    for (std::size_t t = 0; t < temperatures; ++t) {
        r.temperatures.push_back(static_cast<double>(t) * 5);
        for (double p : r.pressures)
            r.points.push_back({static_cast<double>(t) * 5, p, 0.1 * p + 0.01, true, false});
    }
    return r;
}

TEST(PlotScript, DrawsOneCurvePerTemperatureWithLegendAndUnits) {
    PlotRequest r = isotherms(3);
    r.points[4].valid = false; // 5 C, 5 MPa failed: left out of its curve
    r.measured = {{5.2, 7, 0.9}, {70, 7, 0.9}};
    r.subtitle = "mean absolute deviation from 2 measured points: 1.00 %";
    const Program p = program(r);
    const std::string& s = p.script;
    // A relative name never starts with gnuplot's '|' or '<'; a quote inside is doubled.
    EXPECT_NE(s.find("set output './out.png'"), std::string::npos);
    EXPECT_NE(gnuplotProgram(r, "it's.png", "d").script.find("set output './it''s.png'"), std::string::npos);
    EXPECT_NE(s.find("points_file = '/tmp/data'"), std::string::npos);
    EXPECT_NE(s.find("set xlabel 'Pressure (MPa)'"), std::string::npos);
    EXPECT_NE(s.find("CO_2 solubility (mol/kg H_2O)"), std::string::npos);
    EXPECT_NE(s.find("points_file index 0 with lines lt 1 title '0 °C'"), std::string::npos) << s;
    EXPECT_NE(s.find("points_file index 2 with lines lt 3 title '10 °C'"), std::string::npos);
    ASSERT_EQ(p.sets.size(), 4U);
    EXPECT_EQ(p.sets[1], "1 0.11\n10 1.01\n");
    // The measured point at 5.2 C takes the colour of the 5 C curve; the one at 70 C matches none.
    EXPECT_EQ(p.sets[3], "7 0.9 2\n7 0.9 99\n");
    EXPECT_NE(s.find("points_file index 3 using 1:2:3 with points"), std::string::npos);
    EXPECT_NE(s.find("mean absolute deviation from 2 measured points: 1.00 %"), std::string::npos);
    // No datum in the commands: a gnuplot stopped half-way can never read one as a command.
    EXPECT_EQ(s.find("0.11"), std::string::npos);
    EXPECT_EQ(s.find("EOD"), std::string::npos);
}

// Another quantity than the solubility: its values drawn, its description and unit on the axis,
// gnuplot's markup characters in its name shown as they are.
TEST(PlotScript, AnotherQuantityIsDrawnWithItsOwnLabels) {
    PlotRequest r = isotherms(1);
    r.quantity = "y_H2O";
    r.quantityDescription = "mole fraction of water";
    r.quantityUnit = "-";
    const Program p = program(r);
    EXPECT_NE(p.script.find("set title \"y\\\\_H2O in water"), std::string::npos) << p.script;
    EXPECT_NE(p.script.find("set ylabel 'mole fraction of water'\n"), std::string::npos) << p.script;
    EXPECT_EQ(p.script.find("solubility"), std::string::npos);
    r.quantityUnit = "g/cm³";
    EXPECT_NE(program(r).script.find("set ylabel 'mole fraction of water (g/cm³)'"), std::string::npos);
    EXPECT_EQ(p.sets[0], program(isotherms(1)).sets[0]); // the same points, whatever the labels
}

// A second model's curves: dotted, each in the colour of the first model's curve of its
// temperature, one legend entry naming the model; a curve it lacks is left out.
TEST(PlotScript, ComparedModelIsDottedInItsCurvesColours) {
    PlotRequest r = isotherms(2);
    r.comparePoints = r.points;
    for (PlotPoint& p : r.comparePoints)
        p.y *= 2;
    r.comparePoints[0].valid = r.comparePoints[1].valid = r.comparePoints[2].valid = false; // no 0 C curve
    r.compareLabel = "spycher-pruess-2003";
    const Program p = program(r);
    EXPECT_NE(p.script.find("title 'spycher-pruess-2003'"), std::string::npos) << p.script;
    const std::size_t dotted = p.script.find("using 1:2:3 with lines lw 2 dt 3 lc variable notitle");
    ASSERT_NE(dotted, std::string::npos) << p.script;
    const std::size_t index = p.script.rfind("index ", dotted);
    const std::size_t set = std::stoul(p.script.substr(index + 6));
    ASSERT_LT(set, p.sets.size());
    EXPECT_EQ(p.sets[set], "1 0.22 2\n5 1.02 2\n10 2.02 2\n"); // the 5 C curve's colour, doubled values
    EXPECT_EQ(program(isotherms(2)).script.find("dt 3"), std::string::npos); // nothing without it
}

// Several brines: one curve per temperature and brine, the points taken brine-innermost as the
// table orders them; one brine titles the plot instead.
TEST(PlotScript, SeveralBrinesDrawOneCurveEach) {
    PlotRequest r;
    r.temperatures = {25, 50};
    r.pressures = {1, 10};
    r.brines = {"0 mol/kg NaCl", "2 mol/kg NaCl"};
    for (double t : r.temperatures)
        for (double p : r.pressures)
            for (double b : {0.0, 2.0})
                r.points.push_back({t, p, t / 100 + p - b, true, false});
    const Program p = program(r);
    EXPECT_NE(p.script.find("CO_2 solubility in brines"), std::string::npos);
    EXPECT_NE(p.script.find("title '25 °C, 0 mol/kg NaCl'"), std::string::npos) << p.script;
    ASSERT_EQ(p.sets.size(), 4U);
    EXPECT_EQ(p.sets[3], "1 -0.5\n10 8.5\n"); // 50 C in 2 mol/kg

    r.axis = PlotAxis::temperature;
    ASSERT_EQ(program(r).sets.size(), 4U);
    EXPECT_EQ(program(r).sets[1], "25 10.25\n50 10.5\n"); // 10 MPa, no salt

    PlotRequest one = isotherms(1);
    one.brines = {"NaCl mass fraction 0.1"};
    const std::string o = program(one).script;
    EXPECT_NE(o.find("CO_2 solubility in brine, NaCl mass fraction 0.1"), std::string::npos);
    EXPECT_NE(o.find("title '0 °C'"), std::string::npos);
}

TEST(PlotScript, ManyCurvesShareAColourScaleInsteadOfALegend) {
    PlotRequest r = isotherms(40);
    r.svg = true;
    const Program p = program(r);
    EXPECT_NE(p.script.find("set terminal svg size 960,720"), std::string::npos);
    EXPECT_NE(p.script.find("points_file index 0 using 1:2:3 with lines lw 2 lc palette"), std::string::npos);
    EXPECT_NE(p.script.find("set cblabel 'Temperature (°C)'"), std::string::npos);
    EXPECT_EQ(p.script.find(" title '"), std::string::npos);
    ASSERT_EQ(p.sets.size(), 1U); // one set, each curve ended by a single blank line
    EXPECT_TRUE(p.sets[0].starts_with("1 0.11 0\n5 0.51 0\n10 1.01 0\n\n1 0.11 5\n")) << p.sets[0];
}

TEST(PlotScript, AgainstTemperatureDrawsOneCurvePerPressure) {
    PlotRequest r = isotherms(40);
    r.axis = PlotAxis::temperature;
    const Program p = program(r);
    EXPECT_NE(p.script.find("set xlabel 'Temperature (°C)'"), std::string::npos);
    EXPECT_NE(p.script.find("title '1 MPa'"), std::string::npos);
    EXPECT_NE(p.script.find("title '10 MPa'"), std::string::npos);
    ASSERT_EQ(p.sets.size(), 3U);
    EXPECT_TRUE(p.sets[2].starts_with("0 1.01\n5 1.01\n"));
}

TEST(PlotScript, HydrateFieldIsDashedAndJoinsTheSolidPart) {
    PlotRequest r = isotherms(2); // 0 and 5 C at 1, 5, 10 MPa
    r.pressures = {1, 2, 3, 4, 5};
    r.points.clear();
    for (double t : {0.0, 5.0})
        for (double p : r.pressures)
            r.points.push_back({t, p, p / 10, true, t == 0 && p >= 3});
    r.points[3].valid = false; // 0 C, 4 MPa: an unusable point is skipped, not drawn
    const Program p = program(r);
    ASSERT_EQ(p.sets.size(), 3U); // 0 C solid and dashed, 5 C (outside the field) solid only
    EXPECT_EQ(p.sets[0], "1 0.1\n2 0.2\n");
    EXPECT_EQ(p.sets[1], "2 0.2\n3 0.3\n5 0.5\n");
    EXPECT_NE(p.script.find("points_file index 1 with lines lt 1 dt 2 notitle"), std::string::npos);
    EXPECT_NE(p.script.find("title 'CO_2 hydrate field'"), std::string::npos);
    EXPECT_EQ(program(isotherms(2)).script.find("hydrate"), std::string::npos);

    // A curve wholly in the field has no solid part, yet keeps its legend entry, and the sets
    // after it keep their indices.
    for (PlotPoint& pt : r.points)
        pt.hydrate = pt.T_C == 0;
    const Program all = program(r);
    ASSERT_EQ(all.sets.size(), 2U);
    EXPECT_NE(all.script.find("NaN with lines lt 1 title '0 °C'"), std::string::npos) << all.script;
    EXPECT_NE(all.script.find("points_file index 0 with lines lt 1 dt 2 notitle"), std::string::npos);
    EXPECT_NE(all.script.find("points_file index 1 with lines lt 2 title '5 °C'"), std::string::npos);

    // In the units of the command line: kelvin and bar in labels and titles.
    PlotRequest k = isotherms(1);
    k.units = {.pressure = co2::unitNamed(co2::Dimension::pressure, "bar"),
               .temperature = co2::unitNamed(co2::Dimension::temperature, "K")};
    k.temperatures = {273.15};
    const std::string ks = program(k).script;
    EXPECT_NE(ks.find("set xlabel 'Pressure (bar)'"), std::string::npos);
    EXPECT_NE(ks.find("title '273.15 K'"), std::string::npos);
}

TEST(PlotScript, OnePointGetsARangeAroundIt) {
    PlotRequest r;
    r.curve = 1;
    r.axis = PlotAxis::temperature;
    r.temperatures = {10};
    r.points = {{10, 4.5, 2, true, false}};
    const Program p = program(r);
    EXPECT_NE(p.script.find("set xrange [9:11]"), std::string::npos) << p.script;
    EXPECT_NE(p.script.find("set yrange [1.8:2.2]"), std::string::npos) << p.script;
    EXPECT_NE(p.script.find("points_file index 0 with points"), std::string::npos);
    EXPECT_EQ(p.sets, (std::vector<std::string>{"10 2\n"}));
    EXPECT_EQ(program(isotherms(2)).script.find("range ["), std::string::npos);
}

// Width and height from a PNG's IHDR chunk, which must come first.
std::pair<std::uint32_t, std::uint32_t> pngSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char h[24] = {};
    in.read(reinterpret_cast<char*>(h), sizeof h);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h), 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(h) + 12, 4), "IHDR");
    const auto be = [&](int i) {
        return (std::uint32_t{h[i]} << 24) | (std::uint32_t{h[i + 1]} << 16) |
               (std::uint32_t{h[i + 2]} << 8) | h[i + 3];
    };
    return {be(16), be(20)};
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Gnuplot, WritesPngAndSvgOfTheAskedSize) {
    const auto gnuplot = findGnuplot();
    if (!gnuplot) GTEST_SKIP() << "gnuplot is not installed";
    const auto dir = std::filesystem::temp_directory_path() / ("co2table_plot_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto never = [] { return false; };
    PlotRequest r = isotherms(3);
    r.file = (dir / "iso.png").string();
    r.width = 640;
    r.height = 480;
    ASSERT_EQ(drawPlot(r, *gnuplot, never).failure, "");
    EXPECT_EQ(pngSize(r.file), (std::pair<std::uint32_t, std::uint32_t>{640, 480}));

    r.file = (dir / "iso.svg").string();
    r.svg = true;
    ASSERT_EQ(drawPlot(r, *gnuplot, never).failure, "");
    const std::string svg = fileText(r.file);
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("width=\"640\" height=\"480\""), std::string::npos);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);

    const GnuplotRun bad = runGnuplot(*gnuplot, "this is not gnuplot\n", never);
    EXPECT_NE(bad.failure, "");
    EXPECT_NE(bad.messages.find("invalid command"), std::string::npos) << bad.messages;
    EXPECT_TRUE(runGnuplot(*gnuplot, "pause 30\n", [] { return true; }).interrupted);
    // Nothing but the two pictures is left: no temporary, in the directory or of the data.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);
    std::filesystem::remove_all(dir);
}

// A picture replaces the old file only once it is whole: a failed or interrupted gnuplot leaves
// the old one as it was, and no temporary.
TEST(Gnuplot, OldPictureStaysUnlessTheNewOneIsWhole) {
    const auto dir = std::filesystem::temp_directory_path() / ("co2table_keep_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    // A stand-in gnuplot: writes half a picture where it was told to, then fails or hangs.
    const auto standIn = [&](const std::string& name, const std::string& end) {
        const std::string path = (dir / name).string();
        std::ofstream(path) << "#!/bin/sh\nout=$(/bin/sed -n \"s/^set output '\\(.*\\)'$/\\1/p\")\n"
                               "printf PARTIAL > \"$out\"\n"
                            << end << "\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    };
    PlotRequest r = isotherms(2);
    r.file = (dir / "p.png").string();
    std::ofstream(r.file) << "OLD";
    const GnuplotRun failed = drawPlot(r, standIn("failing", "exit 3"), [] { return false; });
    EXPECT_EQ(failed.failure, "gnuplot failed with exit status 3");
    int polls = 0;
    const GnuplotRun stopped =
        drawPlot(r, standIn("hanging", "exec /bin/sleep 30"), [&] { return ++polls > 20; });
    EXPECT_TRUE(stopped.interrupted);
    EXPECT_EQ(fileText(r.file), "OLD");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 3); // p.png and the stand-ins
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace co2::table
