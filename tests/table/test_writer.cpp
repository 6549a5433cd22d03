#include "app/table/writer.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <tuple>

#include "app/table/columns.h"

namespace co2::table {
namespace {

std::vector<const Column*> pick(std::string_view names) {
    ColumnSelection s = selectColumns(names);
    EXPECT_EQ(s.error, "");
    return s.columns;
}

PointResult computedPoint() {
    PointResult p;
    for (std::size_t i = 0; i < kValueCount; ++i)
        p.values[i] = 0.1 * static_cast<double>(i + 1);
    p.hasValues = true;
    p.setFlag(co2::warnPressure, true);
    return p;
}

TEST(Columns, HeaderCarriesTheReportUnits) {
    const auto all = allColumns();
    std::map<std::string_view, std::string> header;
    for (const Column& c : all)
        header[c.name] = headerText(c);
    EXPECT_EQ(header["T_C"], "T_C [°C]");
    EXPECT_EQ(header["P"], "P [MPa]");
    EXPECT_EQ(header["rho_H2O"], "rho_H2O [g/cm³]");
    EXPECT_EQ(header["V2"], "V2 [cm³/mol]");
    EXPECT_EQ(header["Gaq"], "Gaq [J/mol]");
    EXPECT_EQ(header["Cp_CO2"], "Cp_CO2 [J/(mol·K)]");
    EXPECT_EQ(header["warn_m"], "warn_m");
    EXPECT_EQ(all.back().name, "error");
}

TEST(Columns, SelectionKeepsOrderAndAlwaysTheErrorColumn) {
    const auto c = pick("sol_m,T_C");
    ASSERT_EQ(c.size(), 4U);
    EXPECT_EQ(c[0]->name, "sol_m");
    EXPECT_EQ(c[1]->name, "T_C");
    EXPECT_EQ(c[2]->name, "note");
    EXPECT_EQ(c[3]->name, "error");
    EXPECT_EQ(pick("error,T_C,note").size(), 3U);
    EXPECT_EQ(pick("T_K")[0]->name, "T_C"); // the temperature column under its kelvin name
    EXPECT_NE(selectColumns("T_C,nope").error.find("unknown column \"nope\""), std::string::npos);
    EXPECT_NE(selectColumns("T_C,nope").error.find("sol_m"), std::string::npos); // lists the known ones
    EXPECT_NE(selectColumns("T_C,T_C").error.find("twice"), std::string::npos);
    EXPECT_NE(selectColumns("T_C,").error.find("empty column"), std::string::npos);
}

TEST(Writer, NumbersRoundTripToTheSameDouble) {
    for (double v : {0.1, 1.0 / 3, -273.15, 1e-300, 6.02214076e23, 0.30000000000000004, 998.2071}) {
        std::string s;
        appendNumber(s, v);
        EXPECT_EQ(std::strtod(s.c_str(), nullptr), v) << s;
    }
    std::string s;
    appendNumber(s, 25);
    EXPECT_EQ(s, "25");
    // The shortest text that reads back the same, or N significant digits.
    const std::vector<std::tuple<double, int, std::string>> cases = {
        {0.1, 0, "0.1"},
        {0.30000000000000004, 0, "0.30000000000000004"},
        {1e308, 0, "1e+308"},
        {-273.15, 0, "-273.15"},
        {1.0 / 3, 0, "0.3333333333333333"},
        {1.0 / 3, 4, "0.3333"},
        {0.1, 17, "0.10000000000000001"},
        {123456, 3, "1.23e+05"},
        {INFINITY, 0, "inf"}};
    for (const auto& [value, digits, text] : cases)
        EXPECT_EQ(numberText(value, digits), text);
}

TEST(Writer, CsvRowHasOneCellPerColumnAndFlagsAsDigits) {
    const RowWriter w(Format::csv, pick("T_C,P,warn_P,warn_T"), "1");
    EXPECT_EQ(w.header(), "T_C [°C],P [MPa],warn_P,warn_T,note,error\n");
    std::string row;
    w.appendRow(row, computedPoint(), true);
    EXPECT_EQ(row, "0.1,0.2,1,0,,\n");
}

TEST(Writer, HeaderStylesAndUnitsOfTheCommandLine) {
    const auto columns = pick("T_C,P,sol_m,phase_CO2");
    const Units kelvinBar{.pressure = co2::unitNamed(co2::Dimension::pressure, "bar"),
                          .temperature = co2::unitNamed(co2::Dimension::temperature, "K")};
    const std::vector<std::pair<TableStyle, std::string>> cases = {
        {{}, "T_C [°C],P [MPa],sol_m [mol/kg],phase_CO2,note,error\n"},
        {{0, HeaderStyle::names, false, {}}, "T_C,P,sol_m,phase_CO2,note,error\n"},
        {{0, HeaderStyle::none, false, {}}, ""},
        {{0, HeaderStyle::units, false, kelvinBar}, "T_K [K],P [bar],sol_m [mol/kg],phase_CO2,note,error\n"},
        {{0, HeaderStyle::names, false, kelvinBar}, "T_K,P,sol_m,phase_CO2,note,error\n"},
    };
    for (const auto& [style, header] : cases)
        EXPECT_EQ(RowWriter(Format::csv, columns, "1", style).header(), header);
    const std::string json =
        RowWriter(Format::json, columns, "1", {0, HeaderStyle::none, false, kelvinBar}).header();
    EXPECT_NE(json.find("{\"name\": \"T_K\", \"unit\": \"K\""), std::string::npos) << json;
    EXPECT_NE(json.find("{\"name\": \"P\", \"unit\": \"bar\""), std::string::npos);

    // One unit per kind for every column of that kind; ln_kH stays the logarithm in MPa.
    const Units psiKg{.pressure = co2::unitNamed(co2::Dimension::pressure, "psi"),
                      .density = co2::unitNamed(co2::Dimension::density, "kg/m3")};
    EXPECT_EQ(RowWriter(Format::csv, pick("P,f_H2O,f_CO2,kH,ln_kH,rho_H2O,rho_CO2,rho_sol,V_H2O"), "1",
                        {0, HeaderStyle::units, false, psiKg})
                  .header(),
              "P [psi],f_H2O [psi],f_CO2 [psi],kH [psi],ln_kH [-],rho_H2O [kg/m³],rho_CO2 [kg/m³],"
              "rho_sol [kg/m³],V_H2O [cm³/mol],note,error\n");
}

// A point without liquid water or with a negative solubility keeps its pure-water, pure-CO2 and
// infinite-dilution values; the model leaves its solubility and solution values out (NaN), and
// those cells are empty (null) beside the note that says why.
TEST(Writer, ValuesTheModelLeavesOutAreEmptyBesideTheNote) {
    PointResult p = computedPoint();
    p.co2Phase = Co2Phase::supercritical;
    p.note = "negative solubility: outside the model's range";
    for (const char* name : {"sol_x", "sol_m", "sol_g", "m", "gamma_CO2", "rho_sol"})
        p.values[static_cast<std::size_t>(co2::quantityIndexOf(name))] = std::nan("");
    const auto columns = pick("T_C,rho_H2O,kH,Cp2,sol_x,sol_m,sol_g,m,gamma_CO2,rho_sol,phase_CO2");
    std::string row;
    RowWriter(Format::csv, columns, "1", {3, HeaderStyle::units, false, {}}).appendRow(row, p, true);
    EXPECT_EQ(row, "0.1,0.3,2,2.5,,,,,,,supercritical,negative solubility: outside the model's range,\n");
    row.clear();
    p.value(Value::m) = 2.9; // a given molality is an input and stays
    RowWriter(Format::json, pick("sol_m,m,phase_CO2"), "1", {3, HeaderStyle::units, false, {}})
        .appendRow(row, p, true);
    EXPECT_EQ(row, "\n    {\"sol_m\": null, \"m\": 2.9, \"phase_CO2\": \"supercritical\", \"note\": "
                   "\"negative solubility: outside the model's range\", \"error\": null}");
}

TEST(Writer, FailedPointKeepsItsInputsAndQuotesItsError) {
    PointResult p;
    p.values.fill(std::nan(""));
    p.value(Value::T_C) = 25;
    p.value(Value::P) = 10;
    p.error = "runtime error 5: Illegal function call, \"ln\"";
    const RowWriter csv(Format::csv, pick("T_C,P,m,sol_m,warn_m,phase_CO2"), "1");
    std::string row;
    csv.appendRow(row, p, true);
    EXPECT_EQ(row, "25,10,,,,,,\"runtime error 5: Illegal function call, \"\"ln\"\"\"\n");

    const RowWriter tsv(Format::tsv, pick("T_C,sol_m"), "1");
    row.clear();
    p.error = "a\tb\nc";
    tsv.appendRow(row, p, true);
    EXPECT_EQ(row, "25\t\t\ta b c\n"); // a tab or line break would break the row apart
}

TEST(Writer, JsonRowsAreObjectsWithNullForMissingValues) {
    const RowWriter w(Format::json, pick("T_C,sol_m,warn_P"), "1.2.3");
    std::string text = w.header();
    EXPECT_NE(text.find("\"version\": \"1.2.3\""), std::string::npos);
    EXPECT_NE(text.find("{\"name\": \"sol_m\", \"unit\": \"mol/kg\""), std::string::npos);
    w.appendRow(text, computedPoint(), true);
    PointResult failed;
    failed.values.fill(std::nan(""));
    failed.value(Value::T_C) = -300;
    failed.error = "runtime error 5: Illegal function call";
    w.appendRow(text, failed, false);
    text += w.footer();
    EXPECT_NE(
        text.find("\n    {\"T_C\": 0.1, \"sol_m\": 2.7, \"warn_P\": true, \"note\": null, "
                  "\"error\": null},\n    {\"T_C\": -300, \"sol_m\": null, \"warn_P\": null, \"note\": null, "
                  "\"error\": \"runtime error 5: Illegal function call\"}\n  ]\n}\n"),
        std::string::npos)
        << text;
}

TEST(Writer, JsonHasNoInfinities) {
    PointResult p = computedPoint();
    p.value(Value::T_C) = INFINITY;
    p.error = "non-finite result";
    const RowWriter w(Format::json, pick("T_C"), "1");
    std::string row;
    w.appendRow(row, p, true);
    EXPECT_EQ(row, "\n    {\"T_C\": null, \"note\": null, \"error\": \"non-finite result\"}");
}

TEST(Writer, EscapesJsonAndCsvText) {
    EXPECT_EQ(jsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
    EXPECT_EQ(csvField("plain"), "plain");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(parseFormat("json"), Format::json);
    EXPECT_FALSE(parseFormat("xml"));
    EXPECT_FALSE(parseFormat("CSV"));
}

} // namespace
} // namespace co2::table
