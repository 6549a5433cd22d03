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
            r.points.push_back({static_cast<double>(t) * 5, p, 0.1 * p + 0.01, true});
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
    EXPECT_NE(s.find("$measured << EOD\n7 0.90000000000000002 2\n7 0.90000000000000002 99\nEOD"),
              std::string::npos)
        << s;
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
