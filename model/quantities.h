// The reported quantities: one table that the calculator's screen and file report, co2table's
// columns and the library's named results all read. A row says what the quantity is (name, unit,
// description, group), how the report shows it (labels, template, print path, place on the screen
// row, the statement numbers of its screen row and file line) and how its value is formed from the
// model state. Adding a quantity means adding its row here, nothing else.
//
// Rows are in report order: the file report writes them in this order, one line each, and the
// screen report in this order too, several to a row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "co2model.hpp"
#include "core/math.h"
#include "model/model.h"
#include "model/printed.h"

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
    library, // not in the calculator's report: a quantity of the library alone
};

// Where a quantity stands on its screen row.
enum class ScreenPlace : std::uint8_t {
    none,     // not on the screen
    here,     // where the cursor is: the start of a row or directly after the last value
    column40, // in the second half of a row, after moving to column 40
};

struct Quantity {
    std::string_view name; // co2table's column name and the library's key
    std::string_view unit; // "-" for pure numbers
    std::string_view description;
    Group group;
    ReportBlock block;
    std::string_view picture; // the report's template, on the screen and in the file alike
    bool extended;            // printed through the extended path (a value formed from an exponential)
    // The screen: place, label (may be empty), whether the value ends its row, and the statement
    // that ends the row (0 while the row goes on).
    ScreenPlace screen;
    std::string_view screenLabel;
    bool endsScreenRow;
    std::uint32_t screenStatement;
    // The file: one line, label then number; the statement that writes it.
    std::string_view fileLabel;
    std::uint32_t fileStatement;
    // The statement in which the report forms the value before printing its block (0: forming it
    // cannot raise an error and needs no statement of its own).
    std::uint32_t valueStatement;
    // The value as the report forms it for printing; a double quantity is the stored model double.
    rt::ext (*value)(const Model&);
};

namespace detail {
using V = rt::ext (*)(const Model&);
constexpr std::string_view kJmolK = "J/(mol·K)";
constexpr std::string_view kJmol = "J/mol";
constexpr std::string_view kDensity = "g/cm³";
constexpr std::string_view kVolume = "cm³/mol";
constexpr ScreenPlace kNone = ScreenPlace::none;
constexpr ScreenPlace kHere = ScreenPlace::here;
constexpr ScreenPlace kCol40 = ScreenPlace::column40;
using G = Group;
using B = ReportBlock;
} // namespace detail

// clang-format off
inline constexpr Quantity kQuantities[] = {
#define CO2_Q(member) [](const Model& m) -> rt::ext { return m.member; }
    // name, unit, description, group, block, picture, extended,
    //   screen place, screen label, ends row, screen statement, file label, file statement, value statement, value
    {"T_C", "°C", "temperature", detail::G::input, detail::B::statePoint, " ###.###", false,
     detail::kNone, "", false, 0, " Temperature (in C) = ", 10178, 0, CO2_Q(T_C)},
    {"P", "MPa", "total pressure (the water saturation pressure when 0 is given)", detail::G::input,
     detail::B::statePoint, " ###.###### ", false,
     detail::kNone, "", false, 0, " Total Pressure (in MPa) = ", 10182, 0, printed::pressureMPa},

    {"rho_H2O", detail::kDensity, "density of pure water", detail::G::water, detail::B::water, " ##.#########", false,
     detail::kHere, "    d(H2O) = ", false, 0, "    d(H2O) = ", 10186, 0, CO2_Q(rhoH2O)},
    {"V_H2O", detail::kVolume, "molar volume of pure water", detail::G::water, detail::B::water, " #######.####", false,
     detail::kCol40, "    V(H2O) =", true, 10164, "    V(H2O) =", 10188, 0, CO2_Q(VH2O)},
    {"S_H2O", detail::kJmolK, "molar entropy of pure water", detail::G::water, detail::B::water, " ######.##### ", false,
     detail::kHere, "    S(H2O) = ", false, 0, "    S(H2O) = ", 10190, 0, CO2_Q(SH2O)},
    {"Cp_H2O", detail::kJmolK, "isobaric molar heat capacity of pure water", detail::G::water, detail::B::water,
     " #####.###### ", false,
     detail::kCol40, "   Cp(H2O) = ", true, 10168, "   Cp(H2O) = ", 10192, 0, CO2_Q(CpH2O)},
    {"g_H2O", detail::kJmol, "molar Gibbs energy of pure water", detail::G::water, detail::B::water, " ########.### ", false,
     detail::kHere, "    g(H2O) = ", false, 0, "    g(H2O) = ", 10194, 0, CO2_Q(gH2O)},
    {"h_H2O", detail::kJmol, "molar enthalpy of pure water", detail::G::water, detail::B::water, " ########.### ", false,
     detail::kCol40, "    h(H2O) = ", true, 10172, "    h(H2O) = ", 10196, 0, CO2_Q(hH2O)},
    {"f_H2O", "MPa", "fugacity of pure water", detail::G::water, detail::B::water, " #######.#### ", true,
     detail::kHere, "    f(H2O) = ", false, 0, "    f(H2O) = ", 10198, 10153, printed::fugacityH2OMPa},
    {"phi_H2O", "-", "fugacity coefficient of pure water", detail::G::water, detail::B::water, " ####.######## ", true,
     detail::kHere, "       fugacity Coeff. =", true, 10175, "    fugacity Coeff. =", 10200, 10155,
     printed::fugacityCoeffH2O},
    {"y_CO2_vap", "-", "mole fraction of CO2 in the vapour (rough estimate)", detail::G::water, detail::B::vapour,
     " ##.#### ", false,
     detail::kHere, " Mole fraction of CO2 in vapour phase (rough estimate) = ", true, 10206,
     " Mole fraction of CO2 in vapour phase (rough estimate) = ", 10210, 0, CO2_Q(yCO2Vap)},

    {"rho_CO2", detail::kDensity, "density of pure CO2", detail::G::co2, detail::B::co2, " ##.#########", false,
     detail::kHere, "    d(CO2) = ", false, 0, "    d(CO2) = ", 10241, 0, CO2_Q(rhoCO2)},
    {"V_CO2", detail::kVolume, "molar volume of pure CO2", detail::G::co2, detail::B::co2, " #######.####", false,
     detail::kCol40, "    V(CO2) =", true, 10225, "    V(CO2) =", 10243, 0, CO2_Q(VCO2)},
    {"S_CO2", detail::kJmolK, "molar entropy of pure CO2", detail::G::co2, detail::B::co2, " ######.##### ", false,
     detail::kHere, "    S(CO2) = ", false, 0, "    S(CO2) = ", 10245, 0, CO2_Q(SCO2)},
    {"Cp_CO2", detail::kJmolK, "isobaric molar heat capacity of pure CO2", detail::G::co2, detail::B::co2,
     " #####.###### ", false,
     detail::kCol40, "   Cp(CO2) = ", true, 10229, "   Cp(CO2) = ", 10247, 0, CO2_Q(CpCO2)},
    {"g_CO2", detail::kJmol, "molar Gibbs energy of pure CO2", detail::G::co2, detail::B::co2, " ########.### ", false,
     detail::kHere, "    g(CO2) = ", false, 0, "    g(CO2) = ", 10249, 0, CO2_Q(gCO2)},
    {"h_CO2", detail::kJmol, "molar enthalpy of pure CO2", detail::G::co2, detail::B::co2, " ########.### ", false,
     detail::kCol40, "    h(CO2) = ", true, 10233, "    h(CO2) = ", 10251, 0, CO2_Q(hCO2)},
    {"f_CO2", "MPa", "fugacity of pure CO2", detail::G::co2, detail::B::co2, " #######.#### ", false,
     detail::kHere, "    f(CO2) = ", false, 0, "    f(CO2) = ", 10253, 0, printed::fugacityCO2MPa},
    {"phi_CO2", "-", "fugacity coefficient of pure CO2", detail::G::co2, detail::B::co2, " ####.######## ", true,
     detail::kHere, "       fugacity Coeff. =", true, 10236, "    fugacity Coeff. =", 10255, 10215,
     printed::fugacityCoeffCO2},

    {"kH", "MPa", "Henry constant of CO2", detail::G::dilution, detail::B::dilution, "#######.#", true,
     detail::kHere, "  Henry = ", false, 0, "    Henry = ", 10304, 10283, printed::henryMPa},
    {"ln_kH", "-", "ln of the Henry constant in MPa", detail::G::dilution, detail::B::dilution, "###.####", false,
     detail::kHere, "    ln(kH, MPa) = ", true, 10292, "    ln(kH, MPa) = ", 10306, 0, printed::lnHenryMPa},
    {"Gaq", detail::kJmol, "standard molar Gibbs energy of aqueous CO2", detail::G::dilution, detail::B::dilution,
     "#######.#", false,
     detail::kHere, "  Gaq = ", false, 0, "    Gaq = ", 10308, 0, CO2_Q(Gaq)},
    {"S2", detail::kJmolK, "standard partial molar entropy of aqueous CO2", detail::G::dilution, detail::B::dilution,
     "#####.###", false,
     detail::kHere, "    S2 = ", false, 0, "    S2 = ", 10310, 0, CO2_Q(S2)},
    {"V2", detail::kVolume, "standard partial molar volume of aqueous CO2", detail::G::dilution, detail::B::dilution,
     " #####.##", false,
     detail::kHere, "    V2 = ", false, 0, "    V2 = ", 10312, 0, CO2_Q(V2)},
    {"Cp2", detail::kJmolK, "standard partial molar heat capacity of aqueous CO2", detail::G::dilution,
     detail::B::dilution, "#####.###", false,
     detail::kHere, "    Cp2 = ", true, 10297, "    Cp2 = ", 10314, 0, CO2_Q(Cp2)},

    {"sol_x", "mol%", "CO2 solubility as mole percent", detail::G::solubility, detail::B::solubility, "  ###.##### ",
     false, detail::kHere, "  CO2 solubility       ", false, 0, "  CO2 solubility  in mol%        =  ", 10330, 0,
     printed::solubilityMolePercent},
    {"sol_m", "mol/kg", "CO2 solubility in mol per kg of water", detail::G::solubility, detail::B::solubility,
     " ###.##### ", false,
     detail::kHere, "", false, 0, "  CO2 solubility  in mol/kg H2O  =  ", 10332, 0, CO2_Q(mSat)},
    {"sol_g", "g/kg", "CO2 solubility in g of CO2 per kg of water", detail::G::solubility, detail::B::solubility,
     " #####.### ", false,
     detail::kHere, "", true, 10327, "  CO2 solubility  in g/kg H2O    =  ", 10334, 0, printed::solubilityGramsPerKg},

    {"m", "mol/kg", "CO2 molality of the finite-concentration properties", detail::G::solution, detail::B::molality,
     "  ##.#####  ", false,
     detail::kNone, "", false, 0, "", 10393, 0, CO2_Q(m)},
    {"gamma_CO2", "-", "activity coefficient of CO2 (molal scale)", detail::G::solution, detail::B::solution,
     "     ##.###", true,
     detail::kHere, "      Activity coefficient of CO2 (molal scale)      ", true, 10387,
     "      Activity coefficient of CO2 (molal scale)      ", 10399, 10361, printed::activityCoeffCO2},
    {"phi_osm", "-", "osmotic coefficient of water", detail::G::solution, detail::B::solution, "     ##.###", false,
     detail::kHere, "      Osmotic coefficient of H2O                     ", true, 10387,
     "      Osmotic coefficient of H2O                     ", 10399, 0, CO2_Q(phiOsm)},
    {"a_H2O", "-", "activity of water", detail::G::solution, detail::B::solution, "     ##.#####", true,
     detail::kHere, "      Activity of H2O                                ", true, 10387,
     "      Activity of H2O                                ", 10399, 10363, printed::activityH2O},
    {"gamma_H2O", "-", "activity coefficient of water (mole-fraction scale)", detail::G::solution, detail::B::solution,
     "     ##.#####", true,
     detail::kHere, "      Activity coefficient of H2O (mol. frac. scale) ", true, 10387,
     "      Activity coefficient of H2O (mol. frac. scale) ", 10399, 10365, printed::activityCoeffH2O},
    {"Sex_H2O", detail::kJmolK, "excess entropy of water", detail::G::solution, detail::B::solution, "   ####.####", false,
     detail::kHere, "      Excess H2O entropy                             ", true, 10387,
     "      Excess H2O entropy                             ", 10399, 0, CO2_Q(SexH2O)},
    {"Cpex_H2O", detail::kJmolK, "excess heat capacity of water", detail::G::solution, detail::B::solution,
     "   ####.####", false,
     detail::kHere, "      Excess H2O heat capacity                       ", true, 10387,
     "      Excess H2O heat capacity                       ", 10399, 0, CO2_Q(CpexH2O)},
    {"Sex_CO2", detail::kJmolK, "excess entropy of CO2", detail::G::solution, detail::B::solution, "   ####.####", false,
     detail::kHere, "      Excess CO2 entropy                             ", true, 10387,
     "      Excess CO2 entropy                             ", 10399, 0, CO2_Q(SexCO2)},
    {"Cpex_CO2", detail::kJmolK, "excess heat capacity of CO2", detail::G::solution, detail::B::solution,
     "   ####.####", false,
     detail::kHere, "      Excess CO2 heat capacity                       ", true, 10387,
     "      Excess CO2 heat capacity                       ", 10399, 0, CO2_Q(CpexCO2)},
    {"Vex", detail::kVolume, "excess volume of the solution", detail::G::solution, detail::B::solution,
     "  #####.####", false,
     detail::kHere, "      Excess solution volume                         ", true, 10387,
     "      Excess solution volume                         ", 10399, 0, printed::excessVolume},
    {"V_sol", detail::kVolume, "volume of one mole of solution", detail::G::solution, detail::B::solution,
     "    ###.#####", false,
     detail::kHere, "      Bulk solution volume                           ", true, 10387,
     "      Bulk solution volume                           ", 10399, 0, CO2_Q(Vsol)},
    {"rho_sol", detail::kDensity, "density of the solution", detail::G::solution, detail::B::solution,
     "     ##.######", false,
     detail::kHere, "      Density of solution                            ", true, 10387,
     "      Density of solution                            ", 10399, 0, CO2_Q(rhoSol)},

    {"m_NaCl", "mol/kg", "NaCl molality of the brine (the lesser of Na and Cl), per kg of water", detail::G::brine,
     detail::B::library, "", false, detail::kNone, "", false, 0, "", 0, 0, CO2_Q(mNaCl)},
    {"gamma_salt", "-", "salting-out coefficient: the solubility in pure water over that in the brine",
     detail::G::brine, detail::B::library, "", false, detail::kNone, "", false, 0, "", 0, 0, CO2_Q(gammaSalt)},
    // sol_g grams of CO2 dissolved in 1000 g of water; a brine's row adds the salt's mass.
    {"w_CO2", "kg/kg", "CO2 mass fraction of the saturated liquid", detail::G::solubility, detail::B::library, "",
     false, detail::kNone, "", false, 0, "", 0, 0,
     [](const Model& m) -> rt::ext {
         const rt::ext g = printed::solubilityGramsPerKg(m);
         return g / (g + 1000);
     }},
#undef CO2_Q
};
// clang-format on

inline constexpr std::size_t kReportedCount = std::size(kQuantities);
static_assert(kReportedCount == static_cast<std::size_t>(kQuantityCount),
              "co2model.hpp's kQuantityCount must count the rows of kQuantities");

// The index of `name` in kQuantities (a compile-time lookup for code that names a quantity), or
// kReportedCount when there is none.
constexpr std::size_t quantityIndexOf(std::string_view name) {
    for (std::size_t i = 0; i < kReportedCount; ++i)
        if (kQuantities[i].name == name) return i;
    return kReportedCount;
}

// The value of row `q` at the model state, rounded once to double: the number a table holds.
inline double quantityValue(const Quantity& q, const Model& m) {
    return static_cast<double>(q.value(m));
}

} // namespace co2
