#include "app/table/writer.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>

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
    p.setFlag(Flag::pressureRange, true);
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
    ASSERT_EQ(c.size(), 3U);
    EXPECT_EQ(c[0]->name, "sol_m");
    EXPECT_EQ(c[1]->name, "T_C");
    EXPECT_EQ(c[2]->name, "error");
    EXPECT_EQ(pick("error,T_C").size(), 2U);
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
    s.clear();
    appendNumber(s, 0.1);
    EXPECT_EQ(s, "0.10000000000000001"); // %.17g, as printf gives it
}

TEST(Writer, CsvRowHasOneCellPerColumnAndFlagsAsDigits) {
    const RowWriter w(Format::csv, pick("T_C,P,warn_P,warn_T"), "1");
    EXPECT_EQ(w.header(), "T_C [°C],P [MPa],warn_P,warn_T,error\n");
    std::string row;
    w.appendRow(row, computedPoint(), true);
    EXPECT_EQ(row, "0.10000000000000001,0.20000000000000001,1,0,\n");
}

TEST(Writer, FailedPointKeepsItsInputsAndQuotesItsError) {
    PointResult p;
    p.values.fill(std::nan(""));
    p.value(Value::T_C) = 25;
    p.value(Value::P) = 10;
    p.error = "runtime error 5: Illegal function call, \"ln\"";
    const RowWriter csv(Format::csv, pick("T_C,P,m,sol_m,warn_m"), "1");
    std::string row;
    csv.appendRow(row, p, true);
    EXPECT_EQ(row, "25,10,,,,\"runtime error 5: Illegal function call, \"\"ln\"\"\"\n");

    const RowWriter tsv(Format::tsv, pick("T_C,sol_m"), "1");
    row.clear();
    p.error = "a\tb\nc";
    tsv.appendRow(row, p, true);
    EXPECT_EQ(row, "25\t\ta b c\n"); // a tab or line break would break the row apart
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
        text.find("\n    {\"T_C\": 0.10000000000000001, \"sol_m\": 2.7000000000000002, \"warn_P\": true, "
                  "\"error\": null},\n    {\"T_C\": -300, \"sol_m\": null, \"warn_P\": null, \"error\": "
                  "\"runtime error 5: Illegal function call\"}\n  ]\n}\n"),
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
    EXPECT_EQ(row, "\n    {\"T_C\": null, \"error\": \"non-finite result\"}");
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
