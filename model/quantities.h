// The reported quantities: one table that the calculator's report, co2table's columns, the
// library's named results and the docs all read. A row says what the quantity is (name, unit,
// description, group) and how its value is formed from the model state. How the calculator shows a
// quantity (its template, labels, place on the screen, statement numbers) is the report's business
// and lives beside the report (app/report_layout.h); a quantity the report does not name is one of
// the library alone. Adding a quantity means adding its row here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "co2model.hpp"
#include "core/math.h"
#include "model/model.h"
#include "model/printed.h"
#include "model/spycher_pruess.h"

namespace co2 {

struct Quantity {
    std::string_view name; // co2table's column name and the library's key
    std::string_view unit; // "-" for pure numbers
    std::string_view description;
    Group group;
    // The value as formed from the model state, in extended precision: the report prints it
    // through its template, the library rounds it once to double.
    core::ext (*value)(const Model&);
};

namespace detail {
constexpr std::string_view kJmolK = "J/(mol·K)";
constexpr std::string_view kJmol = "J/mol";
constexpr std::string_view kDensity = "g/cm³";
constexpr std::string_view kVolume = "cm³/mol";
using G = Group;
} // namespace detail

// clang-format off
inline constexpr Quantity kQuantities[] = {
#define CO2_Q(member) [](const Model& m) -> core::ext { return m.member; }
    // name, unit, description, group, value
    {"T_C", "°C", "temperature", detail::G::input, CO2_Q(T_C)},
    {"P", "MPa", "total pressure (the water saturation pressure when 0 is given)", detail::G::input,
     printed::pressureMPa},

    {"rho_H2O", detail::kDensity, "density of pure water", detail::G::water, CO2_Q(rhoH2O)},
    {"V_H2O", detail::kVolume, "molar volume of pure water", detail::G::water, CO2_Q(VH2O)},
    {"S_H2O", detail::kJmolK, "molar entropy of pure water", detail::G::water, CO2_Q(SH2O)},
    {"Cp_H2O", detail::kJmolK, "isobaric molar heat capacity of pure water", detail::G::water, CO2_Q(CpH2O)},
    {"g_H2O", detail::kJmol, "molar Gibbs energy of pure water", detail::G::water, CO2_Q(gH2O)},
    {"h_H2O", detail::kJmol, "molar enthalpy of pure water", detail::G::water, CO2_Q(hH2O)},
    {"f_H2O", "MPa", "fugacity of pure water", detail::G::water, printed::fugacityH2OMPa},
    {"phi_H2O", "-", "fugacity coefficient of pure water", detail::G::water, printed::fugacityCoeffH2O},
    {"y_CO2_vap", "-", "mole fraction of CO2 in the vapour (rough estimate)", detail::G::water, CO2_Q(yCO2Vap)},

    {"rho_CO2", detail::kDensity, "density of pure CO2", detail::G::co2, CO2_Q(rhoCO2)},
    {"V_CO2", detail::kVolume, "molar volume of pure CO2", detail::G::co2, CO2_Q(VCO2)},
    {"S_CO2", detail::kJmolK, "molar entropy of pure CO2", detail::G::co2, CO2_Q(SCO2)},
    {"Cp_CO2", detail::kJmolK, "isobaric molar heat capacity of pure CO2", detail::G::co2, CO2_Q(CpCO2)},
    {"g_CO2", detail::kJmol, "molar Gibbs energy of pure CO2", detail::G::co2, CO2_Q(gCO2)},
    {"h_CO2", detail::kJmol, "molar enthalpy of pure CO2", detail::G::co2, CO2_Q(hCO2)},
    {"f_CO2", "MPa", "fugacity of pure CO2", detail::G::co2, printed::fugacityCO2MPa},
    {"phi_CO2", "-", "fugacity coefficient of pure CO2", detail::G::co2, printed::fugacityCoeffCO2},

    {"kH", "MPa", "Henry constant of CO2", detail::G::dilution, printed::henryMPa},
    {"ln_kH", "-", "ln of the Henry constant in MPa", detail::G::dilution, printed::lnHenryMPa},
    {"Gaq", detail::kJmol, "standard molar Gibbs energy of aqueous CO2", detail::G::dilution, CO2_Q(Gaq)},
    {"S2", detail::kJmolK, "standard partial molar entropy of aqueous CO2", detail::G::dilution, CO2_Q(S2)},
    {"V2", detail::kVolume, "standard partial molar volume of aqueous CO2", detail::G::dilution, CO2_Q(V2)},
    {"Cp2", detail::kJmolK, "standard partial molar heat capacity of aqueous CO2", detail::G::dilution, CO2_Q(Cp2)},

    {"sol_x", "mol%", "CO2 solubility as mole percent", detail::G::solubility, printed::solubilityMolePercent},
    {"sol_m", "mol/kg", "CO2 solubility in mol per kg of water", detail::G::solubility, CO2_Q(mSat)},
    {"sol_g", "g/kg", "CO2 solubility in g of CO2 per kg of water", detail::G::solubility,
     printed::solubilityGramsPerKg},

    {"m", "mol/kg", "CO2 molality of the finite-concentration properties", detail::G::solution, CO2_Q(m)},
    {"gamma_CO2", "-", "activity coefficient of CO2 (molal scale)", detail::G::solution, printed::activityCoeffCO2},
    {"phi_osm", "-", "osmotic coefficient of water", detail::G::solution, CO2_Q(phiOsm)},
    {"a_H2O", "-", "activity of water", detail::G::solution, printed::activityH2O},
    {"gamma_H2O", "-", "activity coefficient of water (mole-fraction scale)", detail::G::solution,
     printed::activityCoeffH2O},
    {"Sex_H2O", detail::kJmolK, "excess entropy of water", detail::G::solution, CO2_Q(SexH2O)},
    {"Cpex_H2O", detail::kJmolK, "excess heat capacity of water", detail::G::solution, CO2_Q(CpexH2O)},
    {"Sex_CO2", detail::kJmolK, "excess entropy of CO2", detail::G::solution, CO2_Q(SexCO2)},
    {"Cpex_CO2", detail::kJmolK, "excess heat capacity of CO2", detail::G::solution, CO2_Q(CpexCO2)},
    {"Vex", detail::kVolume, "excess volume of the solution", detail::G::solution, printed::excessVolume},
    {"V_sol", detail::kVolume, "volume of one mole of solution", detail::G::solution, CO2_Q(Vsol)},
    {"rho_sol", detail::kDensity, "density of the solution", detail::G::solution, CO2_Q(rhoSol)},

    {"m_NaCl", "mol/kg", "NaCl molality of the brine (the lesser of Na and Cl), per kg of water", detail::G::brine,
     CO2_Q(mNaCl)},
    {"gamma_salt", "-", "salting-out coefficient: the solubility in pure water over that in the brine",
     detail::G::brine, CO2_Q(gammaSalt)},
    // sol_g grams of CO2 dissolved in 1000 g of water; a brine's row adds the salt's mass.
    {"w_CO2", "kg/kg", "CO2 mass fraction of the saturated liquid", detail::G::solubility,
     [](const Model& m) -> core::ext {
         const core::ext g = printed::solubilityGramsPerKg(m);
         return g / (g + 1000);
     }},
    // Of the formulations tried against measured water contents the published one does best
    // (README, "Limits of the model"); this model's liquid-water fugacity does not improve on it.
    {"y_H2O", "-", "mole fraction of water in the CO2-rich phase (Spycher-Pruess-Ennis-King 2003)",
     detail::G::solubility, [](const Model& m) -> core::ext { return sp2003::waterContent(m.T, m.P_bar); }},
    {"w_H2O_CO2phase", "kg/kg", "mass fraction of water in the CO2-rich phase", detail::G::solubility,
     [](const Model& m) -> core::ext { return waterMassFractionOf(sp2003::waterContent(m.T, m.P_bar)); }},
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
