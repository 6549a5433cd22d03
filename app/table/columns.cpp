#include "app/table/columns.h"

#include <array>

namespace co2::table {
namespace {

using co2::Dimension;

constexpr std::uint8_t v(Value value) {
    return static_cast<std::uint8_t>(value);
}
static_assert(kValueCount < 256, "a column index is a byte");
// The columns after the quantities: the warnings, the CO2 phase, the note and the error.
constexpr Column kTextColumns[] = {
    {"phase_CO2", "", "phase of pure CO2: gas, liquid or supercritical", ColumnKind::phase, 0},
    {"note", "", "why the solubility and solution columns are empty", ColumnKind::note, 0},
    {"error", "", "the runtime error of a point that failed, or why it was not computed", ColumnKind::error,
     0},
};

constexpr std::uint8_t bitPosition(unsigned bit) {
    std::uint8_t i = 0;
    while ((bit >> i) != 1u)
        ++i;
    return i;
}

constexpr auto kOtherColumns = [] {
    std::array<Column, kFlagColumnCount + std::size(kTextColumns)> columns{};
    std::size_t n = 0;
    for (const co2::FlagInfo& flag : co2::kFlags)
        if (co2::isWarningFlag(flag.bit))
            columns[n++] = {flag.name, "", flag.description, ColumnKind::flag, bitPosition(flag.bit)};
    for (const Column& c : kTextColumns)
        columns[n++] = c;
    return columns;
}();

// Every quantity of the model's table, then the other columns.
constexpr auto kColumns = [] {
    std::array<Column, kValueCount + std::size(kOtherColumns)> columns{};
    for (std::size_t i = 0; i < kValueCount; ++i)
        columns[i] = {kQuantities[i].name, kQuantities[i].unit, kQuantities[i].description, ColumnKind::value,
                      static_cast<std::uint8_t>(i)};
    for (std::size_t i = 0; i < std::size(kOtherColumns); ++i)
        columns[kValueCount + i] = kOtherColumns[i];
    return columns;
}();

const Column* errorColumn() {
    return &kColumns[std::size(kColumns) - 1];
}
const Column* noteColumn() {
    return &kColumns[std::size(kColumns) - 2];
}

bool isTemperature(const Column& c) {
    return c.kind == ColumnKind::value && c.index == v(Value::T_C);
}
Dimension dimensionOf(const Column& c) {
    return c.kind == ColumnKind::value ? co2::dimensionOf(kQuantities[c.index].unit) : Dimension::none;
}

} // namespace

std::span<const Column> allColumns() {
    return kColumns;
}

std::string_view co2PhaseName(Co2Phase phase) {
    switch (phase) {
    case Co2Phase::gas:
        return "gas";
    case Co2Phase::liquid:
        return "liquid";
    case Co2Phase::supercritical:
        return "supercritical";
    case Co2Phase::none:
        break;
    }
    return "";
}

std::string_view columnName(const Column& column, Units units) {
    if (isTemperature(column) && units.kelvin()) return "T_K";
    return column.name;
}

std::string_view columnUnit(const Column& column, Units units) {
    if (const co2::UnitInfo* unit = units.of(dimensionOf(column))) return unit->symbol;
    return column.unit;
}

std::string headerText(const Column& column, Units units) {
    std::string text(columnName(column, units));
    if (const std::string_view unit = columnUnit(column, units); !unit.empty()) {
        text += " [";
        text += unit;
        text += ']';
    }
    return text;
}

// The brine's columns and the CO2-rich phase's are chosen by name: a pure-water table keeps the
// columns it always had.
static bool byNameOnly(const Column& c) {
    if (c.kind == ColumnKind::value)
        return kQuantities[c.index].group == Group::brine || kQuantities[c.index].name == "y_H2O" ||
               kQuantities[c.index].name == "w_H2O_CO2phase";
    return c.kind == ColumnKind::flag &&
           ((1u << c.index) == co2::saltIndicative || (1u << c.index) == co2::outsideSolubilityModel);
}

std::vector<const Column*> defaultColumns() {
    std::vector<const Column*> columns;
    for (const Column& c : kColumns)
        if (!byNameOnly(c)) columns.push_back(&c);
    return columns;
}

ColumnSelection selectColumns(std::string_view list) {
    ColumnSelection selection;
    std::size_t begin = 0;
    while (begin <= list.size()) {
        std::size_t end = list.find(',', begin);
        if (end == std::string_view::npos) end = list.size();
        std::string_view name = list.substr(begin, end - begin);
        while (!name.empty() && name.front() == ' ')
            name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        begin = end + 1;
        const Column* found = nullptr;
        for (const Column& c : kColumns)
            if (c.name == name || (name == "T_K" && isTemperature(c))) found = &c;
        if (found == nullptr) {
            selection.columns.clear();
            selection.error = name.empty() ? "columns: empty column name in \"" + std::string(list) + "\""
                                           : "columns: unknown column \"" + std::string(name) + "\"";
            std::string known;
            for (const Column& c : kColumns)
                known += (known.empty() ? "" : ",") + std::string(c.name);
            selection.error += " (known: " + known + ")";
            return selection;
        }
        bool duplicate = false;
        for (const Column* c : selection.columns)
            duplicate = duplicate || c == found;
        if (duplicate) {
            selection.columns.clear();
            selection.error = "columns: \"" + std::string(name) + "\" is given twice";
            return selection;
        }
        selection.columns.push_back(found);
    }
    for (const Column* kept : {noteColumn(), errorColumn()}) {
        bool chosen = false;
        for (const Column* c : selection.columns)
            chosen = chosen || c == kept;
        if (!chosen) selection.columns.push_back(kept);
    }
    return selection;
}

} // namespace co2::table
