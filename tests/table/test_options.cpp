#include "app/table/options.h"

#include <gtest/gtest.h>

#include "app/table/table.h"

namespace co2::table {
namespace {

ParsedOptions parse(std::vector<std::string> args) {
    return parseOptions(args);
}

std::string errorOf(std::vector<std::string> args) {
    return parseOptions(args).error;
}

TEST(Options, ReadsEveryFlagInBothSpellings) {
    const ParsedOptions p = parse({"--temperature",
                                   "0:10:5",
                                   "--pressure=0.1,10",
                                   "--molality",
                                   "0,1",
                                   "--format=tsv",
                                   "--output",
                                   "t.out",
                                   "--columns",
                                   "T_C,sol_m",
                                   "--plot",
                                   "a.svg",
                                   "--plot-x",
                                   "temperature",
                                   "--plot-measured",
                                   "m.csv",
                                   "--plot-size",
                                   "640x480",
                                   "--threads",
                                   "3"});
    ASSERT_EQ(p.error, "");
    const Options& o = p.options;
    EXPECT_EQ(o.temperatures, (std::vector<double>{0, 5, 10}));
    EXPECT_EQ(o.pressures, (std::vector<double>{0.1, 10}));
    EXPECT_EQ(o.molalities, (std::vector<double>{0, 1}));
    EXPECT_EQ(o.format, Format::tsv);
    EXPECT_EQ(o.output, "t.out");
    ASSERT_EQ(o.columns.size(), 3U);
    EXPECT_EQ(o.columns[1]->name, "sol_m");
    EXPECT_EQ(o.plot, "a.svg");
    EXPECT_EQ(o.plotX, PlotAxis::temperature);
    EXPECT_EQ(o.plotMeasured, "m.csv");
    EXPECT_EQ(o.plotWidth, 640);
    EXPECT_EQ(o.plotHeight, 480);
    EXPECT_EQ(o.threads, 3U);
    EXPECT_EQ(pointCount(o), 12U);

    EXPECT_TRUE(parse({"--help"}).options.help);
    EXPECT_TRUE(parse({"--version"}).options.version);
    EXPECT_EQ(parse({"--temperature", "1", "--curve", "3"}).options.curve, 3);
    EXPECT_EQ(parse({"--temperature", "1", "--pressure", "1"}).options.columns.size(), allColumns().size());
}

TEST(Options, FormatDefaultsToCsvOrFollowsTheOutputName) {
    EXPECT_EQ(parse({"--temperature", "1", "--pressure", "1"}).options.format, Format::csv);
    EXPECT_EQ(parse({"--temperature", "1", "--pressure", "1", "--output", "a.JSON"}).options.format,
              Format::json);
    EXPECT_EQ(parse({"--temperature", "1", "--pressure", "1", "--output", "a.tsv"}).options.format,
              Format::tsv);
    EXPECT_EQ(parse({"--temperature", "1", "--pressure", "1", "--output", "a.json", "--format", "csv"})
                  .options.format,
              Format::csv);
}

TEST(Options, RefusesBadCommandLinesWithAReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "--temperature is missing"},
        {{"--temperature", "1"}, "--pressure is missing"},
        {{"--temperature", "1", "--pressure", "1", "--curve", "1"}, "exclude each other"},
        {{"--temperature", "1", "--curve", "5"}, "not one of 1, 2, 3, 4"},
        {{"--temperature", "1", "--curve", "1.5"}, "not one of"},
        {{"--temperature", "x", "--pressure", "1"}, "temperature: \"x\" is not a number"},
        {{"--temperature", "1", "--pressure", "1:2:0"}, "pressure: range \"1:2:0\": the step is 0"},
        {{"--temperature", "1", "--pressure", "-1"}, "negative"},
        {{"--temperature", "1", "--pressure", "1", "--molality", "a"}, "molality:"},
        {{"--temperature", "1", "--pressure", "1", "--format", "xml"}, "unknown format \"xml\""},
        {{"--temperature", "1", "--pressure", "1", "--columns", "T_C,bogus"}, "unknown column \"bogus\""},
        {{"--temperature", "1", "--pressure", "1", "--plot", "a.jpg"}, "must end in .png or .svg"},
        {{"--temperature", "1", "--pressure", "1", "--plot-x", "temperature"}, "need --plot"},
        {{"--temperature", "1", "--pressure", "1", "--plot", "a.png", "--plot-x", "volume"}, "neither"},
        {{"--temperature", "1", "--pressure", "1", "--plot", "a.png", "--plot-size", "0x10"}, "WIDTHxHEIGHT"},
        {{"--temperature", "1", "--pressure", "1", "--plot", "a.png", "--plot-size", "640"}, "WIDTHxHEIGHT"},
        {{"--temperature", "1", "--pressure", "1", "--threads", "0"}, "threads:"},
        {{"--temperature", "1", "--temperature", "2", "--pressure", "1"}, "given twice"},
        {{"--temperature", "1", "--pressure", "1", "--bogus"}, "unknown option \"--bogus\""},
        {{"--temperature", "1", "--pressure", "1", "extra"}, "unexpected argument \"extra\""},
        {{"--temperature", "1", "--pressure"}, "--pressure needs a value"},
        {{"--temperature", "0:100:0.0001", "--pressure", "0:100:0.0001"}, "10^10"},
    };
    for (const auto& [args, message] : cases) {
        const std::string error = errorOf(args);
        EXPECT_NE(error.find(message), std::string::npos) << "got: " << error << "\nwanted: " << message;
    }
}

TEST(Options, PointsGoTemperatureThenPressureThenMolality) {
    const Options o = parse({"--temperature", "10,20", "--pressure", "1,2,3", "--molality", "0.5,1"}).options;
    ASSERT_EQ(pointCount(o), 12U);
    const PointSpec first = pointAt(o, 0);
    EXPECT_EQ(first.T_C, 10);
    EXPECT_EQ(first.P, 1);
    EXPECT_TRUE(first.molalityGiven);
    EXPECT_EQ(first.molality, 0.5);
    const PointSpec p = pointAt(o, 7); // 20 C, 1 MPa, second molality
    EXPECT_EQ(p.T_C, 20);
    EXPECT_EQ(p.P, 1);
    EXPECT_EQ(p.molality, 1);
    const PointSpec last = pointAt(o, 11);
    EXPECT_EQ(last.T_C, 20);
    EXPECT_EQ(last.P, 3);

    const Options c = parse({"--temperature", "0,5", "--curve", "1"}).options;
    EXPECT_EQ(pointCount(c), 2U);
    EXPECT_EQ(pointAt(c, 1).T_C, 5);
    EXPECT_EQ(pointAt(c, 1).curve, 1);
    EXPECT_FALSE(pointAt(c, 1).molalityGiven);
}

TEST(Options, HelpNamesEveryColumnAndTheGnuplotPackage) {
    const std::string help = helpText();
    for (const Column& c : allColumns())
        EXPECT_NE(help.find(headerText(c)), std::string::npos) << c.name;
    EXPECT_NE(help.find("apt-get install gnuplot-nox"), std::string::npos);
}

} // namespace
} // namespace co2::table
