// Solubility of carbon dioxide in water and the properties of the solution at a chosen molality.
//
// The calculator runs solubility(md) (x0, solCorr, xSat, mSat), then prompts for the molality m
// (Enter keeps m = mSat, 0 becomes 1e-8), then finiteConcentration(md): the activity model, the
// excess properties, and the volume and density of the solution at m.
#pragma once

#include "model/model.h"

namespace co2 {

void solubility(Model& md);

// A molality typed as 0 (or as text without digits) stands for a vanishing concentration; the
// activity model divides by it, so it is taken as this small value instead (mol/kg).
inline constexpr double kSmallestMolality = 1e-8;

// Whether the molality asked for exceeds the solubility (the report warns, the run goes on).
bool concentrationAboveSolubility(const Model& md);

void finiteConcentration(Model& md);

} // namespace co2
