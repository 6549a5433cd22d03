// Carbon dioxide dissolved in water at infinite dilution: the Henry constant and the standard
// partial molar Gibbs energy, entropy, volume and heat capacity of aqueous CO2.
//
// The model has three parameters (aqXi, aqA, aqB) and takes everything else from pure water at
// the state point (density and its derivatives, fugacity, entropy, heat capacity, volume) and from
// ideal-gas carbon dioxide:
//   ln kH = (1 - xi) ln f1 + xi ln(R T rho1 / M1) + rho1 (a + b (1000/T)^0.5)
// and the other quantities are its temperature and pressure derivatives. Runs after the water and
// carbon dioxide sections, and is followed by the two range warnings of the run.
#pragma once

#include "model/model.h"

namespace co2 {

void infiniteDilution(Model& md);

// The range tests of the run's two warnings (outside -1.48 .. 100 C, above 100 MPa); they do not
// stop the run. The temperature is compared in single precision, so that a typed -1.48005 or
// 100.005 is still accepted.
bool temperatureOutOfRange(double T_C);
bool pressureOutOfRange(double P_bar);

} // namespace co2
