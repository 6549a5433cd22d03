// The carbon dioxide residual Helmholtz energy on the fast double path (Model::fastArithmetic).
#pragma once

#include "model/co2.h"

namespace co2 {

// What the residual sums take from tau alone (tau^t and its derivatives for every term, the tau
// halves of the Gaussian and non-analytic exponentials), kept per thread for the last two
// temperatures.
struct Co2TauTerms;

// The terms at tau, formed or found again; nullptr outside the temperatures the fast kernel takes.
// The coefficient tables are compared at every call, so a model with other tables never meets the
// terms of another. The terms stay valid until this thread's next call.
const Co2TauTerms* co2TauTerms(const Constants& c, double tau);

// The residual sums at (delta, tau) as co2ResidualAt forms them (all six with allSums, else
// phi_d and phi_dd only), in double arithmetic: whole powers of delta are products, one
// exponential per distinct exponent of the exponential terms, the tau-only terms from `terms`
// (those of this tau). Returns false, leaving `out` alone, for states where a checked function of
// the calculator's kernel could fail or a sum would not be finite; the caller then runs that
// kernel, which raises the error at its own statement.
bool co2ResidualFast(const Constants& c, const Co2TauTerms& terms, double delta, double tau, bool allSums,
                     Co2Residual& out);

// The same, finding the terms itself (false also where co2TauTerms gives none).
bool co2ResidualFast(const Constants& c, double delta, double tau, bool allSums, Co2Residual& out);

// The same with each exponential one library call, whatever the processor: what a machine without
// AVX2 and FMA runs, and what the batches of four must match bit for bit.
bool co2ResidualFastOneAtATime(const Constants& c, double delta, double tau, bool allSums, Co2Residual& out);

} // namespace co2
