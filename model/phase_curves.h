// The four phase-boundary curves of the water-carbon dioxide system (menu options 1 to 4): the
// temperature range in which each correlation is accepted, and the pressure it gives.
#pragma once

#include <string_view>

#include "model/model.h"

namespace co2 {

// True when option 1..4 accepts the temperature T_C (C). The bounds are compared in single
// precision (both sides rounded to float; a value equal to a bound is accepted), except the
// upper bound 20 C of option 2, which is compared in double. Any other option: false.
bool curveAccepts(int option, double T_C);

// The warning the calculator prints when curveAccepts refuses (empty for an unknown option).
std::string_view curveWarning(int option);

// Sets P_bar (bar) from the curve's correlation at m.T_C (options 1, 2, 4) or m.T (option 3).
// Call only after curveAccepts; an unknown option leaves P_bar unchanged.
void curvePressureOf(int option, Model& m);

// True when the state point (T_C, T, P_bar) lies in the CO2-clathrate stability field as the
// clathrate curves 2 and 3 draw it: at a temperature the curve accepts, the pressure is at or
// above the curve's. Outside both curves' ranges (below -1.48 C, above 20 C) it is false.
bool inHydrateField(const Model& m);

// The picture template of the curve pressure in MPa: "###.####" for option 2, else "###.###".
std::string_view curvePressureTemplate(int option);

} // namespace co2
