#include "app/table/options.h"

#include <algorithm>
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
    ASSERT_EQ(o.columns.size(), 4U); // and note, error
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
    EXPECT_EQ(parse({"--temperature", "1", "--pressure", "1"}).options.columns.size(),
              defaultColumns().size());
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
    // No extension is CSV; a dot in a directory or a leading dot is not one.
    for (const char* name : {"table", "dir.v2/table", ".table", "-"})
        EXPECT_EQ(parse({"--temperature", "1", "--pressure", "1", "--output", name}).options.format,
                  Format::csv)
            << name;
    EXPECT_EQ(parse({"--temperature", "1", "--pressure", "1", "--output", "a.xlsx", "--format", "tsv"})
                  .options.format,
              Format::tsv);
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
        {{"--temperature", "1", "--pressure", "1", "--plot", "|touch pwned; cat >/dev/null #.png"},
         "plot: \"|touch pwned; cat >/dev/null #.png\" is not a file name"},
        {{"--temperature", "1", "--pressure", "1", "--plot", "  |cat > out #.svg"}, "is not a file name"},
        {{"--temperature", "1", "--pressure", "1", "--plot", "<cat #.png"}, "is not a file name"},
        {{"--temperature", "1", "--pressure", "1", "--plot", "a.png'\n!touch pwned\n'.png"},
         "control character"},
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

// Values that once reached a conversion to long before their range was checked, and values out
// of any sense: each is refused with a message that names it.
TEST(Options, RefusesHostileValuesNamingThem) {
    const std::vector<std::string> base = {"--temperature", "1", "--pressure", "1"};
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--threads", "1e19"}, "threads: \"1e19\""},
        {{"--threads", "-1e19"}, "threads: \"-1e19\""},
        {{"--threads", "2.5"}, "threads: \"2.5\""},
        {{"--curve", "1e300"}, "curve: \"1e300\""},
        {{"--curve", "-9e18"}, "curve: \"-9e18\""},
        {{"--plot", "a.png", "--plot-size", "1e30x10"}, "plot-size: \"1e30x10\""},
        {{"--plot", "a.png", "--plot-size", "10x-1e300"}, "plot-size: \"10x-1e300\""},
        {{"--molality", "-1"}, "molality: -1 mol/kg is negative"},
        {{"--molality", "0,1,-0.5"}, "molality: -0.5 mol/kg is negative"},
        {{"--pressure-unit", "bar", "--pressure", "-3"}, "pressure: -3 bar is negative"},
        {{"--temperature", "-274"}, "temperature: -274 °C is below absolute zero"},
        {{"--temperature-unit", "K", "--temperature", "-0.5"}, "temperature: -0.5 K is below absolute zero"},
        {{"--digits", "0"}, "digits: \"0\""},
        {{"--digits", "18"}, "digits: \"18\""},
        {{"--digits", "1e400"}, "digits: \"1e400\""},
        {{"--header", "yes"}, "header: \"yes\""},
        {{"--temperature-unit", "F"}, "temperature-unit: \"F\""},
        {{"--pressure-unit", "atm"}, "pressure-unit: \"atm\" is not one of MPa, bar, kPa, psi"},
        {{"--density-unit", "kg/l"}, "density-unit: \"kg/l\" is not one of g/cm3, kg/m3"},
        {{"--output", "t.xlsx"},
         "\"t.xlsx\" has the extension \".xlsx\", which is none of the formats csv, tsv, json"},
        {{"--output", "dir.v2/table.txt"}, "extension \".txt\""},
        {{"--temperature", "0:99.9:0.01", "--pressure", "1:1000:0.1", "--plot", "a.png"},
         "plot: the grid has 99820081 state points; a plot takes at most 1000000"},
        // Brines: the bad value, and for a charge imbalance both sums.
        {{"--ions", "Na=1,Cl=0.5"},
         "ions: charges do not balance: cations 1 eq/kg (Na + K + 2 Ca + 2 Mg), "
         "anions 0.5 eq/kg (Cl + 2 SO4)"},
        {{"--ions", "Na=1,Fe=1"}, "ions: \"Fe=1\" is not ION=MOLALITY"},
        {{"--ions", "Na=1,Cl"}, "ions: \"Cl\" is not ION=MOLALITY"},
        {{"--ions", "Na=1,Cl=1,"}, "ions: \"\" is not ION=MOLALITY"},
        {{"--ions", "Na=1,Na=1"}, "ions: Na is given twice"},
        {{"--ions", "Na=x,Cl=1"}, "ions: \"x\" is not a number (Na)"},
        {{"--ions", "Na=-1,Cl=-1"}, "ions: Na molality -1 mol/kg is negative"},
        {{"--ions", "Na=1,K=1,Cl=2", "--salt-model", "spycher-pruess-2010"}, "takes NaCl alone"},
        {{"--nacl", "1", "--ions", "Na=1,Cl=1"}, "exclude each other"},
        {{"--nacl", "1", "--nacl-mass-fraction", "0.1"}, "exclude each other"},
        {{"--nacl-mass-fraction", "1"}, "nacl-mass-fraction: NaCl mass fraction 1 is not between 0 and 1"},
        {{"--nacl-mass-fraction", "0.3"},
         "nacl-mass-fraction: NaCl mass fraction 0.3: NaCl 7.333177544050397 mol/kg "
         "is above the saturation of halite"},
        {{"--nacl", "1,2", "--plot", "a.png", "--plot-measured", "m.csv"},
         "give one brine with --plot-measured"},
        {{"--plot", "a.png", "--plot-quantity", "T_C"}, "plot-quantity: \"T_C\" is no quantity of the model"},
        {{"--plot-quantity", "y_H2O"}, "need --plot FILE.png|FILE.svg"},
        {{"--plot", "a.png", "--plot-compare", "duan-sun"}, "plot-compare: \"duan-sun\" is not one of own,"},
        {{"--plot", "a.png", "--plot-compare", "own"}, "is the table's own solubility model already"},
        {{"--plot-compare", "spycher-pruess-2003"}, "--plot-compare needs --plot"},
        {{"--plot", "a.png", "--plot-quantity", "y_H2O", "--plot-measured", "m.csv"},
         "only be set beside sol_m"},
    };
    for (const auto& [extra, message] : cases) {
        std::vector<std::string> args = extra;
        // The case's own temperature or pressure comes first; "given twice" would hide the point.
        for (std::size_t i = 0; i < base.size(); i += 2)
            if (std::find(extra.begin(), extra.end(), base[i]) == extra.end() &&
                !(base[i] == "--pressure" && std::find(extra.begin(), extra.end(), "--curve") != extra.end()))
                args.insert(args.end(), {base[i], base[i + 1]});
        const std::string error = errorOf(args);
        EXPECT_NE(error.find(message), std::string::npos) << "got: " << error << "\nwanted: " << message;
    }
}

TEST(Options, UnitsConvertAsTheDecimalsWouldAndKeepTheInputs) {
    const Options o =
        parse({"--temperature", "273.15:373.15:25", "--temperature-unit", "K", "--pressure", "0,1,2.5,1000",
               "--pressure-unit", "bar", "--digits", "6", "--header", "names", "--raw", "--output", "-"})
            .options;
    EXPECT_EQ(o.temperatures, (std::vector<double>{0, 25, 50, 75, 100}));
    EXPECT_EQ(o.temperaturesShown, (std::vector<double>{273.15, 298.15, 323.15, 348.15, 373.15}));
    EXPECT_EQ(o.pressures, (std::vector<double>{0, 0.1, 0.25, 100}));
    EXPECT_EQ(o.pressuresShown, (std::vector<double>{0, 1, 2.5, 1000}));
    EXPECT_EQ(o.style.digits, 6);
    EXPECT_EQ(o.style.header, HeaderStyle::names);
    EXPECT_TRUE(o.style.raw);
    EXPECT_TRUE(o.style.units.kelvin());
    EXPECT_EQ(o.output, "-");
    const PointSpec p = pointAt(o, 5); // 298.15 K, 1 bar
    EXPECT_EQ(p.point.temperature, 25);
    EXPECT_EQ(p.shownT, 298.15);
    EXPECT_EQ(p.point.pressure, 0.1);
    EXPECT_EQ(p.shownP, 1);
}

TEST(Options, PointsGoTemperatureThenPressureThenMolality) {
    const Options o = parse({"--temperature", "10,20", "--pressure", "1,2,3", "--molality", "0.5,1"}).options;
    ASSERT_EQ(pointCount(o), 12U);
    const PointSpec first = pointAt(o, 0);
    EXPECT_EQ(first.point.temperature, 10);
    EXPECT_EQ(first.point.pressure, 1);
    EXPECT_TRUE(first.molalityGiven());
    EXPECT_EQ(first.point.molality, 0.5);
    const PointSpec p = pointAt(o, 7); // 20 C, 1 MPa, second molality
    EXPECT_EQ(p.point.temperature, 20);
    EXPECT_EQ(p.point.pressure, 1);
    EXPECT_EQ(p.point.molality, 1);
    const PointSpec last = pointAt(o, 11);
    EXPECT_EQ(last.point.temperature, 20);
    EXPECT_EQ(last.point.pressure, 3);

    const Options c = parse({"--temperature", "0,5", "--curve", "1"}).options;
    EXPECT_EQ(pointCount(c), 2U);
    EXPECT_EQ(pointAt(c, 1).point.temperature, 5);
    EXPECT_EQ(pointAt(c, 1).point.curve, 1);
    EXPECT_FALSE(pointAt(c, 1).molalityGiven());
}

// The three spellings of a brine give the same axis of points; a mass fraction w is
// w / (M_NaCl (1 - w)) mol/kg, 0.1 -> 1.9011941780871402 (0.1 / (0.0584428 x 0.9)).
TEST(Options, BrinesByMolalityMassFractionOrIons) {
    const Options n = parse({"--temperature", "50", "--pressure", "10", "--nacl", "0,2"}).options;
    ASSERT_EQ(pointCount(n), 2U);
    EXPECT_EQ(pointAt(n, 1).point.brine.Na, 2);
    EXPECT_EQ(pointAt(n, 1).point.brine.Cl, 2);
    EXPECT_EQ(n.brineLabels, (std::vector<std::string>{"0 mol/kg NaCl", "2 mol/kg NaCl"}));

    const Options w = parse({"--temperature", "50", "--pressure", "10", "--nacl-mass-fraction", "0.1",
                             "--salt-model", "rumpf-1994"})
                          .options;
    ASSERT_EQ(w.brines.size(), 1U);
    EXPECT_NEAR(w.brines[0].Na, 1.9011941780871402, 1e-15);
    EXPECT_EQ(w.brines[0].Cl, w.brines[0].Na);
    EXPECT_EQ(w.brines[0].model, SaltModel::rumpf1994);
    EXPECT_EQ(w.brineLabels[0], "NaCl mass fraction 0.1");

    const Options i =
        parse({"--temperature", "50", "--pressure", "10", "--ions", "Na=1,Ca=0.5,Cl=2"}).options;
    ASSERT_EQ(i.brines.size(), 1U);
    const Brine& b = pointAt(i, 0).point.brine;
    EXPECT_EQ(std::vector<double>({b.Na, b.K, b.Ca, b.Mg, b.Cl, b.SO4}),
              std::vector<double>({1, 0, 0.5, 0, 2, 0}));
    EXPECT_EQ(i.brineLabels[0], "Na 1, Ca 0.5, Cl 2 mol/kg");
}

TEST(Options, HelpNamesEveryColumnAndTheGnuplotPackage) {
    const std::string help = helpText();
    for (const Column& c : allColumns())
        EXPECT_NE(help.find(headerText(c)), std::string::npos) << c.name;
    EXPECT_NE(help.find("apt-get install gnuplot-nox"), std::string::npos);
}

} // namespace
} // namespace co2::table
