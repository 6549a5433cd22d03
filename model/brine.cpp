#include "model/brine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "model/constants.h"

namespace co2 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string numberText(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// The shortest of %.{1..17}g that reads back as v: "0.1", not "0.10000000000000001".
std::string shortText(double v) {
    char text[40];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, v);
        if (std::strtod(text, nullptr) == v) return text;
    }
    return numberText(v);
}

// Duan & Sun (2003), Table 2: lambda(CO2-Na) and zeta(CO2-Na-Cl) share one parameter equation,
//   Par(T, P) = c1 + c2 T + c3 / T + c8 P / T + c9 P / (630 - T) + c11 T ln P     (T in K, P in bar)
struct DuanSunParameter {
    double c1, c2, c3, c8, c9, c11;
    double at(double T, double P_bar) const {
        return c1 + c2 * T + c3 / T + c8 * P_bar / T + c9 * P_bar / (630 - T) + c11 * T * std::log(P_bar);
    }
};
constexpr DuanSunParameter kLambda{-0.411370585,  6.07632013e-4, 97.5347708,
                                   -0.0237622469, 0.0170656236,  1.41335834e-5};
constexpr DuanSunParameter kZeta{3.36389723e-4, -1.98298980e-5, 0, 2.12220830e-3, -5.24873303e-3, 0};

double lnGammaDuanSun(const Brine& b, double T, double P_bar) {
    const double lambda = kLambda.at(T, P_bar);
    const double zeta = kZeta.at(T, P_bar);
    return 2 * lambda * (b.Na + b.K + 2 * b.Ca + 2 * b.Mg) + zeta * b.Cl * (b.Na + b.K + b.Mg + b.Ca) -
           0.07 * b.SO4;
}

// Rumpf et al. (1994): B(T) fitted to their NaCl data, Gamma a constant.
double lnGammaRumpf(const Brine& b, double T) {
    const double B = 0.254 - 76.82 / T - 10656 / (T * T) + 6312e3 / (T * T * T);
    const double Gamma = -0.0028;
    return 2 * B * (b.Na + b.K + 2 * b.Ca + 2 * b.Mg) + 3 * Gamma * (b.Na + b.K + b.Ca + b.Mg) * b.Cl;
}

// Spycher & Pruess (2010): the Duan-Sun form refitted for NaCl alone, m the NaCl molality.
double lnGammaSpycherPruess(const Brine& b, double T) {
    const double m = b.Na;
    const double lambda = 2.217e-4 * T + 1.074 / T + 2648 / (T * T);
    const double xi = 1.3e-5 * T - 20.12 / T + 5259 / (T * T);
    return 2 * lambda * m + xi * m * m;
}

} // namespace

double naclMolalityOfMassFraction(double w) noexcept {
    if (!(w >= 0 && w < 1)) return kNaN;
    return w / (kNaClMolarMass * (1 - w));
}

std::string massFractionProblem(double w) {
    if (!std::isfinite(w)) return "NaCl mass fraction " + numberText(w) + " is not a finite number";
    if (w < 0 || w >= 1) return "NaCl mass fraction " + shortText(w) + " is not between 0 and 1";
    return {};
}

std::string brineProblem(const Brine& b) {
    const struct {
        const char* name;
        double value;
    } ions[] = {{"Na", b.Na}, {"K", b.K}, {"Ca", b.Ca}, {"Mg", b.Mg}, {"Cl", b.Cl}, {"SO4", b.SO4}};
    for (const auto& ion : ions) {
        if (!std::isfinite(ion.value))
            return std::string(ion.name) + " molality " + numberText(ion.value) +
                   " mol/kg is not a finite number";
        if (ion.value < 0)
            return std::string(ion.name) + " molality " + shortText(ion.value) + " mol/kg is negative";
    }
    const double cations = b.Na + b.K + 2 * b.Ca + 2 * b.Mg;
    const double anions = b.Cl + 2 * b.SO4;
    if (std::fabs(cations - anions) > kChargeBalanceTolerance * std::max(cations, anions))
        return "charges do not balance: cations " + shortText(cations) +
               " eq/kg (Na + K + 2 Ca + 2 Mg), anions " + shortText(anions) + " eq/kg (Cl + 2 SO4)";
    // Halite precipitates once both of its ions exceed its solubility, whatever else is dissolved.
    const double nacl = std::min(b.Na, b.Cl);
    if (nacl > kNaClSaturation)
        return "NaCl " + shortText(nacl) + " mol/kg is above the saturation of halite, " +
               shortText(kNaClSaturation) + " mol/kg";
    if (b.model == SaltModel::spycherPruess2010 && b.indicative())
        return "salt model spycher-pruess-2010 takes NaCl alone (Na and Cl), not K, Ca, Mg or SO4";
    if (b.model != SaltModel::duanSun2003 && b.model != SaltModel::rumpf1994 &&
        b.model != SaltModel::spycherPruess2010)
        return "salt model " + std::to_string(static_cast<int>(b.model)) + " is not one of the three";
    return {};
}

double saltGamma(const Brine& b, double T_K, double P_MPa) noexcept {
    if (b.pure()) return 1;
    if (!std::isfinite(T_K) || T_K <= 0 || !std::isfinite(P_MPa) || P_MPa <= 0) return kNaN;
    double lnGamma = kNaN;
    switch (b.model) {
    case SaltModel::duanSun2003:
        lnGamma = lnGammaDuanSun(b, T_K, P_MPa * 10);
        break;
    case SaltModel::rumpf1994:
        lnGamma = lnGammaRumpf(b, T_K);
        break;
    case SaltModel::spycherPruess2010:
        lnGamma = lnGammaSpycherPruess(b, T_K);
        break;
    }
    return std::exp(lnGamma);
}

BrineSolubility brineSolubility(const Brine& brine, double T_K, double P_MPa, double mPure) noexcept {
    BrineSolubility s{};
    s.gamma = saltGamma(brine, T_K, P_MPa);
    s.sol_m = mPure / s.gamma;
    s.sol_g = s.sol_m * Constants::M_CO2;
    s.sol_x = 100 * s.sol_m / (s.sol_m + 1000 / Constants::M_H2O);
    // Grams of ions per kg of water (IUPAC atomic weights; SO4 from S 32.06 and O 15.999).
    const double salt = 22.98977 * brine.Na + 39.0983 * brine.K + 40.078 * brine.Ca + 24.305 * brine.Mg +
                        35.453 * brine.Cl + 96.056 * brine.SO4;
    s.w_CO2 = s.sol_g / (s.sol_g + 1000 + salt);
    return s;
}

namespace {
constexpr struct {
    SaltModel model;
    const char* name;
} kModelNames[] = {{SaltModel::duanSun2003, "duan-sun-2003"},
                   {SaltModel::rumpf1994, "rumpf-1994"},
                   {SaltModel::spycherPruess2010, "spycher-pruess-2010"}};
} // namespace

const char* saltModelName(SaltModel model) noexcept {
    for (const auto& entry : kModelNames)
        if (entry.model == model) return entry.name;
    return "";
}

bool saltModelOfName(const std::string& name, SaltModel& model) noexcept {
    for (const auto& entry : kModelNames)
        if (name == entry.name) {
            model = entry.model;
            return true;
        }
    return false;
}

} // namespace co2
