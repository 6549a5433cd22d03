// The water Helmholtz energy on the fast double path (Model::fastArithmetic).
#pragma once

#include "model/model.h"

namespace co2 {

// Phi and its five derivatives at (omega, xi), and deltaTau and deltaOmega, as h2oHelmholtz sets
// them, in double arithmetic. The terms that depend on xi alone (the ideal part, the damping factor
// and the inner sums over the powers of xi) are kept per thread for the last few temperatures, so
// a Newton pass only adds the density functions. Returns false, having changed nothing, for states
// where a checked function of the calculator's kernel could fail or a result would not be finite;
// the caller then runs that kernel, which raises the error at its own statement.
bool h2oHelmholtzFast(Model& m);

} // namespace co2
