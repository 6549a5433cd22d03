// CO2 in brines: the salting-out layer over the pure-water solubility.
//
//   m_CO2(T, P, brine) = m_CO2(T, P, pure water) / gamma
//
// both molalities per kg of water, at the same temperature and total pressure; gamma is the
// activity coefficient of dissolved CO2 that the salt causes (molality scale), a Pitzer-type sum
// over the ion molalities. The pure-water model is not touched: only gamma is new, and a brine
// without salt never reaches this layer, so pure water keeps its numbers to the last bit on both
// arithmetic paths. gamma is computed in double on both paths; its coefficients carry fewer digits
// than that.
//
// Three published forms of gamma:
//   Duan & Sun (2003), Chem. Geol. 193, 257-271 (the default; 273-533 K, 0-2000 bar, NaCl to about
//     4.3 mol/kg; the ion-combination rule of the same authors' multi-salt extension for K, Ca, Mg
//     and SO4);
//   Rumpf, Nicolaisen, Ocal & Maurer (1994), J. Solution Chem. 23, 431-448 (no pressure term);
//   Spycher & Pruess (2010), Transp. Porous Media 82, 173-196 (NaCl only).
//
// NaCl is the validated case (measured data to 6 mol/kg); any other ion makes the result
// indicative: the combination rule carries the Na-Cl coefficients over to ions they were not
// fitted to, and K and SO4 brines come out far off (see README, "Limits of the model").
#pragma once

#include <cstdint>
#include <string>

#include "co2model.hpp"

namespace co2 {

// Halite's solubility at 0 C, 35.7 g per 100 g of water (CRC Handbook of Chemistry and Physics),
// the lowest over the model's temperature range: a NaCl molality accepted is unsaturated at every
// temperature the model covers (it rises to 6.7 mol/kg at 100 C).
inline constexpr double kNaClSaturation = 6.1; // mol/kg water
// Molar mass of NaCl, kg/mol (IUPAC atomic weights: Na 22.98977, Cl 35.453).
inline constexpr double kNaClMolarMass = 0.0584428;
// Two sums of ion charge differ by more than this fraction of the larger: an unbalanced brine.
inline constexpr double kChargeBalanceTolerance = 1e-6;

// The NaCl molality of a brine given as a mass fraction w of NaCl in the solution (kg NaCl per kg
// of brine, 0 <= w < 1): w kg of salt to 1 - w kg of water, m = w / (M_NaCl (1 - w)). NaN when w
// is not in [0, 1); massFractionProblem says why.
double naclMolalityOfMassFraction(double w) noexcept;
std::string massFractionProblem(double w);

// Why `brine` is beyond the models' reach, or empty when it is usable: a negative or non-finite
// molality ("Ca molality -0.5 mol/kg is negative"), charges that do not balance ("charges do not
// balance: cations 2 eq/kg (Na + K + 2 Ca + 2 Mg), anions 1.5 eq/kg (Cl + 2 SO4)"), NaCl above
// halite saturation, an ion that Spycher-Pruess 2010 does not take.
std::string brineProblem(const Brine& brine);

// gamma = m(pure water) / m(brine) at T (K) and total pressure P (MPa), for a brine that
// brineProblem accepts; 1 for pure water; NaN when T or P is unusable (P <= 0: the Duan-Sun form
// takes ln P).
double saltGamma(const Brine& brine, double T_K, double P_MPa) noexcept;

// The solubility quantities of a brine from the pure-water solubility mPure (mol/kg) at the same
// T (K) and total P (MPa): sol_m = mPure / gamma; sol_g = sol_m M_CO2; sol_x the salt-free mole
// percent 100 n_CO2 / (n_CO2 + n_H2O) = 100 sol_m / (sol_m + 1000 / M_H2O), as measured brine data
// report it; w_CO2 the mass fraction of CO2 in the liquid, salt included. The molar masses of CO2
// and water are the model's own.
struct BrineSolubility {
    double gamma, sol_m, sol_g, sol_x, w_CO2;
};
BrineSolubility brineSolubility(const Brine& brine, double T_K, double P_MPa, double mPure) noexcept;

// The names of the salt models as co2table and the Python module take them.
const char* saltModelName(SaltModel model) noexcept; // "duan-sun-2003"
bool saltModelOfName(const std::string& name, SaltModel& model) noexcept;

} // namespace co2
