// The columns of a table: every quantity of the calculator's report, its warnings and the error.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/flags.h"
#include "model/quantities.h"
#include "model/units.h"

namespace co2::table {

// The numeric columns are the model's reported quantities (model/quantities.h), in their order;
// a point's values are indexed like that table. The quantities the tool's code names (the rest it
// handles only through the table):
consteval std::uint8_t quantity(std::string_view name) {
    const std::size_t index = co2::quantityIndexOf(name);
    if (index >= co2::kReportedCount) throw "no such quantity in the model's table";
    return static_cast<std::uint8_t>(index);
}
enum class Value : std::uint8_t {
    T_C = quantity("T_C"),
    P = quantity("P"),
    rho_H2O = quantity("rho_H2O"),
    f_CO2 = quantity("f_CO2"),
    phi_CO2 = quantity("phi_CO2"),
    kH = quantity("kH"),
    ln_kH = quantity("ln_kH"),
    sol_m = quantity("sol_m"),
    sol_g = quantity("sol_g"),
    m = quantity("m"),
    a_H2O = quantity("a_H2O"),
    gamma_H2O = quantity("gamma_H2O"),
    sol_x = quantity("sol_x"),
    y_H2O = quantity("y_H2O"),
};
inline constexpr std::size_t kValueCount = co2::kReportedCount;

// The library's warning flags (model/flags.h) are 0/1 columns; the column's index is the bit's
// position in the flags.
inline constexpr std::size_t kFlagColumnCount = [] {
    std::size_t n = 0;
    for (const co2::FlagInfo& f : co2::kFlags)
        if (co2::isWarningFlag(f.bit)) ++n;
    return n;
}();

// The phase of pure CO2 at a point, by the model's own equation of state and vapour-pressure curve.
enum class Co2Phase : std::uint8_t { none, gas, liquid, supercritical };
std::string_view co2PhaseName(Co2Phase phase);

// `phase` and `note` are text cells: the CO2 phase label, and why a point's solubility is left out.
enum class ColumnKind : std::uint8_t { value, flag, phase, note, error };

struct Column {
    std::string_view name; // what --columns takes
    std::string_view unit; // "" for flags and the error column; "-" for pure numbers
    std::string_view description;
    ColumnKind kind;
    std::uint8_t index; // into the values or flags of a point
};

// Every column, in default order (the error column last).
std::span<const Column> allColumns();

// One unit per kind of quantity for the whole table (model/units.h): every pressure, density and
// temperature column, and the inputs of the command line, are in it.
using co2::Units;

// The column's name and unit in the units chosen: the temperature column is T_C in C and T_K in K.
std::string_view columnName(const Column& column, Units units = {});
std::string_view columnUnit(const Column& column, Units units = {});

// The header cell: name, then the unit in brackets when it has one.
std::string headerText(const Column& column, Units units = {});

struct ColumnSelection {
    std::vector<const Column*> columns;
    std::string error; // empty on success
};

// Parses "--columns a,b,c" (T_K names the temperature column as well as T_C). The note and error
// columns are appended when they were not chosen, so that a failed or left-out point can never
// pass for an empty one.
ColumnSelection selectColumns(std::string_view list);
// Every column.
std::vector<const Column*> defaultColumns();

} // namespace co2::table
