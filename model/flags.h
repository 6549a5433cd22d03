// The flags of a result and the phase-boundary curves: one table each, which the library hands
// out (co2::flags(), co2::curves(), the C functions, Python's FLAGS and CURVES) and co2table
// builds its flag columns and curve titles from.
#pragma once

#include <cstddef>
#include <string_view>

#include "co2model.hpp"

namespace co2 {

inline constexpr FlagInfo kFlags[] = {
    {"warn_T", warnTemperature, "temperature outside -1.48 .. 100 C"},
    {"warn_P", warnPressure, "pressure above 100 MPa"},
    {"warn_psat", warnSaturation, "below the water saturation pressure: no liquid water"},
    {"warn_m", warnMolality, "molality above the solubility"},
    {"hydrate", hydrate, "inside the CO2-clathrate stability field (phase curves 2 and 3)"},
    {"co2_gas", co2Gas, "pure CO2 is a gas at the point"},
    {"co2_liquid", co2Liquid, "pure CO2 is a liquid at the point"},
    {"co2_supercritical", co2Supercritical, "pure CO2 is supercritical at the point"},
    {"no_solubility", noSolubility, "no liquid water, or a negative solubility: no real solution"},
    {"salt_indicative", saltIndicative, "ions other than Na and Cl: the brine's solubility is indicative"},
    {"warn_sol_model", outsideSolubilityModel,
     "outside the chosen solubility model's stated range (Spycher-Pruess 2003: 12-100 C, up to 60 MPa)"},
};
inline constexpr std::size_t kFlagCount = std::size(kFlags);

// The phase of pure CO2 is one label and the absence of a solubility a note; the other flags are
// warnings a table shows as 0/1 columns.
inline constexpr unsigned kPhaseFlags = co2Gas | co2Liquid | co2Supercritical;
constexpr bool isWarningFlag(unsigned bit) {
    return (bit & (kPhaseFlags | noSolubility)) == 0;
}

inline constexpr CurveInfo kCurves[] = {
    {1, "H2O(l)-CO2(l)-CO2(v)", -1.6, 31.48},
    {2, "Clathrate-H2O(l)-CO2(l)", 9.93, 20.0},
    {3, "Clathrate-H2O(l)-CO2(v)", -1.48, 9.93},
    {4, "H2O(l)-H2O(ice)-CO2(v)", -1.48, -0.125},
};

// The name of curve `option`, empty for another option.
constexpr std::string_view curveName(int option) {
    for (const CurveInfo& c : kCurves)
        if (c.option == option) return c.name;
    return {};
}

} // namespace co2
