// The mutual solubilities of CO2 and water by Spycher, Pruess & Ennis-King (2003), Geochim.
// Cosmochim. Acta 67, 3015-3031, eqs. (11)-(14): a non-iterative pair of equilibrium constants
// and Redlich-Kwong fugacity coefficients in the CO2-rich phase (its water content taken as nil
// in the mixing rule), stated for 12-100 C and up to 60 MPa.
//
// Units as the paper's: T in K, P in bar, V in cm3/mol, R = 83.1447 bar cm3/(mol K). Everything
// is in double: the coefficients carry three or four digits.
//
// The molar volume V of the CO2-rich phase comes either from the paper's own RK cubic (the root
// of lower Gibbs energy, and the liquid-CO2 equilibrium constant below 31 C where that root is
// liquid-like) or from a given volume of pure CO2, as simulator tables are generated from
// Span-Wagner densities: then the gas-phase constant holds everywhere, as those tables have it.
#pragma once

#include <cstdint>

#include "co2model.hpp"
#include "model/constants.h"

namespace co2::sp2003 {

inline constexpr double kR = 83.1447;            // bar cm3/(mol K)
inline constexpr double kWaterMolality = 55.508; // mol of water per kg
inline constexpr double kBCO2 = 27.80;           // cm3/mol
inline constexpr double kBH2O = 18.18;           // cm3/mol
inline constexpr double kAH2OCO2 = 7.89e7;       // bar cm6 K^0.5 / mol2
inline constexpr double kVH2O = 18.1;            // average partial molar volume of water, cm3/mol
inline constexpr double kVCO2 = 32.6;            // of aqueous CO2, cm3/mol
// The liquid-CO2 constant applies below this temperature (C) and volume (cm3/mol).
inline constexpr double kLiquidBelowC = 31, kLiquidBelowV = 94;
// The paper's stated range.
inline constexpr double kTMinC = 12, kTMaxC = 100, kPMaxBar = 600;

// RK attraction of pure CO2 at T (K).
constexpr double aCO2(double T) {
    return 7.54e7 - 4.13e4 * T;
}

// log10 of the equilibrium constants at t (C), the pressure reference 1 bar.
double log10KH2O(double t_C) noexcept;
double log10KCO2Gas(double t_C) noexcept;
double log10KCO2Liquid(double t_C) noexcept;

// The molar volume of pure CO2 by the RK cubic at T (K), P (bar): the single real root, or of
// the gas and liquid roots the one of lower Gibbs energy. NaN for T or P not positive.
double rkVolume(double T, double P_bar) noexcept;

// ln of the fugacity coefficients of CO2 and of water in the CO2-rich phase at volume V.
struct FugacityCoefficients {
    double lnPhiCO2, lnPhiH2O;
};
FugacityCoefficients lnPhiRK(double T, double P_bar, double V) noexcept;

struct Solubilities {
    double y_H2O; // mole fraction of water in the CO2-rich phase
    double x_CO2; // mole fraction of CO2 in the aqueous phase
    double m_CO2; // mol of CO2 per kg of water
    double V;     // the volume used, cm3/mol
    bool liquidConstant;
};

// Where the molar volume of the CO2-rich phase comes from.
enum class Volume : std::uint8_t { redlichKwong, given };

// At T (K), P (bar). With Volume::given, V is the molar volume of pure CO2 (cm3/mol) and the
// gas-phase constant is used throughout; with Volume::redlichKwong V is ignored.
//
// A brine multiplies the water term by the water activity, approximated by the mole fraction of
// water counting every ion, and divides x_CO2 by gammaSalt (the salting-out coefficient on the
// molality scale, 1 for pure water), as Spycher & Pruess (2005) have simulators apply it.
Solubilities solve(double T, double P_bar, Volume volume, double V = 0, const Brine& brine = {},
                   double gammaSalt = 1) noexcept;

// y_H2O by the published form (RK volume) at T (K), P (bar); NaN where it leaves (0, 1), as it
// does far outside its range (below 0 C near 100 MPa).
double waterContent(double T, double P_bar, const Brine& brine = {}, double gammaSalt = 1) noexcept;

// The paper's range: 12-100 C, up to 600 bar.
bool inRange(double t_C, double P_bar) noexcept;

} // namespace co2::sp2003

namespace co2 {
// The mass fraction of water in a CO2-rich phase of water mole fraction y, by the model's molar masses.
inline double waterMassFractionOf(double y) {
    const double water = y * Constants::M_H2O;
    return water / (water + (1 - y) * Constants::M_CO2);
}
} // namespace co2
