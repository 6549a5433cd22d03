// The calculator's report layout: for each quantity the report shows, its template, its labels
// and place on the screen row, its file line and the statement numbers an error box names. The
// quantities themselves (name, unit, description, value) are the model's table; this one only
// says how the report prints them, so the library can carry quantities the report never shows.
//
// Lines are in report order: the file report writes them in this order, one line each, and the
// screen report in this order too, several to a row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/quantities.h"

namespace co2 {

// The block of the report a quantity is printed in; each block is formed and printed as a whole,
// screen first, then file (except the state point, which only the file shows).
enum class ReportBlock : std::uint8_t {
    statePoint, // the file report's first lines
    water,
    vapour, // the rough vapour composition, a line of its own after the water block
    co2,
    dilution,
    solubility,
    molality, // completes the file's " At finite concentration =  " line
    solution,
};

// Where a quantity stands on its screen row.
enum class ScreenPlace : std::uint8_t {
    none,     // not on the screen
    here,     // where the cursor is: the start of a row or directly after the last value
    column40, // in the second half of a row, after moving to column 40
};

// The screen: place, label (may be empty), whether the value ends its row, and the statement that
// ends the row (0 while the row goes on).
struct ScreenSlot {
    ScreenPlace place = ScreenPlace::none;
    std::string_view label;
    bool endsRow = false;
    std::uint32_t statement = 0;
};

// The file: one line, label then number; the statement that writes it.
struct FileLine {
    std::string_view label;
    std::uint32_t statement = 0;
};

struct ReportLine {
    std::string_view name; // the quantity of the model's table
    ReportBlock block;
    std::string_view picture; // the template, on the screen and in the file alike
    bool extended;            // printed through the extended path (a value formed from an exponential)
    ScreenSlot screen;
    FileLine file;
    // The statement in which the report forms the value before printing its block (0: forming it
    // cannot raise an error and needs no statement of its own).
    std::uint32_t valueStatement;
};

namespace detail {
constexpr ScreenPlace kHere = ScreenPlace::here;
constexpr ScreenPlace kCol40 = ScreenPlace::column40;
using B = ReportBlock;
} // namespace detail

// clang-format off
inline constexpr ReportLine kReportLines[] = {
    // name, block, picture, extended, {screen place, label, ends row, statement},
    //   {file label, statement}, value statement
    {"T_C", detail::B::statePoint, " ###.###", false, {}, {" Temperature (in C) = ", 10178}, 0},
    {"P", detail::B::statePoint, " ###.###### ", false, {}, {" Total Pressure (in MPa) = ", 10182}, 0},

    {"rho_H2O", detail::B::water, " ##.#########", false, {detail::kHere, "    d(H2O) = ", false, 0},
     {"    d(H2O) = ", 10186}, 0},
    {"V_H2O", detail::B::water, " #######.####", false, {detail::kCol40, "    V(H2O) =", true, 10164},
     {"    V(H2O) =", 10188}, 0},
    {"S_H2O", detail::B::water, " ######.##### ", false, {detail::kHere, "    S(H2O) = ", false, 0},
     {"    S(H2O) = ", 10190}, 0},
    {"Cp_H2O", detail::B::water, " #####.###### ", false, {detail::kCol40, "   Cp(H2O) = ", true, 10168},
     {"   Cp(H2O) = ", 10192}, 0},
    {"g_H2O", detail::B::water, " ########.### ", false, {detail::kHere, "    g(H2O) = ", false, 0},
     {"    g(H2O) = ", 10194}, 0},
    {"h_H2O", detail::B::water, " ########.### ", false, {detail::kCol40, "    h(H2O) = ", true, 10172},
     {"    h(H2O) = ", 10196}, 0},
    {"f_H2O", detail::B::water, " #######.#### ", true, {detail::kHere, "    f(H2O) = ", false, 0},
     {"    f(H2O) = ", 10198}, 10153},
    {"phi_H2O", detail::B::water, " ####.######## ", true,
     {detail::kHere, "       fugacity Coeff. =", true, 10175},
     {"    fugacity Coeff. =", 10200}, 10155},

    {"y_CO2_vap", detail::B::vapour, " ##.#### ", false,
     {detail::kHere, " Mole fraction of CO2 in vapour phase (rough estimate) = ", true, 10206},
     {" Mole fraction of CO2 in vapour phase (rough estimate) = ", 10210}, 0},

    {"rho_CO2", detail::B::co2, " ##.#########", false, {detail::kHere, "    d(CO2) = ", false, 0},
     {"    d(CO2) = ", 10241}, 0},
    {"V_CO2", detail::B::co2, " #######.####", false, {detail::kCol40, "    V(CO2) =", true, 10225},
     {"    V(CO2) =", 10243}, 0},
    {"S_CO2", detail::B::co2, " ######.##### ", false, {detail::kHere, "    S(CO2) = ", false, 0},
     {"    S(CO2) = ", 10245}, 0},
    {"Cp_CO2", detail::B::co2, " #####.###### ", false, {detail::kCol40, "   Cp(CO2) = ", true, 10229},
     {"   Cp(CO2) = ", 10247}, 0},
    {"g_CO2", detail::B::co2, " ########.### ", false, {detail::kHere, "    g(CO2) = ", false, 0},
     {"    g(CO2) = ", 10249}, 0},
    {"h_CO2", detail::B::co2, " ########.### ", false, {detail::kCol40, "    h(CO2) = ", true, 10233},
     {"    h(CO2) = ", 10251}, 0},
    {"f_CO2", detail::B::co2, " #######.#### ", false, {detail::kHere, "    f(CO2) = ", false, 0},
     {"    f(CO2) = ", 10253}, 0},
    {"phi_CO2", detail::B::co2, " ####.######## ", true,
     {detail::kHere, "       fugacity Coeff. =", true, 10236},
     {"    fugacity Coeff. =", 10255}, 10215},

    {"kH", detail::B::dilution, "#######.#", true, {detail::kHere, "  Henry = ", false, 0},
     {"    Henry = ", 10304}, 10283},
    {"ln_kH", detail::B::dilution, "###.####", false, {detail::kHere, "    ln(kH, MPa) = ", true, 10292},
     {"    ln(kH, MPa) = ", 10306}, 0},
    {"Gaq", detail::B::dilution, "#######.#", false, {detail::kHere, "  Gaq = ", false, 0},
     {"    Gaq = ", 10308}, 0},
    {"S2", detail::B::dilution, "#####.###", false, {detail::kHere, "    S2 = ", false, 0},
     {"    S2 = ", 10310}, 0},
    {"V2", detail::B::dilution, " #####.##", false, {detail::kHere, "    V2 = ", false, 0},
     {"    V2 = ", 10312}, 0},
    {"Cp2", detail::B::dilution, "#####.###", false, {detail::kHere, "    Cp2 = ", true, 10297},
     {"    Cp2 = ", 10314}, 0},

    {"sol_x", detail::B::solubility, "  ###.##### ", false,
     {detail::kHere, "  CO2 solubility       ", false, 0},
     {"  CO2 solubility  in mol%        =  ", 10330}, 0},
    {"sol_m", detail::B::solubility, " ###.##### ", false, {detail::kHere, "", false, 0},
     {"  CO2 solubility  in mol/kg H2O  =  ", 10332}, 0},
    {"sol_g", detail::B::solubility, " #####.### ", false, {detail::kHere, "", true, 10327},
     {"  CO2 solubility  in g/kg H2O    =  ", 10334}, 0},

    {"m", detail::B::molality, "  ##.#####  ", false, {}, {"", 10393}, 0},

    {"gamma_CO2", detail::B::solution, "     ##.###", true,
     {detail::kHere, "      Activity coefficient of CO2 (molal scale)      ", true, 10387},
     {"      Activity coefficient of CO2 (molal scale)      ", 10399}, 10361},
    {"phi_osm", detail::B::solution, "     ##.###", false,
     {detail::kHere, "      Osmotic coefficient of H2O                     ", true, 10387},
     {"      Osmotic coefficient of H2O                     ", 10399}, 0},
    {"a_H2O", detail::B::solution, "     ##.#####", true,
     {detail::kHere, "      Activity of H2O                                ", true, 10387},
     {"      Activity of H2O                                ", 10399}, 10363},
    {"gamma_H2O", detail::B::solution, "     ##.#####", true,
     {detail::kHere, "      Activity coefficient of H2O (mol. frac. scale) ", true, 10387},
     {"      Activity coefficient of H2O (mol. frac. scale) ", 10399}, 10365},
    {"Sex_H2O", detail::B::solution, "   ####.####", false,
     {detail::kHere, "      Excess H2O entropy                             ", true, 10387},
     {"      Excess H2O entropy                             ", 10399}, 0},
    {"Cpex_H2O", detail::B::solution, "   ####.####", false,
     {detail::kHere, "      Excess H2O heat capacity                       ", true, 10387},
     {"      Excess H2O heat capacity                       ", 10399}, 0},
    {"Sex_CO2", detail::B::solution, "   ####.####", false,
     {detail::kHere, "      Excess CO2 entropy                             ", true, 10387},
     {"      Excess CO2 entropy                             ", 10399}, 0},
    {"Cpex_CO2", detail::B::solution, "   ####.####", false,
     {detail::kHere, "      Excess CO2 heat capacity                       ", true, 10387},
     {"      Excess CO2 heat capacity                       ", 10399}, 0},
    {"Vex", detail::B::solution, "  #####.####", false,
     {detail::kHere, "      Excess solution volume                         ", true, 10387},
     {"      Excess solution volume                         ", 10399}, 0},
    {"V_sol", detail::B::solution, "    ###.#####", false,
     {detail::kHere, "      Bulk solution volume                           ", true, 10387},
     {"      Bulk solution volume                           ", 10399}, 0},
    {"rho_sol", detail::B::solution, "     ##.######", false,
     {detail::kHere, "      Density of solution                            ", true, 10387},
     {"      Density of solution                            ", 10399}, 0},
};
// clang-format on

inline constexpr std::size_t kReportLineCount = std::size(kReportLines);

// The model's row of each report line.
inline constexpr auto kReportQuantity = [] {
    std::array<std::size_t, kReportLineCount> index{};
    for (std::size_t i = 0; i < kReportLineCount; ++i)
        index[i] = quantityIndexOf(kReportLines[i].name);
    return index;
}();

// The two tables agree: every line names a quantity of the model, once, and the report keeps the
// model's order (so a quantity added to the model between two reported ones cannot reorder the
// file). A quantity the model has and the report lacks is the library's alone.
constexpr bool reportAgreesWithModel() {
    for (std::size_t i = 0; i < kReportLineCount; ++i) {
        if (kReportQuantity[i] == kReportedCount) return false;
        if (i > 0 && kReportQuantity[i] <= kReportQuantity[i - 1]) return false;
    }
    return true;
}
static_assert(reportAgreesWithModel(),
              "every report line must name a quantity of the model, in the model's order");

// The report line of `name`, or kReportLineCount when the report does not show it.
constexpr std::size_t reportLineOf(std::string_view name) {
    for (std::size_t i = 0; i < kReportLineCount; ++i)
        if (kReportLines[i].name == name) return i;
    return kReportLineCount;
}

// The value of line `i` as the report forms it for printing.
inline core::ext reportValue(std::size_t i, const Model& m) {
    return kQuantities[kReportQuantity[i]].value(m);
}

} // namespace co2
