// The water Helmholtz energy on the fast double path (Model::fastArithmetic).
#pragma once

#include "model/model.h"

namespace co2 {

// What the water Helmholtz energy takes from the temperature alone (the ideal part, the damping
// factor and the inner sums over the powers of xi), kept per thread for the last few temperatures:
// a state point solves at T, T - 0.5 K and T + 0.5 K, and a table row keeps its temperature.
struct H2oXiTerms;

// The terms at xi, formed or found again; nullptr outside the temperatures the fast kernel takes.
// The coefficient tables are compared at every call, so a model with other tables never meets the
// terms of another. The terms stay valid until this thread's next call.
const H2oXiTerms* h2oXiTerms(const Constants& c, double xi);

// Phi and its five derivatives at (omega, xi), and deltaTau and deltaOmega, as h2oHelmholtz sets
// them, in double arithmetic, with the terms of m.xi. Returns false, having changed nothing, for
// states where a checked function of the calculator's kernel could fail or a result would not be
// finite; the caller then runs that kernel, which raises the error at its own statement.
bool h2oHelmholtzFast(Model& m, const H2oXiTerms& terms);

// The same, finding the terms itself (false also where h2oXiTerms gives none).
bool h2oHelmholtzFast(Model& m);

} // namespace co2
