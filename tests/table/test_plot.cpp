#include "app/table/plot.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

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
    r.file = "it's.png";
    r.points[4].valid = false; // 5 C, 5 MPa failed: left out of its curve
    r.measured = {{5.2, 7, 0.9}, {70, 7, 0.9}};
    r.subtitle = "mean absolute deviation from 2 measured points: 1.00 %";
    const std::string s = gnuplotScript(r);
    EXPECT_NE(s.find("set output 'it''s.png'"), std::string::npos);
    EXPECT_NE(s.find("set xlabel 'Pressure (MPa)'"), std::string::npos);
    EXPECT_NE(s.find("CO_2 solubility (mol/kg H_2O)"), std::string::npos);
    EXPECT_NE(s.find("title '0 °C'"), std::string::npos);
    EXPECT_NE(s.find("title '10 °C'"), std::string::npos);
    EXPECT_NE(s.find("$s1 << EOD\n1 0.11\n10 1.01\nEOD"), std::string::npos) << s;
    // The measured point at 5.2 C takes the colour of the 5 C curve; the one at 70 C matches none.
    EXPECT_NE(s.find("$measured << EOD\n7 0.9 2\n7 0.9 99\nEOD"), std::string::npos) << s;
    EXPECT_NE(s.find("mean absolute deviation from 2 measured points: 1.00 %"), std::string::npos);
}

TEST(PlotScript, ManyCurvesShareAColourScaleInsteadOfALegend) {
    PlotRequest r = isotherms(40);
    r.file = "a.svg";
    r.svg = true;
    const std::string s = gnuplotScript(r);
    EXPECT_NE(s.find("set terminal svg size 960,720"), std::string::npos);
    EXPECT_NE(s.find("lc palette"), std::string::npos);
    EXPECT_NE(s.find("set cblabel 'Temperature (°C)'"), std::string::npos);
    EXPECT_EQ(s.find(" title '"), std::string::npos);
}

TEST(PlotScript, AgainstTemperatureDrawsOneCurvePerPressure) {
    PlotRequest r = isotherms(40);
    r.axis = PlotAxis::temperature;
    const std::string s = gnuplotScript(r);
    EXPECT_NE(s.find("set xlabel 'Temperature (°C)'"), std::string::npos);
    EXPECT_NE(s.find("title '1 MPa'"), std::string::npos);
    EXPECT_NE(s.find("title '10 MPa'"), std::string::npos);
    EXPECT_NE(s.find("$s2 << EOD\n0 1.01\n5 1.01\n"), std::string::npos);
    EXPECT_EQ(s.find("$s3"), std::string::npos);
}

TEST(PlotScript, HydrateFieldIsDashedAndJoinsTheSolidPart) {
    PlotRequest r = isotherms(2); // 0 and 5 C at 1, 5, 10 MPa
    r.pressures = {1, 2, 3, 4, 5};
    r.points.clear();
    for (double t : {0.0, 5.0})
        for (double p : r.pressures)
            r.points.push_back({t, p, p / 10, true, t == 0 && p >= 3});
    r.points[3].valid = false; // 0 C, 4 MPa: an unusable point is skipped, not drawn
    const std::string s = gnuplotScript(r);
    EXPECT_NE(s.find("$s0 << EOD\n1 0.1\n2 0.2\n\nEOD"), std::string::npos) << s;
    EXPECT_NE(s.find("$h0 << EOD\n2 0.2\n3 0.3\n5 0.5\nEOD"), std::string::npos) << s;
    EXPECT_NE(s.find("$h0 with lines lt 1 dt 2 notitle"), std::string::npos);
    EXPECT_EQ(s.find("$h1"), std::string::npos); // 5 C lies outside the field
    EXPECT_NE(s.find("title 'CO_2 hydrate field'"), std::string::npos);
    EXPECT_EQ(gnuplotScript(isotherms(2)).find("hydrate"), std::string::npos);

    // In the units of the command line: kelvin and bar in labels and titles.
    PlotRequest k = isotherms(1);
    k.units = {.pressure = co2::unitNamed(co2::Dimension::pressure, "bar"),
               .temperature = co2::unitNamed(co2::Dimension::temperature, "K")};
    k.temperatures = {273.15};
    const std::string ks = gnuplotScript(k);
    EXPECT_NE(ks.find("set xlabel 'Pressure (bar)'"), std::string::npos);
    EXPECT_NE(ks.find("title '273.15 K'"), std::string::npos);
}

TEST(PlotScript, OnePointGetsARangeAroundIt) {
    PlotRequest r;
    r.curve = 1;
    r.axis = PlotAxis::temperature;
    r.temperatures = {10};
    r.points = {{10, 4.5, 2, true, false}};
    const std::string s = gnuplotScript(r);
    EXPECT_NE(s.find("set xrange [9:11]"), std::string::npos) << s;
    EXPECT_NE(s.find("set yrange [1.8:2.2]"), std::string::npos) << s;
    EXPECT_NE(s.find("with points"), std::string::npos);
    EXPECT_EQ(gnuplotScript(isotherms(2)).find("range ["), std::string::npos);
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

TEST(Gnuplot, WritesPngAndSvgOfTheAskedSize) {
    const auto gnuplot = findGnuplot();
    if (!gnuplot) GTEST_SKIP() << "gnuplot is not installed";
    const auto dir = std::filesystem::temp_directory_path() / ("co2table_plot_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    PlotRequest r = isotherms(3);
    r.file = (dir / "iso.png").string();
    r.width = 640;
    r.height = 480;
    ASSERT_EQ(runGnuplot(*gnuplot, gnuplotScript(r)), "");
    EXPECT_EQ(pngSize(r.file), (std::pair<std::uint32_t, std::uint32_t>{640, 480}));

    r.file = (dir / "iso.svg").string();
    r.svg = true;
    ASSERT_EQ(runGnuplot(*gnuplot, gnuplotScript(r)), "");
    std::ifstream in(r.file);
    const std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("width=\"640\" height=\"480\""), std::string::npos);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);

    EXPECT_NE(runGnuplot(*gnuplot, "this is not gnuplot\n"), "");
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace co2::table
