// Pure water: the Hill (1990) equation of state, its density solve, and the properties of water
// at the state point that the report prints and the aqueous model reads.
#pragma once

#include "model/model.h"

namespace co2 {

// Passes of one density solve before it gives up with kNoConvergenceError. Inside the
// calculator's range a solve ends after a handful of passes.
inline constexpr int kH2oMaxIterations = 2000;

// Saturation pressure psatH2O at T (only when T < Tc), P_bar of exactly 0 replaced by psatH2O,
// and the first estimate of omega at (T, P_bar).
void h2oInitialDensity(Model& m);

// Phi and its first and second derivatives at (omega, xi); also sets deltaTau and deltaOmega.
void h2oHelmholtz(Model& m);

// Newton solve for omega at (T, P_bar), starting from the current omega; leaves xi, Phi, Phi_x,
// Phi_xx, Pi, Pi_w, Pi_x, omegaPi and omegaXi of the solution. Raises kNoConvergenceError after
// kH2oMaxIterations passes, and overflow (6) if an iterate overflows; omega then keeps its last
// finite value.
void h2oSolveDensity(Model& m);

// The water section of one state point: h2oInitialDensity (a P_bar of 0 becomes psatH2O), the
// solves at T, T - 0.5 K and T + 0.5 K, and rhoH2O, VH2O, the density derivatives, SH2O,
// CpH2O, hH2O, gH2O, the ideal-gas reference g0H2O, s0H2O, cp0H2O and lnFH2O. T and xi are
// restored at the end; the caloric properties come from the third solve. Ends with
// vapourComposition.
void waterProperties(Model& m);

// The rough estimate yCO2Vap of the CO2 mole fraction in the vapour (after waterProperties).
void vapourComposition(Model& m);

// True when the pressure is the water saturation pressure (it was entered as 0): the report then
// echoes the pressure actually used.
inline bool atSaturationPressure(const Model& m) {
    return m.P_bar == m.psatH2O;
}

// True when the pressure lies below the water saturation pressure: the water is vapour and
// yCO2Vap, hence the solubility, comes out negative. The computation goes on; the report warns.
inline bool belowSaturation(const Model& m) {
    return m.P_bar < m.psatH2O;
}

} // namespace co2
