// The carbon dioxide residual Helmholtz energy on the fast double path (Model::fastArithmetic).
#pragma once

#include "model/co2.h"

namespace co2 {

// The residual sums at (delta, tau) as co2ResidualAt forms them (all six with allSums, else
// phi_d and phi_dd only), in double arithmetic: whole powers of delta are products, one
// exponential per distinct exponent of the exponential terms, and the terms that depend on tau
// alone are kept per thread for the last few temperatures. Returns false, leaving `out` alone, for
// states where a checked function of the calculator's kernel could fail or a sum would not be
// finite; the caller then runs that kernel, which raises the error at its own statement.
bool co2ResidualFast(const Constants& c, double delta, double tau, bool allSums, Co2Residual& out);

} // namespace co2
