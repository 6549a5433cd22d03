#include "app/table/columns.h"

namespace co2::table {
namespace {

constexpr std::uint8_t v(Value value) {
    return static_cast<std::uint8_t>(value);
}
constexpr std::uint8_t f(Flag flag) {
    return static_cast<std::uint8_t>(flag);
}

constexpr std::string_view kJmolK = "J/(mol·K)";
constexpr std::string_view kJmol = "J/mol";
constexpr std::string_view kDensity = "g/cm³";
constexpr std::string_view kVolume = "cm³/mol";

constexpr Column kColumns[] = {
    {"T_C", "°C", "temperature", ColumnKind::value, v(Value::T_C)},
    {"P", "MPa", "total pressure (the water saturation pressure when 0 is given)", ColumnKind::value,
     v(Value::P)},
    {"rho_H2O", kDensity, "density of pure water", ColumnKind::value, v(Value::rho_H2O)},
    {"V_H2O", kVolume, "molar volume of pure water", ColumnKind::value, v(Value::V_H2O)},
    {"S_H2O", kJmolK, "molar entropy of pure water", ColumnKind::value, v(Value::S_H2O)},
    {"Cp_H2O", kJmolK, "isobaric molar heat capacity of pure water", ColumnKind::value, v(Value::Cp_H2O)},
    {"g_H2O", kJmol, "molar Gibbs energy of pure water", ColumnKind::value, v(Value::g_H2O)},
    {"h_H2O", kJmol, "molar enthalpy of pure water", ColumnKind::value, v(Value::h_H2O)},
    {"f_H2O", "MPa", "fugacity of pure water", ColumnKind::value, v(Value::f_H2O)},
    {"phi_H2O", "-", "fugacity coefficient of pure water", ColumnKind::value, v(Value::phi_H2O)},
    {"y_CO2_vap", "-", "mole fraction of CO2 in the vapour (rough estimate)", ColumnKind::value,
     v(Value::y_CO2_vap)},
    {"rho_CO2", kDensity, "density of pure CO2", ColumnKind::value, v(Value::rho_CO2)},
    {"V_CO2", kVolume, "molar volume of pure CO2", ColumnKind::value, v(Value::V_CO2)},
    {"S_CO2", kJmolK, "molar entropy of pure CO2", ColumnKind::value, v(Value::S_CO2)},
    {"Cp_CO2", kJmolK, "isobaric molar heat capacity of pure CO2", ColumnKind::value, v(Value::Cp_CO2)},
    {"g_CO2", kJmol, "molar Gibbs energy of pure CO2", ColumnKind::value, v(Value::g_CO2)},
    {"h_CO2", kJmol, "molar enthalpy of pure CO2", ColumnKind::value, v(Value::h_CO2)},
    {"f_CO2", "MPa", "fugacity of pure CO2", ColumnKind::value, v(Value::f_CO2)},
    {"phi_CO2", "-", "fugacity coefficient of pure CO2", ColumnKind::value, v(Value::phi_CO2)},
    {"kH", "MPa", "Henry constant of CO2", ColumnKind::value, v(Value::kH)},
    {"ln_kH", "-", "ln of the Henry constant in MPa", ColumnKind::value, v(Value::ln_kH)},
    {"Gaq", kJmol, "standard molar Gibbs energy of aqueous CO2", ColumnKind::value, v(Value::Gaq)},
    {"S2", kJmolK, "standard partial molar entropy of aqueous CO2", ColumnKind::value, v(Value::S2)},
    {"V2", kVolume, "standard partial molar volume of aqueous CO2", ColumnKind::value, v(Value::V2)},
    {"Cp2", kJmolK, "standard partial molar heat capacity of aqueous CO2", ColumnKind::value, v(Value::Cp2)},
    {"sol_x", "mol%", "CO2 solubility as mole percent", ColumnKind::value, v(Value::sol_x)},
    {"sol_m", "mol/kg", "CO2 solubility in mol per kg of water", ColumnKind::value, v(Value::sol_m)},
    {"sol_g", "g/kg", "CO2 solubility in g of CO2 per kg of water", ColumnKind::value, v(Value::sol_g)},
    {"m", "mol/kg", "CO2 molality of the finite-concentration properties", ColumnKind::value, v(Value::m)},
    {"gamma_CO2", "-", "activity coefficient of CO2 (molal scale)", ColumnKind::value, v(Value::gamma_CO2)},
    {"phi_osm", "-", "osmotic coefficient of water", ColumnKind::value, v(Value::phi_osm)},
    {"a_H2O", "-", "activity of water", ColumnKind::value, v(Value::a_H2O)},
    {"gamma_H2O", "-", "activity coefficient of water (mole-fraction scale)", ColumnKind::value,
     v(Value::gamma_H2O)},
    {"Sex_H2O", kJmolK, "excess entropy of water", ColumnKind::value, v(Value::Sex_H2O)},
    {"Cpex_H2O", kJmolK, "excess heat capacity of water", ColumnKind::value, v(Value::Cpex_H2O)},
    {"Sex_CO2", kJmolK, "excess entropy of CO2", ColumnKind::value, v(Value::Sex_CO2)},
    {"Cpex_CO2", kJmolK, "excess heat capacity of CO2", ColumnKind::value, v(Value::Cpex_CO2)},
    {"Vex", kVolume, "excess volume of the solution", ColumnKind::value, v(Value::Vex)},
    {"V_sol", kVolume, "volume of one mole of solution", ColumnKind::value, v(Value::V_sol)},
    {"rho_sol", kDensity, "density of the solution", ColumnKind::value, v(Value::rho_sol)},
    {"warn_T", "", "1 when the temperature is outside -1.48 .. 100 C", ColumnKind::flag,
     f(Flag::temperatureRange)},
    {"warn_P", "", "1 when the pressure is above 100 MPa", ColumnKind::flag, f(Flag::pressureRange)},
    {"warn_psat", "", "1 when the pressure is below the water saturation pressure (no liquid water)",
     ColumnKind::flag, f(Flag::belowSaturation)},
    {"warn_m", "", "1 when the molality is above the solubility", ColumnKind::flag, f(Flag::molality)},
    {"hydrate", "", "1 inside the CO2-clathrate stability field (phase curves 2 and 3)", ColumnKind::flag,
     f(Flag::hydrate)},
    {"phase_CO2", "", "phase of pure CO2: gas, liquid or supercritical", ColumnKind::phase, 0},
    {"note", "", "why the solubility and solution columns are empty", ColumnKind::note, 0},
    {"error", "", "the runtime error of a point that failed, or why it was not computed", ColumnKind::error,
     0},
};
static_assert(std::size(kColumns) == kValueCount + kFlagCount + 3);

constexpr bool columnsFollowTheirIndices() {
    for (std::size_t i = 0; i < kValueCount + kFlagCount; ++i) {
        const std::size_t expected = i < kValueCount ? i : i - kValueCount;
        if (kColumns[i].index != expected) return false;
    }
    return true;
}
static_assert(columnsFollowTheirIndices(), "column table out of step with Value/Flag");

const Column* errorColumn() {
    return &kColumns[std::size(kColumns) - 1];
}
const Column* noteColumn() {
    return &kColumns[std::size(kColumns) - 2];
}

bool isTemperature(const Column& c) {
    return c.kind == ColumnKind::value && c.index == v(Value::T_C);
}
bool isPressure(const Column& c) {
    return c.kind == ColumnKind::value && c.index == v(Value::P);
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
    if (isTemperature(column) && units.temperature == TemperatureUnit::kelvin) return "T_K";
    return column.name;
}

std::string_view columnUnit(const Column& column, Units units) {
    if (isTemperature(column) && units.temperature == TemperatureUnit::kelvin) return "K";
    if (isPressure(column) && units.pressure == PressureUnit::bar) return "bar";
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

bool isSolutionValue(Value value) {
    switch (value) {
    case Value::sol_x:
    case Value::sol_m:
    case Value::sol_g:
    case Value::m:
    case Value::gamma_CO2:
    case Value::phi_osm:
    case Value::a_H2O:
    case Value::gamma_H2O:
    case Value::Sex_H2O:
    case Value::Cpex_H2O:
    case Value::Sex_CO2:
    case Value::Cpex_CO2:
    case Value::Vex:
    case Value::V_sol:
    case Value::rho_sol:
        return true;
    default:
        return false;
    }
}

std::vector<const Column*> defaultColumns() {
    std::vector<const Column*> columns;
    for (const Column& c : kColumns)
        columns.push_back(&c);
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
